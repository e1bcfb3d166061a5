#include "LedAnimation.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <vector>

#include "LedGeometry.h"

namespace {

constexpr int kTickCentiseconds = kPreviewTickMs / 10;
constexpr int kMostDelay = 65535;  // the GIF's delay field is 16 bits
constexpr int kColourSlots = 255;  // the 256th index is the transparent one

using Columns = std::array<std::uint16_t, PreviewEngine::kShownColumns>;

Columns shownColumns(const PreviewEngine& engine) {
    Columns columns{};
    for (int c = 0; c < PreviewEngine::kShownColumns; ++c) {
        columns[static_cast<std::size_t>(c)] = engine.shownColumn(c);
    }
    return columns;
}

bool lit(const Columns& columns, int c, int r) {
    return (columns[static_cast<std::size_t>(c)] & (1u << r)) == 0;
}

// An LED picture on its cell of the pitch, as ledFrame lays it: cut at the
// pitch, black where it does not reach.
QByteArray pitchCell(const RgbPicture& led) {
    QByteArray cell(kLedPitch * kLedPitch * 3, 0);
    for (int y = 0; y < std::min(led.height, kLedPitch); ++y) {
        std::copy_n(led.rgb.constData() + qsizetype{y} * led.width * 3,
                    std::min(led.width, kLedPitch) * 3, cell.data() + y * kLedPitch * 3);
    }
    return cell;
}

// The two LED cells as palette indices, and the palette.
struct IndexedLeds {
    std::array<std::vector<GifPixelType>, 2> cells;  // unlit, lit
    std::vector<GifColorType> palette;
    bool approximated = false;
};

IndexedLeds indexLeds(const RgbPicture& unlit, const RgbPicture& lit) {
    const QByteArray both = pitchCell(unlit) + pitchCell(lit);
    const int pixels = kLedPitch * kLedPitch;
    IndexedLeds out;
    std::map<quint32, GifPixelType> index;
    for (int p = 0; p < 2 * pixels; ++p) {
        const auto* rgb = reinterpret_cast<const GifByteType*>(both.constData() + p * 3);
        index.emplace((quint32{rgb[0]} << 16) | (quint32{rgb[1]} << 8) | rgb[2], 0);
    }
    std::vector<GifPixelType> indices(static_cast<std::size_t>(2 * pixels));
    if (index.size() <= kColourSlots) {
        for (auto& [rgb, i] : index) {
            i = static_cast<GifPixelType>(out.palette.size());
            out.palette.push_back(
                {GifByteType(rgb >> 16), GifByteType(rgb >> 8), GifByteType(rgb)});
        }
        for (int p = 0; p < 2 * pixels; ++p) {
            const auto* rgb = reinterpret_cast<const GifByteType*>(both.constData() + p * 3);
            indices[static_cast<std::size_t>(p)] =
                index.at((quint32{rgb[0]} << 16) | (quint32{rgb[1]} << 8) | rgb[2]);
        }
    } else {
        std::array<std::vector<GifByteType>, 3> planes;
        for (int k = 0; k < 3; ++k) {
            planes[static_cast<std::size_t>(k)].resize(static_cast<std::size_t>(2 * pixels));
            for (int p = 0; p < 2 * pixels; ++p) {
                planes[static_cast<std::size_t>(k)][static_cast<std::size_t>(p)] =
                    static_cast<GifByteType>(both[p * 3 + k]);
            }
        }
        int size = kColourSlots;
        out.palette.resize(kColourSlots);
        if (GifQuantizeBuffer(kLedPitch, 2 * kLedPitch, &size, planes[0].data(), planes[1].data(),
                              planes[2].data(), indices.data(), out.palette.data()) != GIF_OK) {
            return {};
        }
        out.palette.resize(static_cast<std::size_t>(size));
        out.approximated = true;
    }
    out.cells[0].assign(indices.begin(), indices.begin() + pixels);
    out.cells[1].assign(indices.begin() + pixels, indices.end());
    return out;
}

// Where giflib's bytes go, up to a bound; past it giflib is told the write failed.
struct Sink {
    QByteArray bytes;
    qsizetype most = 0;
    bool full = false;
};

int appendBytes(GifFileType* gif, const GifByteType* data, int size) {
    auto* sink = static_cast<Sink*>(gif->UserData);
    if (sink->bytes.size() + size > sink->most) {
        sink->full = true;
        return 0;
    }
    sink->bytes.append(reinterpret_cast<const char*>(data), size);
    return size;
}

// One GIF being written into bytes; giflib's first error ends it.
class GifWriter {
public:
    GifWriter(const IndexedLeds& leds, Sink& sink) : leds_(leds) {
        gif_ = EGifOpen(&sink, appendBytes, &error_);
        transparent_ = static_cast<GifPixelType>(leds.palette.size());
        if (gif_ == nullptr) {
            return;
        }
        EGifSetGifVersion(gif_, true);
        std::vector<GifColorType> colours = leds.palette;
        colours.push_back({0, 0, 0});  // the transparent index's colour, never seen
        const int mapSize = 1 << GifBitSize(static_cast<int>(colours.size()));
        colours.resize(static_cast<std::size_t>(mapSize), GifColorType{0, 0, 0});
        const std::unique_ptr<ColorMapObject, void (*)(ColorMapObject*)> map(
            GifMakeMapObject(mapSize, colours.data()), GifFreeMapObject);
        const QSize size = ledMatrixSize();
        constexpr char kLoop[] = "NETSCAPE2.0";  // the loop extension browsers read
        GifByteType forEver[] = {1, 0, 0};       // sub-block 1, loop count 0
        ok_ = map &&
              EGifPutScreenDesc(gif_, size.width(), size.height(), 8, 0, map.get()) == GIF_OK &&
              EGifPutExtensionLeader(gif_, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
              EGifPutExtensionBlock(gif_, 11, kLoop) == GIF_OK &&
              EGifPutExtensionBlock(gif_, 3, forEver) == GIF_OK &&
              EGifPutExtensionTrailer(gif_) == GIF_OK;
        canvas_.resize(static_cast<std::size_t>(size.width() * size.height()));
    }
    GifWriter(const GifWriter&) = delete;
    GifWriter& operator=(const GifWriter&) = delete;
    ~GifWriter() {
        if (gif_ != nullptr) {
            EGifCloseFile(gif_, nullptr);
        }
    }

    // The frame after the last one: only the LEDs that changed are stored,
    // over the last frame left in place; the first frame is stored whole.
    void put(const Columns& columns, int delay) {
        if (!ok_) {
            return;
        }
        int left = PreviewEngine::kShownColumns, right = -1;
        int top = PreviewEngine::kRows, bottom = -1;
        for (int c = 0; c < PreviewEngine::kShownColumns; ++c) {
            for (int r = 0; r < PreviewEngine::kRows; ++r) {
                if (!shown_ || lit(*shown_, c, r) != lit(columns, c, r)) {
                    left = std::min(left, c);
                    right = std::max(right, c);
                    top = std::min(top, r);
                    bottom = std::max(bottom, r);
                }
            }
        }
        // Nothing changed (a long delay cut in two): one transparent pixel.
        const bool same = right < 0;
        const int x0 = same ? 0 : left * kLedPitch, y0 = same ? 0 : top * kLedPitch;
        const int w = same ? 1 : (right - left + 1) * kLedPitch;
        const int h = same ? 1 : (bottom - top + 1) * kLedPitch;
        const GraphicsControlBlock control{DISPOSE_DO_NOT, false, delay,
                                           shown_ ? int{transparent_} : NO_TRANSPARENT_COLOR};
        GifByteType extension[4];
        EGifGCBToExtension(&control, extension);
        ok_ = EGifPutExtension(gif_, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK &&
              EGifPutImageDesc(gif_, x0, y0, w, h, false, nullptr) == GIF_OK;
        const int width = ledMatrixSize().width();
        std::vector<GifPixelType> line(static_cast<std::size_t>(w));
        for (int y = y0; ok_ && y < y0 + h; ++y) {
            const int r = y / kLedPitch;
            for (int x = x0; x < x0 + w; ++x) {
                const int c = x / kLedPitch;
                const GifPixelType want =
                    leds_.cells[lit(columns, c, r) ? 1 : 0][static_cast<std::size_t>(
                        (y % kLedPitch) * kLedPitch + x % kLedPitch)];
                GifPixelType& canvas = canvas_[static_cast<std::size_t>(y * width + x)];
                // Pixels the last frame already shows stay transparent: runs
                // of one index pack far tighter than the LEDs' shading.
                line[static_cast<std::size_t>(x - x0)] =
                    shown_ && canvas == want ? transparent_ : want;
                canvas = want;
            }
            ok_ = EGifPutLine(gif_, line.data(), w) == GIF_OK;
        }
        shown_ = columns;
        ++frames_;
    }

    // The trailer written: true when every step went well.
    bool close() {
        if (gif_ == nullptr) {
            return false;
        }
        if (!ok_) {
            error_ = gif_->Error;
        }
        int closeError = 0;
        const bool closed = EGifCloseFile(gif_, &closeError) == GIF_OK;
        gif_ = nullptr;
        if (ok_ && !closed) {
            ok_ = false;
            error_ = closeError;
        }
        return ok_;
    }
    bool failed() const { return !ok_; }
    int error() const { return error_; }
    int frames() const { return frames_; }

private:
    const IndexedLeds& leds_;
    GifFileType* gif_ = nullptr;
    int error_ = 0;
    bool ok_ = false;
    GifPixelType transparent_ = 0;
    std::vector<GifPixelType> canvas_;  // what the frames so far show
    std::optional<Columns> shown_;
    int frames_ = 0;
};

}  // namespace

LedAnimation encodeLedGif(PreviewEngine& engine, std::int64_t ticks, const RgbPicture& unlit,
                          const RgbPicture& lit, qsizetype mostBytes) {
    LedAnimation out;
    const IndexedLeds leds = indexLeds(unlit, lit);
    if (leds.palette.empty()) {  // the quantiser fails only short of memory
        out.giflibError = D_GIF_ERR_NOT_ENOUGH_MEM;
        return out;
    }
    out.approximated = leds.approximated;
    Sink sink{QByteArray(), mostBytes};
    GifWriter writer(leds, sink);
    // Identical ticks in a row (the blank columns of a code) make one frame
    // shown for all of them.
    Columns pending = shownColumns(engine);
    int delay = 0;
    for (std::int64_t tick = 0; tick < ticks && !writer.failed(); ++tick) {
        if (tick > 0) {
            engine.tick();
        }
        const Columns columns = shownColumns(engine);
        if (delay > 0 && (columns != pending || delay + kTickCentiseconds > kMostDelay)) {
            writer.put(pending, delay);
            delay = 0;
        }
        pending = columns;
        delay += kTickCentiseconds;
    }
    if (delay > 0) {
        writer.put(pending, delay);
    }
    // giflib does not check the trailer's write: the sink knows.
    if (!writer.close() || sink.full) {
        out.giflibError = sink.full ? E_GIF_ERR_WRITE_FAILED : writer.error();
        out.tooLarge = sink.full;
        return out;
    }
    out.frames = writer.frames();
    out.gif = sink.bytes;
    return out;
}
