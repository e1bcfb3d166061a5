#pragma once

// Work done in a child process, for tests that change what a process may do
// (its user, its limits) or that a fault could kill.

#include <QByteArray>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

inline constexpr uid_t kNobody = 65534;

// Runs `work` in a child process and returns what it printed.
inline QByteArray inChild(const std::function<QByteArray()>& work) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return "<no pipe>";
    }
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        const QByteArray out = work();
        const ssize_t written = write(pipeEnds[1], out.constData(), size_t(out.size()));
        _exit(written == out.size() ? 0 : 1);
    }
    close(pipeEnds[1]);
    QByteArray out;
    char buffer[512];
    ssize_t got = 0;
    while ((got = read(pipeEnds[0], buffer, sizeof buffer)) > 0) {
        out.append(buffer, got);
    }
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return out;
}

// Runs `work` as a user without privileges and returns what it printed: as root
// every permission check passes, so root hands the work to a child that drops to
// nobody; any other user runs it as is.
inline QByteArray asUnprivileged(const std::function<QByteArray()>& work) {
    if (geteuid() != 0) {
        return work();
    }
    return inChild([&work]() -> QByteArray {
        if (setgroups(0, nullptr) == 0 && setresgid(kNobody, kNobody, kNobody) == 0 &&
            setresuid(kNobody, kNobody, kNobody) == 0) {
            return work();
        }
        return "<could not drop privileges>";
    });
}
