// The "fonts.txt" reader on any bytes: every line is read or named, once, by its
// number; a line read is the tools' own (written back, it is the same line), and
// reading what it kept gives the same table with nothing left out.
#include "FuzzSupport.h"
#include "core/ColumnCodes.h"
#include "core/FontsTable.h"
#include "core/GlyphRules.h"

using namespace glyph;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const TableRead read = readTable(bytes);
    const qsizetype lineCount = bytes.count('\n') + 1;
    FUZZ_CHECK(read.lines.size() + static_cast<qsizetype>(read.problems.size()) <= lineCount);
    int previous = 0;
    for (const TableProblem& problem : read.problems) {
        FUZZ_CHECK(problem.line > previous && problem.line <= lineCount);
        // A reason the front ends can word: a known kind, with its column or code.
        const LineProblem& why = problem.problem;
        FUZZ_CHECK(why.fault >= LineFault::NotATableLine && why.fault <= LineFault::TooManyColumns);
        const bool byColumn =
            why.fault == LineFault::HexPrefixExpected || why.fault == LineFault::WordOutOfRange ||
            why.fault == LineFault::SeparatorExpected || why.fault == LineFault::TooManyColumns;
        FUZZ_CHECK(byColumn ? why.column >= 1 && why.column <= kMaxColumns + 1 : why.column == 0);
        FUZZ_CHECK(why.code >= 0 && why.code <= 255);
        previous = problem.line;
    }
    std::size_t glyph = 0;
    for (const QString& line : read.lines) {
        if (line == QLatin1String(kTableHeader)) {
            continue;
        }
        FUZZ_CHECK(glyph < read.glyphs.size());
        const GlyphRecord& record = read.glyphs[glyph++];
        FUZZ_CHECK(record.code >= 0 && record.code <= 255);
        FUZZ_CHECK(recordLine(record) == line);
    }
    FUZZ_CHECK(glyph == read.glyphs.size());
    const TableRead again = readTable(fileBytes(read.lines));
    FUZZ_CHECK(again.problems.empty() && again.lines == read.lines);
    return 0;
}
