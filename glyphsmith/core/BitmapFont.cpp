#include "BitmapFont.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BITMAP_H

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include "GlyphRules.h"

namespace glyph {

namespace {

struct LibraryDone {
    void operator()(FT_Library library) const { FT_Done_FreeType(library); }
};
struct FaceDone {
    void operator()(FT_Face face) const { FT_Done_Face(face); }
};
using Library = std::unique_ptr<std::remove_pointer_t<FT_Library>, LibraryDone>;
using Face = std::unique_ptr<std::remove_pointer_t<FT_Face>, FaceDone>;

// A font's metrics are its own numbers: held well inside int before any sum.
int heldPixels(double value) {
    constexpr double kLimit = 1 << 20;
    if (!(value > -kLimit)) {
        return static_cast<int>(-kLimit);
    }
    return static_cast<int>(std::lround(std::min(value, kLimit)));
}

int fromFixed(FT_Pos value) {
    return heldPixels(static_cast<double>(value) / 64.0);
}

// The slot's bitmap as lit pixels; nothing when it is no bitmap or an absurd one.
std::optional<BitmapGlyph> takeBitmap(FT_Library library, FT_GlyphSlot slot) {
    if (slot->format != FT_GLYPH_FORMAT_BITMAP) {
        return std::nullopt;
    }
    const FT_Bitmap& source = slot->bitmap;
    if (source.width > static_cast<unsigned>(kMaxGlyphSide) ||
        source.rows > static_cast<unsigned>(kMaxGlyphSide)) {
        return std::nullopt;
    }
    // One byte a pixel whatever the strike's depth: mono gives 0 or 1.
    FT_Bitmap bytes;
    FT_Bitmap_Init(&bytes);
    if (FT_Bitmap_Convert(library, &source, &bytes, 1) != 0) {
        FT_Bitmap_Done(library, &bytes);
        return std::nullopt;
    }
    BitmapGlyph glyph;
    glyph.left = heldPixels(slot->bitmap_left);
    glyph.top = heldPixels(slot->bitmap_top);
    glyph.width = static_cast<int>(bytes.width);
    glyph.rows = static_cast<int>(bytes.rows);
    glyph.pixels.assign(static_cast<std::size_t>(glyph.width) * bytes.rows, false);
    const int grays = std::max<int>(bytes.num_grays, 2);
    const std::ptrdiff_t pitch = bytes.pitch;
    for (int y = 0; y < glyph.rows; ++y) {
        // A negative pitch stores the rows from the bottom up.
        const std::ptrdiff_t row = pitch >= 0 ? y : glyph.rows - 1 - y;
        const unsigned char* line = bytes.buffer + row * (pitch >= 0 ? pitch : -pitch);
        for (int x = 0; x < glyph.width; ++x) {
            // Grey strikes (rare in pixel fonts) are lit from half their range.
            glyph.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(glyph.width) +
                         static_cast<std::size_t>(x)] = 2 * int{line[x]} >= grays;
        }
    }
    FT_Bitmap_Done(library, &bytes);
    return glyph;
}

}  // namespace

std::optional<std::size_t> chooseStrike(const std::vector<StrikeSize>& sizes,
                                        std::optional<double> wanted) {
    std::optional<std::size_t> best;
    double bestDistance = std::numeric_limits<double>::infinity();
    double bestKey = 0;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const double key = wanted ? sizes[i].pixels : sizes[i].height;
        const double distance = std::abs(key - (wanted ? *wanted : kPanelRows));
        if (!best || distance < bestDistance || (distance == bestDistance && key < bestKey)) {
            best = i;
            bestDistance = distance;
            bestKey = key;
        }
    }
    return best;
}

FontRead readBitmapFont(QByteArrayView bytes, std::optional<double> pixelSize) {
    FT_Library rawLibrary = nullptr;
    if (FT_Init_FreeType(&rawLibrary) != 0) {
        return FontProblem{FontFault::NotAFont};
    }
    const Library library(rawLibrary);
    FT_Face rawFace = nullptr;
    if (FT_New_Memory_Face(library.get(), reinterpret_cast<const FT_Byte*>(bytes.data()),
                           static_cast<FT_Long>(bytes.size()), 0, &rawFace) != 0) {
        return FontProblem{FontFault::NotAFont};
    }
    const Face face(rawFace);
    if (face->num_fixed_sizes <= 0 || face->available_sizes == nullptr) {
        return FontProblem{FT_IS_SCALABLE(face.get()) ? FontFault::OutlineOnly
                                                      : FontFault::NotAFont};
    }
    std::vector<StrikeSize> sizes;
    for (FT_Int i = 0; i < face->num_fixed_sizes; ++i) {
        const FT_Bitmap_Size& size = face->available_sizes[i];
        const double pixels = size.y_ppem > 0 ? size.y_ppem / 64.0 : size.height;
        sizes.push_back({size.height, pixels});
    }
    const std::size_t chosen = *chooseStrike(sizes, pixelSize);
    if (FT_Select_Size(face.get(), static_cast<FT_Int>(chosen)) != 0) {
        return FontProblem{FontFault::NoUsableStrike};
    }
    BitmapStrike strike;
    strike.name = QString::fromUtf8(face->family_name ? face->family_name : "");
    if (face->style_name != nullptr && *face->style_name != '\0') {
        strike.name += u' ' + QString::fromUtf8(face->style_name);
    }
    strike.pixelSize = heldPixels(sizes[chosen].pixels);
    strike.ascent = fromFixed(face->size->metrics.ascender);
    strike.descent = -fromFixed(face->size->metrics.descender);
    if (strike.ascent == 0 && strike.descent == 0) {
        // A strike without line metrics: its whole height above the baseline.
        strike.ascent = sizes[chosen].height;
    }
    if (strike.height() < 1) {
        return FontProblem{FontFault::NoUsableStrike};
    }
    if (strike.height() > kMaxStrikeRows) {
        return FontProblem{FontFault::StrikeTooTall, {}, strike.height()};
    }
    // The panel's code page mapped to Unicode when the font has that map; a font
    // in another encoding is read by the code itself.
    const bool unicode = FT_Select_Charmap(face.get(), FT_ENCODING_UNICODE) == 0;
    if (!unicode && face->num_charmaps > 0 && FT_Set_Charmap(face.get(), face->charmaps[0]) != 0) {
        return FontProblem{FontFault::NotAFont};
    }
    for (int code = 0; code < 256; ++code) {
        const FT_ULong key = unicode ? charForCode(code).unicode() : static_cast<FT_ULong>(code);
        const FT_UInt index = FT_Get_Char_Index(face.get(), key);
        if (index == 0 || FT_Load_Glyph(face.get(), index, FT_LOAD_DEFAULT) != 0) {
            continue;
        }
        strike.glyphs[static_cast<std::size_t>(code)] = takeBitmap(library.get(), face->glyph);
        if (const auto& glyph = strike.glyphs[static_cast<std::size_t>(code)];
            glyph && glyph->width > 0) {
            strike.left = std::min(strike.left, glyph->left);
        }
    }
    return strike;
}

FontRead loadBitmapFont(const QString& path, std::optional<double> pixelSize) {
    auto bytes = readWholeFile(path, kMaxFontFileBytes);
    if (auto* problem = std::get_if<FileProblem>(&bytes)) {
        return FontProblem{FontFault::File, *problem};
    }
    return readBitmapFont(std::get<QByteArray>(bytes), pixelSize);
}

bool isBitmapFontName(const QString& path) {
    for (const char* suffix : {".bdf", ".pcf", ".pcf.gz", ".otb", ".bdf.gz"}) {
        if (path.endsWith(QLatin1String(suffix), Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}

void drawBitmapGlyph(QImage& box, QColor background, const BitmapStrike& strike, int code) {
    box.fill(background);
    if (!strike.has(code)) {
        return;
    }
    const BitmapGlyph& glyph = *strike.glyphs[static_cast<std::size_t>(code)];
    // In 64 bits: a hostile font's bearings may be far off the box.
    const std::int64_t x0 = std::int64_t{glyph.left} - strike.left;
    const std::int64_t y0 = std::int64_t{kStrikeTop} + strike.ascent - glyph.top;
    for (int y = 0; y < glyph.rows; ++y) {
        for (int x = 0; x < glyph.width; ++x) {
            const std::int64_t bx = x0 + x;
            const std::int64_t by = y0 + y;
            if (glyph.lit(x, y) && bx >= 0 && by >= 0 && bx < box.width() && by < box.height()) {
                box.setPixelColor(static_cast<int>(bx), static_cast<int>(by), Qt::black);
            }
        }
    }
}

}  // namespace glyph
