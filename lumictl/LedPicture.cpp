#include "LedPicture.h"

#include <array>
#include <cstdlib>

#include "BmpFile.h"
#include "LedGeometry.h"

namespace {

void appendBig32(QByteArray& out, quint32 value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.append(static_cast<char>((value >> shift) & 0xFF));
    }
}

quint32 crc32(const QByteArray& bytes) {
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            t[n] = c;
        }
        return t;
    }();
    quint32 c = 0xFFFFFFFFu;
    for (const char b : bytes) {
        c = table[(c ^ static_cast<quint8>(b)) & 0xFF] ^ (c >> 8);
    }
    return c ^ 0xFFFFFFFFu;
}

void appendChunk(QByteArray& png, const char* type, const QByteArray& data) {
    appendBig32(png, static_cast<quint32>(data.size()));
    const QByteArray typed = QByteArray(type, 4) + data;
    png += typed;
    appendBig32(png, crc32(typed));
}

}  // namespace

std::optional<RgbPicture> readBmp(const QByteArray& data) {
    constexpr qsizetype kHeaders = 14 + 40;
    if (data.size() < kHeaders || !bmpIsWhole(data)) {
        return std::nullopt;
    }
    const quint32 pixelsAt = bmpLittle(data, 10, 4);
    const quint32 infoSize = bmpLittle(data, 14, 4);
    const qint32 width = static_cast<qint32>(bmpLittle(data, 18, 4));
    const qint32 height = static_cast<qint32>(bmpLittle(data, 22, 4));
    const quint32 bits = bmpLittle(data, 28, 2);
    const quint32 compression = bmpLittle(data, 30, 4);
    constexpr qint32 kMostSide = 4096;  // an LED picture is a few pixels wide
    if (infoSize < 40 || (bits != 24 && bits != 32) || (compression != 0 && compression != 3) ||
        width <= 0 || width > kMostSide || height == 0 || std::abs(height) > kMostSide) {
        return std::nullopt;
    }
    const qsizetype rows = std::abs(height);
    const qsizetype stride = (qsizetype{width} * bits + 31) / 32 * 4;
    if (qsizetype{pixelsAt} + stride * rows > data.size()) {
        return std::nullopt;
    }
    RgbPicture picture{width, static_cast<int>(rows), QByteArray(qsizetype{width} * rows * 3, 0)};
    for (qsizetype y = 0; y < rows; ++y) {
        // Rows are kept bottom up unless the height is negative.
        const qsizetype from = pixelsAt + stride * (height > 0 ? rows - 1 - y : y);
        for (qsizetype x = 0; x < width; ++x) {
            const qsizetype at = from + x * (bits / 8);
            const qsizetype to = (y * width + x) * 3;
            picture.rgb[to] = data[at + 2];
            picture.rgb[to + 1] = data[at + 1];
            picture.rgb[to + 2] = data[at];
        }
    }
    return picture;
}

RgbPicture ledFrame(const PreviewEngine& engine, const RgbPicture& unlit, const RgbPicture& lit) {
    const QSize size = ledMatrixSize();
    RgbPicture frame{size.width(), size.height(),
                     QByteArray(qsizetype{size.width()} * size.height() * 3, 0)};
    for (int c = 0; c < PreviewEngine::kShownColumns; ++c) {
        for (int r = 0; r < PreviewEngine::kRows; ++r) {
            const RgbPicture& led = engine.isLit(c, r) ? lit : unlit;
            // A picture larger than the pitch is cut at its LED's cell.
            for (int y = 0; y < std::min(led.height, kLedPitch); ++y) {
                const qsizetype to =
                    (qsizetype{r * kLedPitch + y} * frame.width + c * kLedPitch) * 3;
                const qsizetype from = qsizetype{y} * led.width * 3;
                const qsizetype count = qsizetype{std::min(led.width, kLedPitch)} * 3;
                std::copy_n(led.rgb.constData() + from, count, frame.rgb.data() + to);
            }
        }
    }
    return frame;
}

QByteArray encodePng(const RgbPicture& picture) {
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray header;
    appendBig32(header, static_cast<quint32>(picture.width));
    appendBig32(header, static_cast<quint32>(picture.height));
    header.append("\x08\x02\x00\x00\x00", 5);  // 8 bits a sample, RGB, no interlace
    appendChunk(png, "IHDR", header);
    QByteArray rows;
    const qsizetype stride = qsizetype{picture.width} * 3;
    rows.reserve((stride + 1) * picture.height);
    for (int y = 0; y < picture.height; ++y) {
        rows.append('\0');  // no filter
        rows.append(picture.rgb.mid(y * stride, stride));
    }
    // qCompress gives a zlib stream behind its own four-byte length.
    appendChunk(png, "IDAT", qCompress(rows, 9).mid(4));
    appendChunk(png, "IEND", QByteArray());
    return png;
}
