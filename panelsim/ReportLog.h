// The --log file: one line per report or dropped frame, appended as it happens.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace panelsim {

class ReportLog {
public:
    // An empty path logs nothing. The file holds every text sent, so it is
    // created private (0600), and a symbolic link at path is refused.
    explicit ReportLog(const std::string& path);
    ~ReportLog();
    ReportLog(const ReportLog&) = delete;
    ReportLog& operator=(const ReportLog&) = delete;

    bool failed() const { return enabled_ && fd_ < 0; }
    // Why the log could not be opened.
    const std::string& error() const { return error_; }

    // "<local time> OUT|IN <64 bytes in hex>"
    void report(std::string_view direction, const std::uint8_t* bytes, std::size_t size);
    // "<local time> DROP <what>"
    void dropped(std::string_view what);

private:
    void line(std::string_view text);

    bool enabled_ = false;
    int fd_ = -1;
    std::string error_;
};

}  // namespace panelsim
