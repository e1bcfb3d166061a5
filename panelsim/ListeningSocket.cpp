#include "ListeningSocket.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>

#include "ErrnoText.h"

namespace panelsim {

namespace {

// True when some process accepts connections on the socket at path.
bool someoneListens(const sockaddr_un& address) {
    const UniqueFd probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (probe.get() < 0) {
        return false;
    }
    const int rc =
        ::connect(probe.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    // A full backlog (EAGAIN) still means a live server.
    return rc == 0 || errno == EAGAIN;
}

}  // namespace

std::optional<ListeningSocket> ListeningSocket::open(const std::string& path, std::string& error) {
    sockaddr_un address;
    if (!mpusbwire::fillAddress(path, address)) {
        error = "chemin de socket vide ou trop long : " + path;
        return std::nullopt;
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            error = path + " existe et n'est pas un socket ; panelsim n'y touche pas";
            return std::nullopt;
        }
        if (someoneListens(address)) {
            error = "un autre panelsim sert déjà sur " + path;
            return std::nullopt;
        }
        // Left behind by a panelsim that died: take its place.
        ::unlink(path.c_str());
    }
    // Non-blocking: every waiting connection is taken until none is left.
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (fd.get() < 0) {
        error = "impossible de créer un socket : " + errnoText(errno);
        return std::nullopt;
    }
    // Bound and listening under a temporary name first, then renamed: whoever
    // sees the socket at path can connect at once.
    std::string temp = path + "." + std::to_string(::getpid());
    sockaddr_un tempAddress;
    if (!mpusbwire::fillAddress(temp, tempAddress)) {
        temp = path;
        tempAddress = address;
    }
    // The socket is born 0600: nobody else may talk to the panel, not even briefly.
    const mode_t oldMask = ::umask(0177);
    const int bound =
        ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&tempAddress), sizeof tempAddress);
    const int bindErrno = errno;
    ::umask(oldMask);
    if (bound != 0) {
        error = "impossible de lier le socket à " + temp + " : " + errnoText(bindErrno);
        return std::nullopt;
    }
    // The file's identity, so that at exit only this socket is removed; a
    // rename keeps it.
    struct stat identity {};
    if (::chmod(temp.c_str(), 0600) != 0 || ::lstat(temp.c_str(), &identity) != 0 ||
        ::listen(fd.get(), kBacklog) != 0 ||
        (temp != path && ::rename(temp.c_str(), path.c_str()) != 0)) {
        error = "impossible d'écouter sur " + path + " : " + errnoText(errno);
        ::unlink(temp.c_str());
        return std::nullopt;
    }
    return ListeningSocket(std::move(fd), path, identity.st_dev, identity.st_ino);
}

ListeningSocket::ListeningSocket(ListeningSocket&& other) noexcept
    : fd_(std::move(other.fd_)),
      path_(std::move(other.path_)),
      device_(other.device_),
      inode_(other.inode_) {
    other.path_.clear();
}

ListeningSocket::~ListeningSocket() {
    close();
}

void ListeningSocket::close() {
    if (fd_.get() < 0) {
        return;
    }
    // Another panelsim may serve at the path by now (ours was removed or moved
    // away): its socket is not ours to remove.
    struct stat st {};
    if (!path_.empty() && ::lstat(path_.c_str(), &st) == 0 && S_ISSOCK(st.st_mode) &&
        st.st_dev == device_ && st.st_ino == inode_) {
        ::unlink(path_.c_str());
    }
    fd_.reset();
}

}  // namespace panelsim
