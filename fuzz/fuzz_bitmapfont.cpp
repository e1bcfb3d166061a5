// What our code does with what FreeType hands back. Either a whole font file is
// read (any bytes FreeType takes as a font), or a strike is made straight from
// the input with the hostile metrics a font could hold (bearings far off the
// box, empty or huge bitmaps). Either way: the strike keeps its promises, a
// glyph lands in the capture box only where it has lit pixels, and the model
// makes lines the table reader takes back.
#include <memory>

#include "FuzzSupport.h"
#include "core/BitmapFont.h"
#include "core/FontsTable.h"
#include "core/GlyphModel.h"

using namespace glyph;

namespace {

BitmapStrike strikeFrom(FuzzInput& in) {
    BitmapStrike strike;
    strike.ascent = in.take<std::int8_t>() % (kMaxStrikeRows + 1);
    strike.descent = in.take<std::uint8_t>() % (kMaxStrikeRows + 1 - std::max(strike.ascent, 0));
    if (strike.height() < 1) {
        strike.descent = 1 - strike.ascent;
    }
    while (!in.empty()) {
        const int code = in.take<std::uint8_t>();
        BitmapGlyph glyph;
        // Within what the reader lets through: bearings held near 2^20 pixels.
        glyph.left = in.take<std::int32_t>() % (1 << 20);
        glyph.top = in.take<std::int32_t>() % (1 << 20);
        glyph.width = in.take<std::uint8_t>() % 40;
        glyph.rows = in.take<std::uint8_t>() % 40;
        const QByteArray bits = in.bytes(200);
        for (int i = 0; i < glyph.width * glyph.rows; ++i) {
            glyph.pixels.push_back(i / 8 < bits.size() && ((bits[i / 8] >> (i % 8)) & 1));
        }
        if (glyph.width > 0) {
            strike.left = std::min(strike.left, glyph.left);
        }
        strike.glyphs[static_cast<std::size_t>(code)] = std::move(glyph);
    }
    return strike;
}

void checkStrike(const BitmapStrike& strike) {
    FUZZ_CHECK(strike.height() >= 1 && strike.height() <= kMaxStrikeRows);
    FUZZ_CHECK(strike.left <= 0);
    for (const auto& glyph : strike.glyphs) {
        if (!glyph) {
            continue;
        }
        FUZZ_CHECK(glyph->width >= 0 && glyph->rows >= 0);
        FUZZ_CHECK(glyph->width <= kMaxGlyphSide && glyph->rows <= kMaxGlyphSide);
        FUZZ_CHECK(glyph->pixels.size() ==
                   static_cast<std::size_t>(glyph->width) * static_cast<std::size_t>(glyph->rows));
        FUZZ_CHECK(glyph->width == 0 || glyph->left >= strike.left);
    }
}

int blackPixels(const QImage& box) {
    int black = 0;
    for (int y = 0; y < box.height(); ++y) {
        for (int x = 0; x < box.width(); ++x) {
            black += box.pixelColor(x, y) == QColor(Qt::black) ? 1 : 0;
        }
    }
    return black;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const auto mode = in.take<std::uint8_t>();
    BitmapStrike strike;
    if (mode & 1) {
        strike = strikeFrom(in);
    } else {
        const auto pixels = in.take<std::uint8_t>();
        auto read =
            readBitmapFont(in.rest(), pixels ? std::optional<double>(pixels) : std::nullopt);
        if (std::holds_alternative<FontProblem>(read)) {
            const FontProblem& problem = std::get<FontProblem>(read);
            FUZZ_CHECK(problem.fault != FontFault::File);
            FUZZ_CHECK((problem.fault == FontFault::StrikeTooTall) ==
                       (problem.rows > kMaxStrikeRows));
            return 0;
        }
        strike = std::get<BitmapStrike>(std::move(read));
    }
    checkStrike(strike);

    const auto shared = std::make_shared<const BitmapStrike>(strike);
    GlyphModel model{CaptureFont{}, QColor(Qt::white)};
    model.setColumns(8 + (mode >> 1) % 19);
    model.setBitmapFont(shared);
    model.start();
    FUZZ_CHECK(model.sampleRowCount() == strike.height());
    for (int code = 0; code < 256; ++code) {
        model.setCode(code);
        model.capture();
        const QImage& box = model.captureBox();
        const int black = blackPixels(box);
        if (!strike.has(code)) {
            FUZZ_CHECK(black == 0 && model.lacks(code));
            continue;
        }
        const BitmapGlyph& glyph = *strike.glyphs[static_cast<std::size_t>(code)];
        const auto lit =
            static_cast<int>(std::count(glyph.pixels.begin(), glyph.pixels.end(), true));
        FUZZ_CHECK(black <= lit);
        // Every black pixel of the box is a lit pixel of the glyph, where it belongs.
        const std::int64_t x0 = std::int64_t{glyph.left} - strike.left;
        const std::int64_t y0 = std::int64_t{kStrikeTop} + strike.ascent - glyph.top;
        for (int y = 0; y < box.height() && black > 0; ++y) {
            for (int x = 0; x < box.width(); ++x) {
                if (box.pixelColor(x, y) == QColor(Qt::black)) {
                    FUZZ_CHECK(glyph.lit(static_cast<int>(x - x0), static_cast<int>(y - y0)));
                }
            }
        }
        model.computeCodes();
        const auto parsed = parseGlyphLine(model.add());
        FUZZ_CHECK(std::holds_alternative<GlyphRecord>(parsed));
        FUZZ_CHECK(std::get<GlyphRecord>(parsed).code == code);
    }
    return 0;
}
