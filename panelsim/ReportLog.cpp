#include "ReportLog.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace panelsim {

ReportLog::ReportLog(const std::string& path) : enabled_(!path.empty()) {
    if (enabled_) {
        out_.open(path, std::ios::app);
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
    if (!enabled_ || !out_) {
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
    out_ << stamp << millis << ' ' << text << '\n';
    out_.flush();
}

}  // namespace panelsim
