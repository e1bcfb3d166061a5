#include "GlyphTexts.h"

#include "core/FontsFile.h"
#include "core/GlyphRules.h"

namespace glyphtext {

QString lineProblem(const glyph::LineProblem& problem) {
    using glyph::LineFault;
    switch (problem.fault) {
        case LineFault::NotATableLine:
            return QStringLiteral("ni la ligne de déclaration ni une ligne de caractère");
        case LineFault::NotAscii:
            return QStringLiteral("caractère hors ASCII ou de contrôle");
        case LineFault::BadCode:
            return QStringLiteral("code de caractère illisible (0 à 255 attendu)");
        case LineFault::BraceExpected:
            return QStringLiteral("« , { » attendu après le code %1").arg(problem.code);
        case LineFault::HexPrefixExpected:
            return QStringLiteral("colonne %1 : « 0x » attendu").arg(problem.column);
        case LineFault::WordOutOfRange:
            return QStringLiteral("colonne %1 : mot hors de 0xFC00 à 0x10000").arg(problem.column);
        case LineFault::SeparatorExpected:
            return QStringLiteral("colonne %1 : « %2 » attendu")
                .arg(problem.column)
                .arg(glyph::separatorAfter(problem.column));
        case LineFault::TooManyColumns:
            return QStringLiteral("plus de %1 colonnes").arg(glyph::kMaxColumns);
    }
    return {};
}

QString tableFileProblem(const glyph::FileProblem& problem) {
    using glyph::FileFault;
    switch (problem.fault) {
        case FileFault::NotFound:
            return QStringLiteral("fichier introuvable");
        case FileFault::NotRegular:
            return QStringLiteral("ce n'est pas un fichier ordinaire");
        case FileFault::TooLarge:
            return QStringLiteral("fichier trop grand pour une table (%1 octets au plus)")
                .arg(glyph::kMaxTableBytes);
        case FileFault::System:
            return glyph::failureReason(problem.error);
    }
    return {};
}

QString fontProblem(const glyph::FontProblem& problem) {
    using glyph::FontFault;
    switch (problem.fault) {
        case FontFault::File:
            if (problem.file.fault == glyph::FileFault::TooLarge) {
                return QStringLiteral("fichier trop grand pour une police (%1 Mio au plus)")
                    .arg(glyph::kMaxFontFileBytes / (1024 * 1024));
            }
            return tableFileProblem(problem.file);
        case FontFault::NotAFont:
            return QStringLiteral("ce n'est pas une police lisible (BDF, PCF ou OTB attendu)");
        case FontFault::OutlineOnly:
            return QStringLiteral("police vectorielle, sans taille bitmap");
        case FontFault::NoUsableStrike:
            return QStringLiteral("aucune taille bitmap utilisable");
        case FontFault::StrikeTooTall:
            return QStringLiteral("taille bitmap de %1 rangées, %2 au plus")
                .arg(problem.rows)
                .arg(glyph::kMaxStrikeRows);
    }
    return {};
}

QString codeList(const std::vector<int>& codes) {
    QStringList parts;
    for (std::size_t i = 0; i < codes.size();) {
        std::size_t j = i;
        while (j + 1 < codes.size() && codes[j + 1] == codes[j] + 1) {
            ++j;
        }
        parts.append(j == i ? QString::number(codes[i])
                            : QStringLiteral("%1-%2").arg(codes[i]).arg(codes[j]));
        i = j + 1;
    }
    return parts.join(QStringLiteral(", "));
}

}  // namespace glyphtext
