#include "FontsTable.h"

#include <algorithm>

#include "ColumnCodes.h"
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

QStringView separatorAfter(int column) {
    return column == 8 ? QStringView(u"} },") : QStringView(u",");
}

std::variant<GlyphRecord, LineProblem> parseGlyphLine(QStringView line) {
    const QStringView start = u" { ";
    if (!line.startsWith(start)) {
        return LineProblem{LineFault::NotATableLine};
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
        return LineProblem{LineFault::BadCode};
    }
    const QStringView open = u", {";
    if (!line.mid(pos).startsWith(open)) {
        return LineProblem{LineFault::BraceExpected, record.code};
    }
    pos += open.size();
    while (pos < line.size()) {
        const int column = static_cast<int>(record.words.size()) + 1;
        if (!line.mid(pos).startsWith(u" 0x")) {
            return LineProblem{LineFault::HexPrefixExpected, record.code, column};
        }
        pos += 3;
        const qsizetype hex = pos;
        while (pos < line.size() && isUpperHex(line[pos]) && pos - hex < 6) {
            ++pos;
        }
        const std::uint32_t word = line.mid(hex, pos - hex).toUInt(&ok, 16);
        if (pos == hex || !ok || line[hex] == u'0' || word < kLowestWord || word > kHighestWord) {
            return LineProblem{LineFault::WordOutOfRange, record.code, column};
        }
        record.words.push_back(word);
        const QStringView separator = separatorAfter(column);
        if (!line.mid(pos).startsWith(separator)) {
            return LineProblem{LineFault::SeparatorExpected, record.code, column};
        }
        pos += separator.size();
        if (record.words.size() > static_cast<std::size_t>(kMaxColumns)) {
            return LineProblem{LineFault::TooManyColumns, record.code, column};
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
            read.problems.push_back({number, LineProblem{LineFault::NotAscii}});
            continue;
        }
        const QString line = QString::fromLatin1(raw);
        if (line == header) {
            read.lines.append(line);
            continue;
        }
        auto parsed = parseGlyphLine(line);
        if (auto* problem = std::get_if<LineProblem>(&parsed)) {
            read.problems.push_back({number, *problem});
            continue;
        }
        read.lines.append(line);
        read.glyphs.push_back(std::get<GlyphRecord>(std::move(parsed)));
    }
    return read;
}

std::variant<TableRead, FileProblem> loadTableFile(const QString& path) {
    auto bytes = readWholeFile(path, kMaxTableBytes);
    if (auto* problem = std::get_if<FileProblem>(&bytes)) {
        return *problem;
    }
    return readTable(std::get<QByteArray>(bytes));
}

}  // namespace glyph
