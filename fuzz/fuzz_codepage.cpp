// The Windows-1252 codec: every text the code page holds comes back unchanged,
// every byte string too, and a text keeps its length in characters.
#include "Cp1252.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const QByteArray bytes = in.bytes(255);
    FUZZ_CHECK(cp1252::encode(cp1252::decode(bytes)) == bytes);

    const QString any = in.restText();
    QString encodable;
    qsizetype characters = 0;
    for (qsizetype i = 0; i < any.size(); ++i, ++characters) {
        if (any[i].isHighSurrogate() && i + 1 < any.size() && any[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        const int code = cp1252::encodeChar(any[i].unicode());
        FUZZ_CHECK(code >= -1 && code <= 255);
        if (code >= 0) {
            FUZZ_CHECK(cp1252::decodeByte(static_cast<unsigned char>(code)) == any[i]);
            encodable.append(any[i]);
        }
    }
    FUZZ_CHECK(cp1252::encode(any).size() == characters);
    FUZZ_CHECK(cp1252::decode(cp1252::encode(encodable)) == encodable);
    return 0;
}
