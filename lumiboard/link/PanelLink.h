#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "LinkOutcome.h"
#include "UsbApi.h"

// One 64-byte report, as it travels on the panel's endpoint.
inline constexpr std::size_t kReportSize = 64;
using Report = std::array<std::uint8_t, kReportSize>;

// Time-outs of the library calls, in milliseconds.
inline constexpr std::uint32_t kWriteTimeoutMs = 1000;
inline constexpr std::uint32_t kReadTextTimeoutMs = 6000;
inline constexpr std::uint32_t kClockTimeoutMs = 5000;

// The panel link's state: the pipe handles of the running exchange and the two
// report buffers. One object for the whole program, owned by the session once
// the library is bound. The buffers outlive the exchanges on purpose: bytes
// a request does not write keep what the previous request left there.
class PanelLink {
public:
    // instance: which of the attached panels the exchanges open (0 = the first).
    explicit PanelLink(const UsbApi& api, std::uint32_t instance = 0);
    PanelLink(const PanelLink&) = delete;
    PanelLink& operator=(const PanelLink&) = delete;

    // True when the library counts at least one panel (the count taken as signed),
    // or more than instance panels when another than the first is chosen.
    bool panelPresent();

    // errno as the library left it right after the last failed call (presence
    // test, write or read), before closing the pipes could change it; 0 when
    // the library gave no reason. A write or read that fails after an open
    // failed carries the open's reason (the transfer only met its bad
    // handle). Each exchange starts from 0.
    int lastError() const { return lastError_; }

    Report& outReport() { return outReport_; }
    const Report& outReport() const { return outReport_; }
    const Report& inReport() const { return inReport_; }

    // One exchange's pair of pipes: opened write then read on construction,
    // closed read then write by close() or at the latest on destruction, so no
    // path leaves a pipe open. Open results are not tested: a failed open
    // shows as a failed write or read.
    class Pipes {
    public:
        explicit Pipes(PanelLink& link);
        ~Pipes();
        Pipes(const Pipes&) = delete;
        Pipes& operator=(const Pipes&) = delete;

        // Writes outReport (1000 ms); false when the library reports failure.
        bool write();
        // Reads into inReport; false when the library reports failure.
        bool read(std::uint32_t timeoutMs);
        // Closes the read pipe, then the write pipe; later calls do nothing.
        void close();
        // One request and its reply: writes outReport, reads into inReport,
        // and with ackRequired takes only the acknowledgement as an answer.
        std::optional<LinkFailure> request(std::uint32_t timeoutMs, bool ackRequired);
        // The failure of a transfer at step, with the library's reason; a
        // transfer that met a pipe that could not be opened failed at the open.
        LinkFailure failure(LinkFailure::Step step) const;

    private:
        // Keeps the reason of a failed open for the transfer that fails on it.
        bool transferred(bool ok);

        PanelLink& link_;
        bool open_ = true;
        int openError_ = 0;  // errno of the first open that failed; 0: none
    };

private:
    // Runs one library call with errno cleared first, keeping errno on failure.
    template <typename Call>
    bool keepingError(Call call);

    UsbApi api_;
    std::uint32_t instance_ = 0;
    int lastError_ = 0;
    std::uint32_t writePipe_ = 0;
    std::uint32_t readPipe_ = 0;
    Report outReport_{};
    Report inReport_{};
    // Filled by the library, never examined: a short transfer the library
    // calls a success is one.
    std::uint32_t writeCount_ = 0;
    std::uint32_t readCount_ = 0;
};
