// The link code against panelsim through the real library: a 199-character
// text send and a clock read, each a whole exchange with its opens and closes.
//   LUMI_BIN_DIR=build/bin build/bench/bench_link
#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <cstdio>
#include <memory>

#include "ClockTransfer.h"
#include "PanelSimProcess.h"
#include "TextTransfer.h"
#include "USB2Lib.h"

namespace {

UsbApi gApi;  // filled once in main, before any benchmark runs

void BM_SendText199(benchmark::State& state) {
    PanelLink link(gApi);
    QByteArray text;
    for (int i = 0; i < 199; ++i) {
        text.append(static_cast<char>('A' + i % 26));
    }
    int64_t failed = 0;
    for (auto _ : state) {
        if (!sendText(link, text).ok()) {
            ++failed;  // a benchmark that silently fails measures nothing
        }
    }
    if (failed != 0) {
        state.SkipWithError("a send failed");
    }
}
BENCHMARK(BM_SendText199)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

void BM_ReadClock(benchmark::State& state) {
    PanelLink link(gApi);
    int64_t failed = 0;
    for (auto _ : state) {
        if (!readClock(link).ok()) {
            ++failed;
        }
    }
    if (failed != 0) {
        state.SkipWithError("a clock read failed");
    }
}
BENCHMARK(BM_ReadClock)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    PanelSimProcess panel;
    if (!panel.ready()) {
        std::fprintf(stderr, "panelsim did not start from %s\n",
                     qPrintable(PanelSimProcess::binDir()));
        return 1;
    }
    panel.select();
    UsbLibrary library;
    const LibraryLoad load =
        library.load(usbLibraryFileName(), {PanelSimProcess::binDir()}, QString());
    if (!load.ok()) {
        std::fprintf(stderr, "libmpusbapi not loaded from %s\n",
                     qPrintable(PanelSimProcess::binDir()));
        return 1;
    }
    gApi = load.api;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
