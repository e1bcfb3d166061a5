#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <variant>
#include <vector>

#include "Arguments.h"
#include "core/BitmapFont.h"
#include "core/Capture.h"
#include "core/FontsTable.h"

// glyphctl's commands on glyphsmith's glyph model: what goes to standard output,
// what to standard error, and the exit code.
inline constexpr int kGlyphDone = 0;
inline constexpr int kGlyphFailed = 1;
inline constexpr int kGlyphUsage = 2;

struct GlyphOutput {
    QByteArray out;
    QByteArray err;
};

// "show NAME": an existing file is a table to show; otherwise a name of one
// character is that character, drawn with the settings.
GlyphInvocation resolveShowTarget(GlyphInvocation inv);

// Whether the command draws with a system font, and so needs a QGuiApplication.
bool drawsWithSystemFont(const GlyphInvocation& inv);

// Needs a QGuiApplication when drawsWithSystemFont(): the faces are looked up
// and glyphs drawn.
int runGlyphCommand(const GlyphInvocation& given, GlyphOutput& output);

// The capture font the settings ask for, or why there is none (an unknown face).
std::variant<glyph::CaptureFont, QString> captureFontFor(const CaptureOptions& options);

// The Western code page's code of each character, or the first one it cannot
// hold, by its position (from 1).
std::variant<std::vector<int>, QString> westernCodes(const QString& text);

// The lines of a table: the declaration line, then one line per code, each as
// glyphsmith's "Ajoute" makes it with the same settings.
// With a bitmap font, its glyphs are captured instead of the font's.
QStringList tableLines(const glyph::CaptureFont& font, const CaptureOptions& options,
                       const std::vector<int>& codes,
                       const std::shared_ptr<const glyph::BitmapStrike>& bitmap = {});

// One glyph as text: its code, character and words, then ten rows of LEDs,
// '#' lit and '.' unlit, one column per word, as the panel shows the words.
QString drawGlyph(const glyph::GlyphRecord& record);
