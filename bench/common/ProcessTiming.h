#pragma once

// Whole-process timing shared by the command-line benchmarks: one run from
// spawn to exit, its output thrown away, and the summary line of many.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

extern char** environ;

// Milliseconds from spawn to exit of one run; negative when it failed.
inline double timeRun(std::vector<std::string> args) {
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

inline bool report(const char* name, std::vector<double> ms) {
    if (std::any_of(ms.begin(), ms.end(), [](double t) { return t < 0; })) {
        std::fprintf(stderr, "%s: a run failed\n", name);
        return false;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-36s median %7.2f ms   min %7.2f   max %7.2f   (%zu runs)\n", name,
                ms[ms.size() / 2], ms.front(), ms.back(), ms.size());
    return true;
}
