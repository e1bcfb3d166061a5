#include "FontsTable.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>

#include "ColumnCodes.h"
#include "FontsFile.h"
#include "GlyphRules.h"

namespace glyph {

namespace {

// A column word always lies between 0xFC00 (all lit) and 0x10000 (the rounding
// of more than ten unlit rows).
constexpr std::uint32_t kLowestWord = 0xFC00;
constexpr std::uint32_t kHighestWord = 0x10000;

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

bool isUpperHex(QChar c) {
    return isDigit(c) || (c >= u'A' && c <= u'F');
}

}  // namespace

QString recordLine(const GlyphRecord& record) {
    QString codes;
    for (std::size_t c = 0; c < record.words.size(); ++c) {
        codes += QStringLiteral(" 0x") + QString::number(record.words[c], 16).toUpper();
        codes += c == 7 ? QStringLiteral("} },") : QStringLiteral(",");
    }
    return glyphLine(record.code, codes);
}

std::variant<GlyphRecord, QString> parseGlyphLine(QStringView line) {
    const QStringView start = u" { ";
    if (!line.startsWith(start)) {
        return QStringLiteral("ni la ligne de déclaration ni une ligne de caractère");
    }
    qsizetype pos = start.size();
    const qsizetype digits = pos;
    while (pos < line.size() && isDigit(line[pos]) && pos - digits < 4) {
        ++pos;
    }
    GlyphRecord record;
    bool ok = false;
    record.code = line.mid(digits, pos - digits).toInt(&ok);
    // Written without leading zeros, 0 to 255.
    if (pos == digits || !ok || record.code > 255 || (line[digits] == u'0' && pos - digits > 1)) {
        return QStringLiteral("code de caractère illisible (0 à 255 attendu)");
    }
    const QStringView open = u", {";
    if (!line.mid(pos).startsWith(open)) {
        return QStringLiteral("« , { » attendu après le code %1").arg(record.code);
    }
    pos += open.size();
    while (pos < line.size()) {
        const int column = static_cast<int>(record.words.size()) + 1;
        if (!line.mid(pos).startsWith(u" 0x")) {
            return QStringLiteral("colonne %1 : « 0x » attendu").arg(column);
        }
        pos += 3;
        const qsizetype hex = pos;
        while (pos < line.size() && isUpperHex(line[pos]) && pos - hex < 6) {
            ++pos;
        }
        const std::uint32_t word = line.mid(hex, pos - hex).toUInt(&ok, 16);
        if (pos == hex || !ok || line[hex] == u'0' || word < kLowestWord || word > kHighestWord) {
            return QStringLiteral("colonne %1 : mot hors de 0xFC00 à 0x10000").arg(column);
        }
        record.words.push_back(word);
        const QStringView separator = column == 8 ? QStringView(u"} },") : QStringView(u",");
        if (!line.mid(pos).startsWith(separator)) {
            return QStringLiteral("colonne %1 : « %2 » attendu").arg(column).arg(separator);
        }
        pos += separator.size();
        if (record.words.size() > static_cast<std::size_t>(kMaxColumns)) {
            return QStringLiteral("plus de %1 colonnes").arg(kMaxColumns);
        }
    }
    return record;
}

TableRead readTable(QByteArrayView bytes) {
    TableRead read;
    const QLatin1String header(kTableHeader);
    int number = 0;
    qsizetype from = 0;
    while (from < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', from);
        if (end < 0) {
            end = bytes.size();
        }
        QByteArrayView raw = bytes.sliced(from, end - from);
        from = end + 1;
        ++number;
        if (raw.endsWith('\r')) {
            raw.chop(1);
        }
        if (raw.isEmpty()) {
            continue;
        }
        // The tools write ASCII only; anything else is not theirs.
        if (std::any_of(raw.begin(), raw.end(), [](char c) {
                const auto u = static_cast<unsigned char>(c);
                return u < 0x20 || u > 0x7E;
            })) {
            read.problems.push_back(
                {number, QStringLiteral("caractère hors ASCII ou de contrôle")});
            continue;
        }
        const QString line = QString::fromLatin1(raw);
        if (line == header) {
            read.lines.append(line);
            continue;
        }
        auto parsed = parseGlyphLine(line);
        if (auto* reason = std::get_if<QString>(&parsed)) {
            read.problems.push_back({number, *reason});
            continue;
        }
        read.lines.append(line);
        read.glyphs.push_back(std::get<GlyphRecord>(std::move(parsed)));
    }
    return read;
}

std::variant<TableRead, QString> loadTableFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) {
        return QStringLiteral("fichier introuvable");
    }
    if (!info.isFile()) {
        return QStringLiteral("ce n'est pas un fichier ordinaire");
    }
    if (info.size() > kMaxTableBytes) {
        return QStringLiteral("fichier trop grand pour une table (%1 octets au plus)")
            .arg(kMaxTableBytes);
    }
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly)) {
        return failureReason(errno);
    }
    // Read once more than allowed: a file that grew meanwhile is still refused.
    const QByteArray bytes = file.read(kMaxTableBytes + 1);
    if (bytes.size() > kMaxTableBytes) {
        return QStringLiteral("fichier trop grand pour une table (%1 octets au plus)")
            .arg(kMaxTableBytes);
    }
    if (file.error() != QFileDevice::NoError) {
        return failureReason(errno);
    }
    return readTable(bytes);
}

}  // namespace glyph
