#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QColor>
#include <QImage>
#include <QString>

#include <array>
#include <cstddef>
#include <optional>
#include <variant>
#include <vector>

#include "FileRead.h"

// A pixel font (BDF, PCF, gzipped PCF, OTB) as a glyph source: the font's own
// bitmaps, read through FreeType, taken exactly; nothing is drawn or smoothed.
namespace glyph {

// No bitmap font comes near this; the largest Unifont PCF is about 2 MB.
inline constexpr qint64 kMaxFontFileBytes = 32 * 1024 * 1024;
// The tallest strike the capture box and the grid take whole.
inline constexpr int kMaxStrikeRows = 16;
// Without a size asked for, the strike nearest the panel's rows.
inline constexpr int kPanelRows = 10;
// Where the strike's top row sits in the capture box: the first sample row at
// the start offsets.
inline constexpr int kStrikeTop = 2;
// A glyph bitmap larger than this is no pixel font's; it is left out as missing.
inline constexpr int kMaxGlyphSide = 1024;

// One character's bitmap, rows from the top, placed by its bearing from the
// origin on the baseline.
struct BitmapGlyph {
    int left = 0;  // from the origin to the bitmap's left edge
    int top = 0;   // from the baseline up to the bitmap's top row
    int width = 0;
    int rows = 0;
    std::vector<bool> pixels;  // rows x width, row by row from the top

    bool lit(int x, int y) const {
        return x >= 0 && y >= 0 && x < width && y < rows &&
               pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    }
    friend bool operator==(const BitmapGlyph&, const BitmapGlyph&) = default;
};

// The strike of a font that is sampled, with the glyphs of the Western code
// page taken out of it (by code; nothing where the font lacks the character).
struct BitmapStrike {
    QString name;  // family and style, as the font names them
    int pixelSize = 0;
    int ascent = 0;
    int descent = 0;
    int left = 0;  // the leftmost pixel of any glyph, from the origin; 0 or less
    std::array<std::optional<BitmapGlyph>, 256> glyphs;

    // H rows sampled as S = H - 1: a 10-row strike gives the panel's ten rows.
    int height() const { return ascent + descent; }
    double size() const { return height() - 1; }
    bool has(int code) const { return code >= 0 && code < 256 && glyphs[code].has_value(); }
    friend bool operator==(const BitmapStrike&, const BitmapStrike&) = default;
};

// The sizes a font file offers, as FreeType lists them.
struct StrikeSize {
    int height = 0;     // rows, ascent + descent
    double pixels = 0;  // the nominal pixel size
};

// With a size asked for, the strike of the nearest pixel size; otherwise the one
// whose height is nearest the panel's rows. Ties go to the smaller. Nothing when
// there is no strike.
std::optional<std::size_t> chooseStrike(const std::vector<StrikeSize>& sizes,
                                        std::optional<double> wanted);

enum class FontFault {
    File,            // the file itself: see FileProblem
    NotAFont,        // FreeType does not read it
    OutlineOnly,     // a font without bitmap strikes: an outline font
    NoUsableStrike,  // the strike's rows are none
    StrikeTooTall,   // more than kMaxStrikeRows rows
};

struct FontProblem {
    FontFault fault = FontFault::NotAFont;
    FileProblem file = {};  // for File
    int rows = 0;           // for StrikeTooTall
    friend bool operator==(const FontProblem&, const FontProblem&) = default;
};

using FontRead = std::variant<BitmapStrike, FontProblem>;

// The font in these bytes, at the strike chosen with `pixelSize`.
FontRead readBitmapFont(QByteArrayView bytes, std::optional<double> pixelSize = {});
// The same from a file: a regular file of at most kMaxFontFileBytes.
FontRead loadBitmapFont(const QString& path, std::optional<double> pixelSize = {});

// A name the window takes as a font when dropped: .bdf, .pcf, .pcf.gz, .otb.
bool isBitmapFontName(const QString& path);

// Clears the box and puts the glyph of `code` in it, black on the background:
// the strike's top row at kStrikeTop and its left edge at x 0, the glyph on the
// baseline by its bearing. A code the strike lacks leaves the box empty.
void drawBitmapGlyph(QImage& box, QColor background, const BitmapStrike& strike, int code);

}  // namespace glyph
