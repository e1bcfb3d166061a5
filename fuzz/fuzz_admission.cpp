// What a text from outside becomes on its way to the panel, and what a record
// of the panel's memory read back may be: whatever comes in, the text let
// through holds only characters the panel takes, and a record read is one a
// send could have made.
#include <QFile>
#include <QTemporaryDir>

#include "Cp1252.h"
#include "FuzzSupport.h"
#include "PanelMemory.h"
#include "ReportCoding.h"
#include "TextAdmission.h"

namespace {

bool sendable(const QString& text) {
    for (const char32_t c : text.toUcs4()) {
        if (isControlCharacter(c) || c > 0xFFFF || cp1252::encodeChar(char16_t(c)) < 0) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const auto flags = in.take<std::uint8_t>();
    const QByteArray record = in.bytes(4096);
    const QString text = in.restText();

    const bool transliterate = (flags & 1) != 0;
    const Unsendable policy = (flags & 2) != 0 ? Unsendable::Replace : Unsendable::Refuse;
    const TextAdmission admitted = admitText(text, policy, transliterate);
    if (const auto* ok = std::get_if<AdmittedText>(&admitted)) {
        FUZZ_CHECK(sendable(ok->text));
        FUZZ_CHECK(ok->transliterated <= text.toUcs4().size());
        if (!transliterate) {
            FUZZ_CHECK(ok->text.size() == text.toUcs4().size());
        }
    } else {
        const auto& refused = std::get<RefusedCharacter>(admitted);
        FUZZ_CHECK(policy == Unsendable::Refuse);
        FUZZ_CHECK(refused.position >= 1 && refused.position <= text.toUcs4().size());
        FUZZ_CHECK(!transliterate || refused.control);
    }

    const QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("record"));
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(record);
    file.close();
    if (const auto recorded = PanelMemory(path).recorded()) {
        FUZZ_CHECK(!recorded->isEmpty() && recorded->size() <= kMaxSentChars);
        FUZZ_CHECK(sendable(*recorded));
    }
    return 0;
}
