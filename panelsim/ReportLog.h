// The --log file: one line per report or dropped frame, appended as it happens.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>

namespace panelsim {

class ReportLog {
public:
    // An empty path logs nothing.
    explicit ReportLog(const std::string& path);
    bool failed() const { return enabled_ && !out_; }

    // "<local time> OUT|IN <64 bytes in hex>"
    void report(std::string_view direction, const std::uint8_t* bytes, std::size_t size);
    // "<local time> DROP <what>"
    void dropped(std::string_view what);

private:
    void line(std::string_view text);

    bool enabled_ = false;
    std::ofstream out_;
};

}  // namespace panelsim
