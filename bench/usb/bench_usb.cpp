// The library's own cost per exchange: a clock read and a 199-character text
// send through the libusb backend against the emulated panel, the same through
// the virtual backend against panelsim, and what the drain of a possibly late
// reply adds after a time-out.
//   LUMI_BIN_DIR=build/bin LD_PRELOAD=libumockdev-preload.so.0 build/bench/bench_usb
#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <array>
#include <chrono>
#include <cstdio>
#include <memory>

#include "EmulatedPanel.h"
#include "MpusbLibrary.h"
#include "PanelFirmware.h"
#include "PanelSimProcess.h"

namespace {

constexpr char kId[] = "vid_04d8&pid_000c";
constexpr char kEndpoint[] = "\\MCHP_EP1";

MpusbLibrary gLib;  // loaded once in main, before any benchmark runs
QByteArray gVirtualSocket;

struct Pipes {
    std::uint32_t write = gLib.open(0, kId, kEndpoint, MPUSB_DIR_WRITE, 0);
    std::uint32_t read = gLib.open(0, kId, kEndpoint, MPUSB_DIR_READ, 0);
    ~Pipes() {
        gLib.close(read);
        gLib.close(write);
    }
};

bool readClock() {
    const Pipes pipes;
    std::array<std::uint8_t, 64> out{0x43};
    std::array<std::uint8_t, 64> in{};
    std::uint32_t moved = 0;
    return gLib.write(pipes.write, out.data(), 64, &moved, 1000) != 0 &&
           gLib.read(pipes.read, in.data(), 64, &moved, 5000) != 0 && in[0] == 0xAA;
}

bool sendText199() {
    const Pipes pipes;
    for (int pos = 0; pos < 199; pos += 62) {
        std::array<std::uint8_t, 64> chunk{'X', std::uint8_t(pos)};
        for (int i = 0; i < 62 && pos + i < 199; ++i) {
            chunk[std::size_t(2 + i)] = std::uint8_t('A' + (pos + i) % 26);
        }
        std::uint32_t moved = 0;
        if (gLib.write(pipes.write, chunk.data(), 64, &moved, 1000) == 0) {
            return false;
        }
    }
    return true;
}

// A read that nobody answers, given up after 1 ms: it leaves the device
// unsettled, so the next write drains first.
void timeOut() {
    const Pipes pipes;
    std::array<std::uint8_t, 64> in{};
    std::uint32_t moved = 0;
    gLib.read(pipes.read, in.data(), 64, &moved, 1);
}

void useBackend(benchmark::State& state) {
    if (state.range(0) != 0) {
        qputenv("MPUSBAPI_VIRTUAL", gVirtualSocket);
    } else {
        qunsetenv("MPUSBAPI_VIRTUAL");
    }
    state.SetLabel(state.range(0) != 0 ? "virtual" : "libusb");
}

void BM_ReadClock(benchmark::State& state) {
    useBackend(state);
    readClock();  // a first use drains once; not measured
    for (auto _ : state) {
        if (!readClock()) {
            state.SkipWithError("a clock read failed");
            break;
        }
    }
}
BENCHMARK(BM_ReadClock)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->Repetitions(5);

void BM_SendText199(benchmark::State& state) {
    useBackend(state);
    readClock();
    for (auto _ : state) {
        if (!sendText199()) {
            state.SkipWithError("a send failed");
            break;
        }
    }
}
BENCHMARK(BM_SendText199)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->Repetitions(5);

// A timed-out read, then a clock read that drains before its write...
void BM_TimeOutThenReadClock(benchmark::State& state) {
    useBackend(state);
    for (auto _ : state) {
        timeOut();
        if (!readClock()) {
            state.SkipWithError("a clock read failed");
            break;
        }
    }
}
BENCHMARK(BM_TimeOutThenReadClock)->Arg(0)->Unit(benchmark::kMicrosecond)->Repetitions(5);

// ...against the same two without a drain between them: the clock read goes
// first, so the device is settled again by the time it writes.
void BM_ReadClockThenTimeOut(benchmark::State& state) {
    useBackend(state);
    for (auto _ : state) {
        // The drain this iteration's time-out asks for is done by the next
        // iteration's clock read: keep it out with a settling read first.
        state.PauseTiming();
        readClock();
        state.ResumeTiming();
        if (!readClock()) {
            state.SkipWithError("a clock read failed");
            break;
        }
        timeOut();
    }
}
BENCHMARK(BM_ReadClockThenTimeOut)->Arg(0)->Unit(benchmark::kMicrosecond)->Repetitions(5);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // The emulated panel must exist before the library starts libusb.
    const auto instant = std::chrono::system_clock::time_point(std::chrono::seconds(1247562300));
    panelsim::PanelFirmware firmware(
        [instant] { return instant; },
        [](std::chrono::system_clock::time_point t) {
            return std::int64_t(
                std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch()).count());
        });
    usbemu::EmulatedPanel panel(
        [&firmware](const usbemu::Report& out) { return firmware.handle(out); });
    panel.plug();
    PanelSimProcess panelsim;
    if (!panelsim.ready()) {
        std::fprintf(stderr, "panelsim did not start from %s\n",
                     qPrintable(PanelSimProcess::binDir()));
        return 1;
    }
    gVirtualSocket = panelsim.socketPath().toLocal8Bit();
    if (!gLib.load()) {
        std::fprintf(stderr, "%s\n", qPrintable(gLib.library.errorString()));
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    gLib.library.unload();
    return 0;
}
