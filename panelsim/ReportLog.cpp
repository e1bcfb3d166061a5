#include "ReportLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace panelsim {

ReportLog::ReportLog(const std::string& path) : enabled_(!path.empty()) {
    if (!enabled_) {
        return;
    }
    // Non-blocking only for the open, so that a FIFO without a reader fails
    // instead of hanging the start.
    fd_ = ::open(path.c_str(),
                 O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK,
                 0600);
    if (fd_ < 0) {
        error_ = std::strerror(errno);
        return;
    }
    ::fcntl(fd_, F_SETFL, O_APPEND);
}

ReportLog::~ReportLog() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void ReportLog::report(std::string_view direction, const std::uint8_t* bytes, std::size_t size) {
    static constexpr char hex[] = "0123456789abcdef";
    std::string text(direction);
    for (std::size_t i = 0; i < size; ++i) {
        text += ' ';
        text += hex[bytes[i] >> 4];
        text += hex[bytes[i] & 0xF];
    }
    line(text);
}

void ReportLog::dropped(std::string_view what) {
    line("DROP " + std::string(what));
}

void ReportLog::line(std::string_view text) {
    if (fd_ < 0) {
        return;
    }
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
    std::tm tm{};
    localtime_r(&t, &tm);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &tm);
    char millis[8];
    std::snprintf(millis, sizeof millis, ".%03d", static_cast<int>(ms.count()));
    std::string all = std::string(stamp) + millis + ' ' + std::string(text) + '\n';
    // One write per line: O_APPEND keeps lines whole even with other writers.
    std::string_view rest = all;
    while (!rest.empty()) {
        const ssize_t n = ::write(fd_, rest.data(), rest.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;  // a full disk loses log lines, never the panel's service
        }
        rest.remove_prefix(static_cast<std::size_t>(n));
    }
}

}  // namespace panelsim
