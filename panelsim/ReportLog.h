// The --log file: one line per report or dropped frame, appended as it happens.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "VirtualWire.h"

namespace panelsim {

class ReportLog {
public:
    // An empty path logs nothing. The file holds every text sent: it is made
    // new and private (0600), or, when it exists, taken only if it is a
    // regular file of our own user that nobody else may write. A symbolic
    // link, a FIFO, a device or someone else's file is refused (failed()).
    explicit ReportLog(const std::string& path);
    // Logs to a descriptor already open for writing, non-blocking.
    explicit ReportLog(mpusbwire::UniqueFd fd);
    ReportLog(const ReportLog&) = delete;
    ReportLog& operator=(const ReportLog&) = delete;

    bool failed() const { return enabled_ && fd_.get() < 0; }
    // Why the log could not be taken.
    const std::string& error() const { return error_; }
    // What was changed on a log that existed (its mode narrowed), else empty.
    const std::string& note() const { return note_; }
    // Lines lost: the file could not take them at once, and the panel's
    // service never waits on its log.
    std::uint64_t droppedLines() const { return droppedLines_; }

    // "<local time> OUT|IN <64 bytes in hex>"
    void report(std::string_view direction, const std::uint8_t* bytes, std::size_t size);
    // "<local time> DROP <what>"
    void dropped(std::string_view what);

private:
    void line(std::string_view text);

    bool enabled_ = false;
    mpusbwire::UniqueFd fd_;
    std::string error_;
    std::string note_;
    std::uint64_t droppedLines_ = 0;
};

}  // namespace panelsim
