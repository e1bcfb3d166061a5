// The panel's listening socket: a Unix stream socket at a path, bound 0600,
// removed again when it goes, unless another panelsim has taken the path
// since.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

#include "VirtualWire.h"

namespace panelsim {

using mpusbwire::UniqueFd;

class ListeningSocket {
public:
    // Connections waiting to be taken: as many as the server serves at once,
    // so a burst of them waits its turn rather than finding the panel absent.
    static constexpr int kBacklog = 16;

    // Binds path with mode 0600. A stale socket left by a dead panelsim is
    // replaced; a live one, or any other file, is refused (nullopt, error set).
    static std::optional<ListeningSocket> open(const std::string& path, std::string& error);
    ~ListeningSocket();
    ListeningSocket(ListeningSocket&& other) noexcept;
    ListeningSocket& operator=(ListeningSocket&&) = delete;
    ListeningSocket(const ListeningSocket&) = delete;
    int fd() const { return fd_.get(); }

    // Stops listening now: the socket file goes if it is still the one bound
    // here (same device and inode), and newcomers find no panel.
    void close();

private:
    ListeningSocket(UniqueFd fd, std::string path, dev_t device, ino_t inode)
        : fd_(std::move(fd)), path_(std::move(path)), device_(device), inode_(inode) {}
    UniqueFd fd_;
    std::string path_;
    dev_t device_;
    ino_t inode_;
};

}  // namespace panelsim
