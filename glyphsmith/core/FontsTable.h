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

// A glyph line taken apart, or why it is not one (in French, for the user).
std::variant<GlyphRecord, QString> parseGlyphLine(QStringView line);

struct TableProblem {
    int line = 0;  // counted from 1
    QString reason;
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

// A table file read whole, or why it could not be (in French): only a regular
// file, of at most kMaxTableBytes, so a device or a pipe named by mistake
// never blocks.
std::variant<TableRead, QString> loadTableFile(const QString& path);

}  // namespace glyph
