// Round trips through the built libmpusbapi to a running panelsim, without
// (argument 0) and with (1) its LED face open (panelsim --show; offscreen when
// there is no display), and (2) with the face stopped (SIGSTOP): a window that
// paints nothing and reads nothing for the whole run.
//   build/bench/bench_panelsim
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <signal.h>

#include <QCoreApplication>
#include <QFile>

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

#include "PanelSimProcess.h"
#include "mpusbapi.h"

namespace {

constexpr char kId[] = "vid_04d8&pid_000c";
constexpr char kEndpoint[] = "\\MCHP_EP1";

// panelsim on a private socket, and the library pointed at it.
enum class Face { None, Open, Frozen };

// The face program panelsim started.
pid_t faceOf(qint64 panelsim) {
    QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(panelsim));
    if (!children.open(QIODevice::ReadOnly)) {
        return 0;
    }
    return static_cast<pid_t>(children.readAll().trimmed().split(' ').value(0).toInt());
}

class Panel {
public:
    explicit Panel(Face face)
        : face_(face), sim_(face != Face::None ? QStringList{"--show"} : QStringList{}) {
        if (!sim_.ready()) {
            throw std::runtime_error("panelsim did not start: " + sim_.errorText().toStdString());
        }
        sim_.select();
        const QString library = QDir(PanelSimProcess::binDir()).filePath("libmpusbapi.so");
        lib_ = ::dlopen(QFile::encodeName(library).constData(), RTLD_NOW);
        if (lib_ == nullptr) {
            throw std::runtime_error("cannot load " + library.toStdString());
        }
        open = reinterpret_cast<MPUSBOpenFn>(::dlsym(lib_, "_MPUSBOpen"));
        close = reinterpret_cast<MPUSBCloseFn>(::dlsym(lib_, "_MPUSBClose"));
        read = reinterpret_cast<MPUSBReadFn>(::dlsym(lib_, "_MPUSBRead"));
        write = reinterpret_cast<MPUSBWriteFn>(::dlsym(lib_, "_MPUSBWrite"));
        count = reinterpret_cast<MPUSBGetDeviceCountFn>(::dlsym(lib_, "_MPUSBGetDeviceCount"));
        if (face != Face::None) {
            // The face's start-up is not part of what is measured.
            std::this_thread::sleep_for(std::chrono::seconds(2));
            facePid_ = faceOf(sim_.pid());
            if (facePid_ <= 0) {
                throw std::runtime_error("panelsim --show started no face");
            }
        }
        if (face == Face::Frozen) {
            ::kill(facePid_, SIGSTOP);
        }
    }
    ~Panel() {
        if (face_ == Face::Frozen) {
            ::kill(facePid_, SIGCONT);  // so that it sees the feed end and goes
        }
    }
    Panel(const Panel&) = delete;
    Panel& operator=(const Panel&) = delete;
    Face face() const { return face_; }

    MPUSBOpenFn open = nullptr;
    MPUSBCloseFn close = nullptr;
    MPUSBReadFn read = nullptr;
    MPUSBWriteFn write = nullptr;
    MPUSBGetDeviceCountFn count = nullptr;

private:
    Face face_;
    PanelSimProcess sim_;
    pid_t facePid_ = 0;
    void* lib_ = nullptr;
};

// Made on first use, gone before the application object goes.
std::optional<Panel>& panelSlot() {
    static std::optional<Panel> p;
    return p;
}

// One panelsim at a time, so a face never runs beside the plain one's figures.
Panel& panel(const benchmark::State& state) {
    const auto face = static_cast<Face>(state.range(0));
    if (!panelSlot() || panelSlot()->face() != face) {
        panelSlot().reset();
        panelSlot().emplace(face);
    }
    return *panelSlot();
}

// One exchange on open pipes: the clock read's write and read.
void BM_Exchange(benchmark::State& state) {
    Panel& p = panel(state);
    const std::uint32_t w = p.open(0, kId, kEndpoint, MPUSB_DIR_WRITE, 0);
    const std::uint32_t r = p.open(0, kId, kEndpoint, MPUSB_DIR_READ, 0);
    std::array<std::uint8_t, 64> out{0x43}, in{};
    std::uint32_t n = 0;
    for (auto _ : state) {
        if (!p.write(w, out.data(), 64, &n, 1000) || !p.read(r, in.data(), 64, &n, 1000)) {
            state.SkipWithError("exchange failed");
            break;
        }
        benchmark::DoNotOptimize(in);
    }
    p.close(r);
    p.close(w);
}
BENCHMARK(BM_Exchange)->DenseRange(0, 2)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);

// The whole clock read as the program runs it: open both, exchange, close both.
void BM_ClockReadOperation(benchmark::State& state) {
    Panel& p = panel(state);
    std::array<std::uint8_t, 64> out{0x43}, in{};
    std::uint32_t n = 0;
    for (auto _ : state) {
        const std::uint32_t w = p.open(0, kId, kEndpoint, MPUSB_DIR_WRITE, 0);
        const std::uint32_t r = p.open(0, kId, kEndpoint, MPUSB_DIR_READ, 0);
        const bool ok = p.write(w, out.data(), 64, &n, 1000) && p.read(r, in.data(), 64, &n, 1000);
        p.close(r);
        p.close(w);
        if (!ok) {
            state.SkipWithError("operation failed");
            break;
        }
    }
}
BENCHMARK(BM_ClockReadOperation)
    ->DenseRange(0, 2)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// A 199-character text send: open both, four chunks, close both.
void BM_Send199(benchmark::State& state) {
    Panel& p = panel(state);
    std::string text;
    for (int i = 0; i < 199; ++i) {
        text += static_cast<char>('A' + i % 26);
    }
    std::uint32_t n = 0;
    for (auto _ : state) {
        const std::uint32_t w = p.open(0, kId, kEndpoint, MPUSB_DIR_WRITE, 0);
        const std::uint32_t r = p.open(0, kId, kEndpoint, MPUSB_DIR_READ, 0);
        bool ok = true;
        for (std::size_t pos = 0; pos < text.size() && ok; pos += 62) {
            std::array<std::uint8_t, 64> out{0x58, static_cast<std::uint8_t>(pos)};
            const std::string part = text.substr(pos, 62);
            std::copy(part.begin(), part.end(), out.begin() + 2);
            ok = p.write(w, out.data(), 64, &n, 1000) != 0;
        }
        p.close(r);
        p.close(w);
        if (!ok) {
            state.SkipWithError("send failed");
            break;
        }
    }
}
BENCHMARK(BM_Send199)->DenseRange(0, 2)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
    // PanelSimProcess finds panelsim beside this program, in build/bin.
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    panelSlot().reset();
    benchmark::Shutdown();
    return 0;
}
