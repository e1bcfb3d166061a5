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

}  // namespace glyphtext
