// Whole-process timings of lumictl against panelsim through the real library:
// `lumictl read`, `lumictl send` of 199 characters with and without --verify,
// and `lumictl preview --at 100`, from spawn to exit.
//   build/bench/lumictl_time [runs]     (LUMI_BIN_DIR defaults to build/bin)
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include <QCoreApplication>

#include "PanelSimProcess.h"

extern char** environ;

namespace {

// Milliseconds from spawn to exit of one run; negative when it failed.
double timeRun(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) != pid) {
        return -1;
    }
    const auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return -1;
    }
    return std::chrono::duration<double, std::milli>(end - start).count();
}

bool report(const char* name, std::vector<double> ms) {
    if (std::any_of(ms.begin(), ms.end(), [](double t) { return t < 0; })) {
        std::fprintf(stderr, "%s: a run failed\n", name);
        return false;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-22s median %6.2f ms   min %6.2f   max %6.2f   (%zu runs)\n", name,
                ms[ms.size() / 2], ms.front(), ms.back(), ms.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
    PanelSimProcess panel;
    if (!panel.ready()) {
        std::fprintf(stderr, "panelsim: %s\n", qPrintable(panel.errorText()));
        return 1;
    }
    const std::string lumictl = QDir(PanelSimProcess::binDir()).filePath("lumictl").toStdString();
    const std::string socket = panel.socketPath().toStdString();
    std::string text;
    for (int i = 0; i < 199; ++i) {
        text += static_cast<char>('a' + i % 26);
    }

    // The machine's own cost of a process, and of loading lumictl without a panel call.
    std::vector<double> empty, version, send, verified, read, preview;
    for (int i = 0; i < runs; ++i) {
        empty.push_back(timeRun({"/bin/true"}));
        version.push_back(timeRun({lumictl, "--version"}));
        send.push_back(timeRun({lumictl, "--virtual", socket, "send", text}));
        verified.push_back(timeRun({lumictl, "--virtual", socket, "send", "--verify", text}));
        read.push_back(timeRun({lumictl, "--virtual", socket, "read"}));
        preview.push_back(timeRun({lumictl, "preview", "--at", "100", "#IBonjour #H"}));
    }
    const bool ok = report("/bin/true", empty) & report("lumictl --version", version) &
                    report("lumictl send (199)", send) & report("send --verify (199)", verified) &
                    report("lumictl read", read) & report("preview --at 100", preview);
    return ok ? 0 : 1;
}
