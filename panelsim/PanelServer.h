// Serves a Panel on a Unix stream socket, one client at a time (the protocol
// is in mpusbapi/wire/VirtualWire.h). Plain POSIX: poll on the listening socket,
// the client and a signal descriptor.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "Panel.h"
#include "ReportLog.h"
#include "VirtualWire.h"

namespace panelsim {

using mpusbwire::UniqueFd;

// A listening socket at a path, removed again when it goes.
class ListeningSocket {
public:
    // Binds path with mode 0600. A stale socket left by a dead panelsim is
    // replaced; a live one, or any other file, is refused (nullopt, error set).
    static std::optional<ListeningSocket> open(const std::string& path, std::string& error);
    ~ListeningSocket();
    ListeningSocket(ListeningSocket&& other) noexcept;
    ListeningSocket& operator=(ListeningSocket&&) = delete;
    ListeningSocket(const ListeningSocket&) = delete;
    int fd() const { return fd_.get(); }

private:
    ListeningSocket(UniqueFd fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}
    UniqueFd fd_;
    std::string path_;
};

class PanelServer {
public:
    // onStateChanged runs after each report that changed the panel's memory.
    PanelServer(ListeningSocket& socket, Panel& panel, ReportLog& log,
                std::function<void()> onStateChanged);

    // Serves until stopFd (a signalfd) becomes readable. Returns 0, or 1 on a
    // failure of the listening socket itself.
    int run(int stopFd);

private:
    void accept();
    void closeClient();
    void receive();
    void handle(const mpusbwire::Frame& frame);
    bool send(std::uint8_t type, const std::uint8_t* payload, std::size_t size);

    ListeningSocket& socket_;
    Panel& panel_;
    ReportLog& log_;
    std::function<void()> onStateChanged_;
    UniqueFd client_;
    mpusbwire::FrameReader reader_;
};

}  // namespace panelsim
