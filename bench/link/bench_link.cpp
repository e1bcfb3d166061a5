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

// Dialogs that only count: a benchmark that silently fails measures nothing.
class CountingDialogs final : public Dialogs {
public:
    int errors = 0;
    int confirms = 0;
    void error(const QString&) override { ++errors; }
    void confirm(const QString&) override { ++confirms; }
    bool askYesNo(const QString&) override { return true; }
    void message(const QString&) override { ++errors; }
    std::optional<QString> inputText(const QString&, const QString&, int) override { return {}; }
    void reportError(const QString&) override { ++errors; }
};

UsbApi gApi;  // filled once in main, before any benchmark runs

void BM_SendText199(benchmark::State& state) {
    PanelLink link(gApi);
    CountingDialogs dialogs;
    QByteArray text;
    for (int i = 0; i < 199; ++i) {
        text.append(static_cast<char>('A' + i % 26));
    }
    for (auto _ : state) {
        sendText(link, dialogs, text);
    }
    if (dialogs.errors != 0 || dialogs.confirms != static_cast<int>(state.iterations())) {
        state.SkipWithError("a send failed");
    }
}
BENCHMARK(BM_SendText199)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

void BM_ReadClock(benchmark::State& state) {
    PanelLink link(gApi);
    CountingDialogs dialogs;
    PanelClock clock;
    int64_t failed = 0;
    for (auto _ : state) {
        if (!readClock(link, dialogs, clock)) {
            ++failed;
        }
    }
    if (failed != 0 || dialogs.errors != 0) {
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
    CountingDialogs dialogs;
    if (!LoadUsbLibrary(gApi, dialogs, usbLibraryFileName(), {PanelSimProcess::binDir()})) {
        std::fprintf(stderr, "libmpusbapi not loaded from %s\n",
                     qPrintable(PanelSimProcess::binDir()));
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
