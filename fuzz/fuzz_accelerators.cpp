// The accelerator rule over one menu level: a caption keeps its text apart
// from "&"s, marks at most one key, and a second pass changes nothing.
#include "Accelerators.h"
#include "FuzzSupport.h"

namespace {

QString withoutAmpersands(QString caption) {
    return caption.remove(u'&');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    QList<MenuCaption> level;
    while (!in.empty() && level.size() < 12) {
        const auto flags = in.take<std::uint8_t>();
        level.append({in.text(24), (flags & 1) == 0});
    }
    const QList<QString> once = assignAccelerators(level);
    FUZZ_CHECK(once.size() == level.size());
    QList<MenuCaption> again = level;
    for (qsizetype i = 0; i < level.size(); ++i) {
        FUZZ_CHECK(withoutAmpersands(once[i]) == withoutAmpersands(level[i].text));
        if (!level[i].visible) {
            FUZZ_CHECK(once[i] == level[i].text);
        }
        again[i].text = once[i];
    }
    FUZZ_CHECK(assignAccelerators(again) == once);
    return 0;
}
