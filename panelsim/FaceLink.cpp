#include "FaceLink.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "ErrnoText.h"

extern char** environ;

namespace panelsim {

namespace {

constexpr int kFeedFd = 3;

// How long a face has to close once its feed ends, then once told to stop,
// then once killed: panelsim itself must be gone within 3 s of its own stop.
constexpr std::chrono::milliseconds kFeedEndGrace{1000};
constexpr std::chrono::milliseconds kTermGrace{500};
constexpr std::chrono::milliseconds kKillGrace{500};

// Waits up to limit for child to end; true once it is reaped (or not ours).
bool reaped(pid_t child, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const pid_t rc = ::waitpid(child, nullptr, WNOHANG);
        if (rc == child || (rc < 0 && errno != EINTR)) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace

FaceLink::FaceLink(const PanelFirmware& firmware, UniqueFd fd, pid_t child)
    : firmware_(firmware), fd_(std::move(fd)), child_(child) {
    const int flags = ::fcntl(fd_.get(), F_GETFL);
    ::fcntl(fd_.get(), F_SETFL, flags | O_NONBLOCK);
}

FaceLink::~FaceLink() {
    // The end of the feed tells the face to close; one that does not is told
    // to stop, then killed. A stopped face (SIGSTOP) sees neither the end nor
    // SIGTERM until it runs again, hence the SIGCONTs. Never an endless wait:
    // a face stuck beyond SIGKILL is left to init.
    fd_.reset();
    if (child_ <= 0) {
        return;
    }
    ::kill(child_, SIGCONT);
    if (reaped(child_, kFeedEndGrace)) {
        return;
    }
    ::kill(child_, SIGTERM);
    ::kill(child_, SIGCONT);
    if (reaped(child_, kTermGrace)) {
        return;
    }
    ::kill(child_, SIGKILL);
    reaped(child_, kKillGrace);
}

std::unique_ptr<FaceLink> FaceLink::start(const PanelFirmware& firmware, const std::string& path,
                                          const std::vector<std::string>& extra,
                                          std::string& error) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        error = "impossible de créer le tube vers la face : " + errnoText(errno);
        return nullptr;
    }
    UniqueFd readEnd(ends[0]);
    UniqueFd writeEnd(ends[1]);
    // Moved above the feed's number, so that dup2 always makes a fresh,
    // inherited copy there.
    UniqueFd high(::fcntl(readEnd.get(), F_DUPFD_CLOEXEC, kFeedFd + 1));
    if (high.get() < 0) {
        error = "impossible de créer le tube vers la face : " + errnoText(errno);
        return nullptr;
    }
    readEnd.reset();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, high.get(), kFeedFd);
    std::vector<std::string> args{path, "--feed", std::to_string(kFeedFd)};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    // The server blocks its stop signals to read them from a descriptor; the
    // face must get them as any program does.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGHUP);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t child = 0;
    const int rc = ::posix_spawn(&child, path.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        error = "impossible de lancer " + path + " : " + errnoText(rc);
        return nullptr;
    }
    return std::make_unique<FaceLink>(firmware, std::move(writeEnd), child);
}

void FaceLink::seen(const ServerView& view) {
    if (gone_) {
        return;
    }
    FaceView now{firmware_.state(), view.clients, holder(view.holderPid)};
    if (shown_ == now) {
        due_.reset();
        return;
    }
    if (shown_ && shown_->state == now.state) {
        const auto at = Clock::now();
        if (!due_) {
            due_ = at + kStatusPause;
        }
        if (at < *due_) {
            return;
        }
    }
    due_.reset();
    queue(std::move(now));
}

std::optional<Peer> FaceLink::holder(std::optional<long> pid) {
    if (!pid) {
        return std::nullopt;
    }
    if (*pid != named_.pid) {
        char comm[64] = {};
        ssize_t n = 0;
        const std::string path = "/proc/" + std::to_string(*pid) + "/comm";
        if (const UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC)); file.get() >= 0) {
            n = std::max<ssize_t>(::read(file.get(), comm, sizeof comm - 1), 0);
        }
        std::string_view name(comm, static_cast<std::size_t>(n));
        if (name.ends_with('\n')) {
            name.remove_suffix(1);
        }
        named_ = Peer{*pid, peerName(name)};
    }
    return named_;
}

void FaceLink::queue(FaceView view) {
    shown_ = view;
    if (!pending_.empty()) {
        if (next_) {
            ++replaced_;
        }
        next_ = std::move(view);
        return;
    }
    pending_ = encodeFaceView(view);
    flush();
}

int FaceLink::pollFd() const {
    return gone_ ? -1 : fd_.get();
}

short FaceLink::pollEvents() const {
    return pending_.empty() ? 0 : POLLOUT;
}

void FaceLink::ready(short revents) {
    if (revents & (POLLERR | POLLHUP | POLLNVAL)) {
        lose();
        return;
    }
    if (revents & POLLOUT) {
        flush();
    }
}

void FaceLink::flush() {
    while (!pending_.empty()) {
        const ssize_t n = ::write(fd_.get(), pending_.data(), pending_.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return;  // the face is busy: the rest goes when it reads
        }
        if (n <= 0) {
            lose();
            return;
        }
        written_ += static_cast<std::size_t>(n);
        pending_.erase(0, static_cast<std::size_t>(n));
        if (pending_.empty() && next_) {
            pending_ = encodeFaceView(*next_);
            next_.reset();
        }
    }
}

void FaceLink::lose() {
    std::fprintf(stderr, "panelsim: la face s'est fermée ; le panneau continue de servir\n");
    gone_ = true;
    due_.reset();
    pending_.clear();
    next_.reset();
    fd_.reset();
    if (child_ > 0 && ::waitpid(child_, nullptr, WNOHANG) == child_) {
        child_ = 0;
    }
}

std::optional<std::string> findFaceProgram(const std::string& programDir) {
    for (const std::string& candidate :
         {programDir + "/panelsim-face", programDir + "/../libexec/lumiboard/panelsim-face"}) {
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return std::nullopt;
}

}  // namespace panelsim
