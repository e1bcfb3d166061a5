// What panelsim tells its LED face: the panel's memory, clock and alarm, how
// many programs are connected and which one holds the panel. One message is
// the state file's text form, then "clients N", "holder PID NAME" (or
// "holder -"), then an empty line. Pure: no I/O.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "PanelState.h"

namespace panelsim {

// A program connected to the panel, as the face names it.
struct Peer {
    long pid = 0;
    std::string name;  // printable ASCII without blanks; "?" when unknown
    bool operator==(const Peer&) const = default;
};

struct FaceView {
    PanelState state;
    std::size_t clients = 0;
    std::optional<Peer> holder;
    bool operator==(const FaceView&) const = default;
};

std::string encodeFaceView(const FaceView& view);

// A program's name as a message can carry it: blanks, controls and bytes
// beyond ASCII become "?", at most 32 characters, "?" for none.
std::string peerName(std::string_view raw);

// Cuts a byte stream into views. A message that cannot be read is skipped
// whole, and so is one longer than any panelsim writes.
class FaceFeedReader {
public:
    static constexpr std::size_t kMaxMessage = 2048;

    void feed(const char* data, std::size_t size);
    // The next complete view, in order; nullopt when none is complete.
    std::optional<FaceView> next();
    // Messages skipped as unreadable so far.
    std::size_t skipped() const { return skipped_; }

private:
    std::string buffer_;
    std::size_t skipped_ = 0;
    bool discarding_ = false;  // inside an overlong message, up to its end
};

// One whole message, its empty line included.
std::optional<FaceView> decodeFaceView(std::string_view message);

}  // namespace panelsim
