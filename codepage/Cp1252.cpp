#include "Cp1252.h"

#include <array>

namespace cp1252 {
namespace {

// 0x80..0x9F; 0 marks the five codes the code page leaves undefined, which
// decode to the C1 control of the same value (as Windows does).
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

}  // namespace

int encodeChar(char16_t u) {
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
        return u;
    }
    for (std::size_t i = 0; i < kHigh.size(); ++i) {
        const char16_t mapped = kHigh[i] ? kHigh[i] : static_cast<char16_t>(0x80 + i);
        if (mapped == u) {
            return static_cast<int>(0x80 + i);
        }
    }
    return -1;
}

QChar decodeByte(unsigned char code) {
    if (code >= 0x80 && code < 0xA0 && kHigh[code - 0x80] != 0) {
        return QChar(kHigh[code - 0x80]);
    }
    return QChar(static_cast<char16_t>(code));
}

QByteArray encode(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;  // one character outside the code page: one '?'
            out.append('?');
            continue;
        }
        const int code = encodeChar(c.unicode());
        out.append(code < 0 ? '?' : static_cast<char>(code));
    }
    return out;
}

QString decode(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    for (const char b : bytes) {
        out.append(decodeByte(static_cast<unsigned char>(b)));
    }
    return out;
}

QString receivable(const QString& text) {
    return decode(encode(text));
}

}  // namespace cp1252
