// The preview engine with any text, any clock text and any text change while
// it scrolls: it reads only inside its texts and keeps its state in range.
#include "FakeSeams.h"
#include "FuzzSupport.h"
#include "PreviewEngine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    FixedClock clock;
    clock.at =
        QDateTime(QDate(in.take<std::int16_t>(), in.take<std::uint8_t>(), in.take<std::uint8_t>()),
                  QTime(12, 0));
    clock.longTimeText = in.text(300);
    CountingBeeper beeper;
    PreviewEngine engine(clock, beeper);
    engine.reset();
    std::uint64_t ticks = 0;
    while (!in.empty()) {
        const auto run = in.take<std::uint16_t>() % 2048;
        engine.setText(in.bytes(255));
        for (int t = 0; t < run; ++t, ++ticks) {
            engine.tick();
            // Past the end of a shortened text it reads 0 and starts again.
            FUZZ_CHECK(engine.msgpos() >= 1 && engine.msgpos() <= 256);
            FUZZ_CHECK(engine.subpos() <= engine.subtxt().size());
            FUZZ_CHECK(engine.fontwidth() == 6 || engine.fontwidth() == 8);
            FUZZ_CHECK(engine.colcount() >= 0 && engine.colcount() < 8);
            FUZZ_CHECK(engine.invmask() == 0 || engine.invmask() == 0xFFFF);
            for (const std::uint16_t word : engine.ledcols()) {
                // Rows 10 to 15 do not exist: all off, or all on under "#I".
                FUZZ_CHECK((word & 0xFC00) == 0xFC00 || (word & 0xFC00) == 0);
            }
        }
    }
    FUZZ_CHECK(engine.shifts() == ticks);
    FUZZ_CHECK(engine.msgtxt().size() >= 1);
    return 0;
}
