#include "StateFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace panelsim {

namespace {

// Far beyond any file panelsim writes: a bigger one is not ours.
constexpr std::streamsize kMaxStateFile = 4096;

}  // namespace

LoadedState loadState(const std::string& path) {
    LoadedState loaded;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (errno != ENOENT) {
            loaded.problem = std::strerror(errno);
        }
        return loaded;
    }
    std::string data(static_cast<std::size_t>(kMaxStateFile + 1), '\0');
    in.read(data.data(), kMaxStateFile + 1);
    data.resize(static_cast<std::size_t>(in.gcount()));
    if (in.bad()) {
        loaded.problem = "cannot be read";
        return loaded;
    }
    loaded.state = importState(data);
    if (!loaded.state) {
        loaded.problem = "is not a panelsim state file or is damaged";
    }
    return loaded;
}

bool saveState(const std::string& path, const PanelState& state) {
    std::string temp = path + ".XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        return false;
    }
    const std::string data = exportState(state);
    std::size_t written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(fd, data.data() + written, data.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const int saved = errno;
            ::close(fd);
            ::unlink(name.data());
            errno = saved;
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0 || std::rename(name.data(), path.c_str()) != 0) {
        const int saved = errno;
        ::unlink(name.data());
        errno = saved;
        return false;
    }
    return true;
}

}  // namespace panelsim
