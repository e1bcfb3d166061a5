// One ">" step (capture and codes) and one save of a 256-line list, through the
// cores and through the window on fakes.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>

#include "FakeServices.h"
#include "Form1.h"
#include "GridDrawing.h"
#include "core/Capture.h"
#include "core/CellGrid.h"
#include "core/ColumnCodes.h"
#include "core/FontsFile.h"
#include "core/GlyphRules.h"

namespace {

const QColor kFace(0xEF, 0xEF, 0xEF);

void BM_StepCore(benchmark::State& state) {
    const glyph::CaptureFont font;
    QImage box = glyph::makeCaptureImage(kFace);
    QImage grid = glyph::makeGridImage(kFace);
    int code = 65;
    for (auto _ : state) {
        code = glyph::nextCode(code);
        glyph::drawCharacter(box, kFace, font, glyph::charForCode(code));
        glyph::copyToGrid(box, grid, kFace, 8, font.size(), {});
        benchmark::DoNotOptimize(glyph::codeText(grid, 8, font.size()));
    }
}
BENCHMARK(BM_StepCore)->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

void BM_StepWindow(benchmark::State& state) {
    FakeFontChooser fonts;
    FakeMessages messages;
    FakeClipboard clipboard;
    FakeTableChooser tables;
    QTemporaryDir dir;
    Form1 form({fonts, messages, clipboard, tables, dir.path(), dir.path()});
    form.show();
    for (auto _ : state) {
        form.Command1_Click();
    }
}
BENCHMARK(BM_StepWindow)->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

QStringList tableOf256() {
    QStringList lines{QLatin1String(glyph::kTableHeader)};
    const QString codes = QStringLiteral(" 0xFFFE,").repeated(7) + QStringLiteral(" 0xFFFE} },");
    for (int code = 0; code < 255; ++code) {
        lines.append(glyph::glyphLine(code, codes));
    }
    return lines;
}

void BM_Save256Core(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = glyph::fontsFilePath(dir.path());
    const QStringList lines = tableOf256();
    for (auto _ : state) {
        if (glyph::writeFileAtomically(path, glyph::fileBytes(lines))) {
            state.SkipWithError("write failed");
        }
    }
}
BENCHMARK(BM_Save256Core)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);

void BM_Save256Window(benchmark::State& state) {
    FakeFontChooser fonts;
    FakeMessages messages;
    FakeClipboard clipboard;
    FakeTableChooser tables;
    QTemporaryDir dir;
    Form1 form({fonts, messages, clipboard, tables, dir.path(), dir.path()});
    form.show();
    while (form.lines().size() < 256) {
        form.Command1_Click();
        form.stocmd_Click();
    }
    for (auto _ : state) {
        form.Command3_Click();
    }
    if (messages.shown.isEmpty() || messages.shown.back().error) {
        state.SkipWithError("save failed");
    }
}
BENCHMARK(BM_Save256Window)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
