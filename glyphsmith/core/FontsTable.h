#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

#include "FileRead.h"

// Reading a font table back: the lines glyphsmith and glyphctl write, checked
// one by one, so a table can be reopened or shown.
namespace glyph {

// One glyph line: the character's code and its column words.
struct GlyphRecord {
    int code = 0;
    std::vector<std::uint32_t> words;
    friend bool operator==(const GlyphRecord&, const GlyphRecord&) = default;
};

// The line a record stands for, exactly as the tools write it.
QString recordLine(const GlyphRecord& record);

// Why a line is not one the tools write; the front ends word it.
enum class LineFault {
    NotATableLine,      // neither the declaration line nor a glyph line
    NotAscii,           // a byte outside printable ASCII
    BadCode,            // no code of 0 to 255 without leading zeros
    BraceExpected,      // no ", {" after the code
    HexPrefixExpected,  // no " 0x" before a column word
    WordOutOfRange,     // a column word outside 0xFC00 to 0x10000
    SeparatorExpected,  // no separator after a column word
    TooManyColumns,     // more than kMaxColumns words
};

struct LineProblem {
    LineFault fault = LineFault::NotATableLine;
    int code = 0;    // BraceExpected: the code read
    int column = 0;  // the column words' faults: counted from 1
    friend bool operator==(const LineProblem&, const LineProblem&) = default;
};

// The separator that follows column `column` (from 1): "} }," after the eighth.
QStringView separatorAfter(int column);

// A glyph line taken apart, or why it is not one.
std::variant<GlyphRecord, LineProblem> parseGlyphLine(QStringView line);

struct TableProblem {
    int line = 0;  // counted from 1
    LineProblem problem;
};

struct TableRead {
    QStringList lines;                // the lines read, the declaration line included
    std::vector<GlyphRecord> glyphs;  // the glyph lines among them, in order
    std::vector<TableProblem> problems;
};

// Lines end with CR LF as written, or LF; empty lines are skipped, as the
// writer skips them. Every other line is the declaration line or a glyph line.
TableRead readTable(QByteArrayView bytes);

// No table comes near this: 256 lines of the most columns is about 2.3 MB.
inline constexpr qint64 kMaxTableBytes = 16 * 1024 * 1024;

// A table file read whole, or why it could not be: only a regular file, of at
// most kMaxTableBytes.
std::variant<TableRead, FileProblem> loadTableFile(const QString& path);

}  // namespace glyph
