#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

// glyphctl's command line, read into what to do; nothing is looked up here (the
// face, the characters of a file), only the words and numbers are checked.
enum class GlyphCommand { Help, Version, Table, Show };

// The capture settings; what is not given is the window's start setting.
struct CaptureOptions {
    std::optional<QString> family;
    // A bitmap font file captured from instead of a system font; `points` is then
    // the pixel size of the strike to take.
    std::optional<QString> fontFile;
    std::optional<double> points;
    bool bold = false;
    bool italic = false;
    int columns = 8;
    int xoff = 0;
    int yoff = 2;
    bool any = false;  // one of them was given
};

// The characters asked for.
struct CharRange {
    int from = 0;
    int to = 0;
};
struct CharText {
    QString text;
};
struct CharFile {
    QString path;
};
using CharSource = std::variant<std::monostate, CharRange, CharText, CharFile>;

struct GlyphInvocation {
    GlyphCommand command = GlyphCommand::Help;
    CaptureOptions capture;
    CharSource chars;
    QString output;     // table -o; empty: standard output
    QString tableFile;  // show FILE
};

struct GlyphUsageError {
    QString message;
};

// Limits of the settings: sizes as the font dialog lists them, columns as wide as
// the capture box (every column past it is blank), offsets in 16 bits.
inline constexpr double kMinPoints = 1;
inline constexpr double kMaxPoints = 72;
inline constexpr int kMaxTableColumns = 26;

std::variant<GlyphInvocation, GlyphUsageError> parseGlyphArguments(const QStringList& args);

// "A-B", two codes of 0 to 255, A not above B.
std::variant<CharRange, QString> parseRange(const QString& text);

QString glyphctlHelp();
