// lumictl's LED picture reader with any file: it reads only inside the data,
// refuses what it cannot take whole, and what it takes makes a frame and a PNG.
#include "FakeSeams.h"
#include "FuzzSupport.h"
#include "LedPicture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto picture = readBmp(bytes);
    if (!picture) {
        return 0;
    }
    FUZZ_CHECK(picture->width > 0 && picture->height > 0);
    FUZZ_CHECK(picture->rgb.size() == qsizetype{picture->width} * picture->height * 3);
    FixedClock clock;
    SilentBeeper beeper;
    PreviewEngine engine(clock, beeper);
    engine.reset();
    engine.setText("#IA");
    for (int i = 0; i < 30; ++i) {
        engine.tick();
    }
    const RgbPicture frame = ledFrame(engine, *picture, *picture);
    FUZZ_CHECK(frame.rgb.size() == qsizetype{frame.width} * frame.height * 3);
    FUZZ_CHECK(encodePng(frame).startsWith("\x89PNG"));
    return 0;
}
