// One engine tick, and one whole preview tick (two picture loads, 200 LEDs drawn
// offscreen, one engine tick).
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>

#include "Preview.h"
#include "SystemClock.h"

namespace {

const QByteArray kText = "#PBonjour #Nle monde #I123:45 #Djournal lumineux#I ~~~ #H fin";

void BM_EngineTick(benchmark::State& state) {
    SystemClock clock;
    SilentBeeper beeper;
    PreviewEngine engine(clock, beeper);
    engine.reset();
    engine.setText(kText);
    for (auto _ : state) {
        engine.tick();
        benchmark::DoNotOptimize(engine.ledcols().data());
    }
}
BENCHMARK(BM_EngineTick);

void BM_WholeTick(benchmark::State& state) {
    SystemClock clock;
    SilentBeeper beeper;
    Preview preview(clock, beeper, QStringLiteral(LUMI_ASSETS_DIR), QString());
    preview.reset();
    preview.setText(kText);
    QImage canvas(422, 300, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    for (auto _ : state) {
        const auto error = preview.tick(canvas, QPoint(31, 53));
        if (error) {
            state.SkipWithError(error->path.toLocal8Bit().constData());
            break;
        }
        benchmark::DoNotOptimize(canvas.constBits());
    }
}
BENCHMARK(BM_WholeTick)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
