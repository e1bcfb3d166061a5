// The channel from the server to its LED face, a program of its own: views
// written to a pipe without ever waiting. While the face is slow to read, the
// newest view replaces the ones it has not started to take; a message already
// begun is finished first, so the face never reads a torn one. A change of the
// panel's memory goes at once; who is connected goes at most once a tick, so
// programs opening and closing the panel do not wake the face each time.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "FaceFeed.h"
#include "PanelFirmware.h"
#include "PanelServer.h"

namespace panelsim {

class FaceLink final : public ServerWatcher {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kStatusPause{50};

    // Writes to fd (made non-blocking here), which the link owns. child: the
    // face's process, ended when the link goes (in at most 2 s); 0 for none.
    FaceLink(const PanelFirmware& firmware, UniqueFd fd, pid_t child);
    ~FaceLink() override;
    FaceLink(const FaceLink&) = delete;
    FaceLink& operator=(const FaceLink&) = delete;

    // Starts the face program at path, reading from a pipe on its descriptor 3,
    // with arguments "--feed 3" and extra; nullptr and error set when it cannot.
    static std::unique_ptr<FaceLink> start(const PanelFirmware& firmware, const std::string& path,
                                           const std::vector<std::string>& extra,
                                           std::string& error);

    void seen(const ServerView& view) override;
    int pollFd() const override;
    short pollEvents() const override;
    void ready(short revents) override;
    std::optional<Clock::time_point> dueAt() const override { return due_; }

    // The face stopped reading for good (closed its window, or died).
    bool gone() const { return gone_; }
    // Bytes written so far and views that replaced one not yet sent.
    std::size_t bytesWritten() const { return written_; }
    std::size_t viewsReplaced() const { return replaced_; }

private:
    void queue(FaceView view);
    // The holder as the face names it; its name is read once per process.
    std::optional<Peer> holder(std::optional<long> pid);
    void flush();
    void lose();

    const PanelFirmware& firmware_;
    UniqueFd fd_;
    pid_t child_;
    std::optional<FaceView> shown_;         // the last view queued or sent
    std::string pending_;                   // what is left of the message being written
    std::optional<FaceView> next_;          // waits for pending_ to go out
    std::optional<Clock::time_point> due_;  // a change of who is connected waits till then
    Peer named_{0, "?"};                    // the last process named
    bool gone_ = false;
    std::size_t written_ = 0;
    std::size_t replaced_ = 0;
};

// Where the face program is: beside this one (a build tree), else in the
// package's private folder next to bin/.
std::optional<std::string> findFaceProgram(const std::string& programDir);

}  // namespace panelsim
