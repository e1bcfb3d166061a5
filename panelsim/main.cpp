// panelsim: a virtual LED message panel on a Unix socket, for lumiboard and
// the tests to talk to through libmpusbapi (MPUSBAPI_VIRTUAL=<socket>).
#include <signal.h>
#include <stdlib.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "ErrnoText.h"
#include "FaceLink.h"
#include "Options.h"
#include "Panel.h"
#include "PanelFirmware.h"
#include "PanelServer.h"
#include "StateFile.h"

namespace {

constexpr char kSocketName[] = "panelsim.sock";

// A private 0700 folder under /tmp, removed with its socket at exit.
class PrivateDir {
public:
    PrivateDir() {
        char pattern[] = "/tmp/panelsim.XXXXXX";
        if (::mkdtemp(pattern) != nullptr) {
            path_ = pattern;
        }
    }
    ~PrivateDir() {
        if (!path_.empty()) {
            ::rmdir(path_.c_str());
        }
    }
    PrivateDir(const PrivateDir&) = delete;
    PrivateDir& operator=(const PrivateDir&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// The folder this program was started from, for the face beside it.
std::string runningProgramDir() {
    std::vector<char> path(4096);
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (n <= 0) {
        return ".";
    }
    std::string exe(path.data(), static_cast<std::size_t>(n));
    return exe.substr(0, exe.rfind('/'));
}

int serve(const panelsim::Options& options, const std::string& socketPath) {
    using namespace panelsim;
    PanelFirmware firmware;
    // A new panel comes with its own message; its clock is the host's.
    firmware.setState(newPanelState());
    if (!options.statePath.empty()) {
        if (const int removed = removeStaleTemporaries(options.statePath); removed > 0) {
            std::cerr << "panelsim: " << removed
                      << " fichier(s) temporaire(s) retiré(s), laissé(s) par un panelsim arrêté"
                         " en pleine écriture\n";
        }
        const LoadedState loaded = loadState(options.statePath);
        if (!loaded.note.empty()) {
            std::cerr << "panelsim: " << loaded.note << "\n";
        }
        if (!loaded.state) {
            return 1;
        }
        firmware.setState(*loaded.state);
    }
    ReportLog log(options.logPath);
    if (log.failed()) {
        std::cerr << "panelsim: impossible d'ouvrir le fichier de trace " << options.logPath
                  << " : " << log.error() << "\n";
        return 1;
    }
    if (!log.note().empty()) {
        std::cerr << "panelsim: " << log.note() << "\n";
    }

    // The signals arrive through a descriptor the server polls, so a stop
    // never lands in the middle of a report.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    // A closed terminal stops the panel as cleanly as Ctrl+C does.
    sigaddset(&stopSignals, SIGHUP);
    if (sigprocmask(SIG_BLOCK, &stopSignals, nullptr) != 0) {
        return 1;
    }
    const UniqueFd stopFd(::signalfd(-1, &stopSignals, SFD_CLOEXEC));
    if (stopFd.get() < 0) {
        std::cerr << "panelsim: impossible de surveiller les signaux : " << errnoText(errno)
                  << "\n";
        return 1;
    }
    ::signal(SIGPIPE, SIG_IGN);

    std::string error;
    auto socket = ListeningSocket::open(socketPath, error);
    if (!socket) {
        std::cerr << "panelsim: " << error << "\n";
        return 1;
    }
    Panel panel(firmware, options.faults);
    const auto saveStateFile = [&] {
        if (!options.statePath.empty() && !saveState(options.statePath, firmware.state())) {
            std::cerr << "panelsim: impossible d'écrire le fichier d'état " << options.statePath
                      << " : " << errnoText(errno) << "\n";
        }
    };
    PanelServer server(*socket, panel, log, saveStateFile);
    std::unique_ptr<FaceLink> face;
    if (options.show) {
        const std::string programDir = runningProgramDir();
        const auto program = findFaceProgram(programDir);
        if (!program) {
            std::cerr << "panelsim: --show : la face du panneau, panelsim-face, n'est pas "
                         "installée\n";
            return 1;
        }
        face = FaceLink::start(firmware, *program, {"--pictures-from", programDir}, error);
        if (!face) {
            std::cerr << "panelsim: " << error << "\n";
            return 1;
        }
        server.setWatcher(face.get());
    }
    std::cerr << "panelsim: en service sur " << socketPath << "\n";
    const int status = server.run(stopFd.get());
    // Gone at once for every program: newcomers find no panel and those
    // connected see it drop, however long the face then takes to close.
    socket->close();
    server.closeClients();
    server.setWatcher(nullptr);
    face.reset();
    if (const auto lost = log.droppedLines(); lost > 0) {
        std::cerr << "panelsim: " << lost << " ligne(s) de trace perdue(s) : le fichier de trace"
                  << " ne pouvait les prendre sans attendre\n";
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    const auto parsed = panelsim::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (const auto* error = std::get_if<std::string>(&parsed)) {
        std::cerr << "panelsim: " << *error << "\n" << panelsim::usage();
        return 2;
    }
    const auto& options = std::get<panelsim::Options>(parsed);
    if (options.help) {
        std::cout << panelsim::usage();
        return 0;
    }
    if (!options.socketPath.empty()) {
        return serve(options, options.socketPath);
    }
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && *runtime != '\0' && ::access(runtime, W_OK) == 0) {
        return serve(options, std::string(runtime) + "/" + kSocketName);
    }
    const PrivateDir dir;
    if (dir.path().empty()) {
        std::cerr << "panelsim: impossible de créer un dossier privé sous /tmp\n";
        return 1;
    }
    return serve(options, dir.path() + "/" + kSocketName);
}
