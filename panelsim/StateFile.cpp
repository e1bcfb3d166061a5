#include "StateFile.h"

#include "ErrnoText.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "VirtualWire.h"

namespace panelsim {

using mpusbwire::UniqueFd;

namespace {

// Far beyond any file panelsim writes: a bigger one is not ours.
constexpr std::size_t kMaxStateFile = 4096;

// The temporary files are named <state file><kTempMarker><6 random characters>.
constexpr std::string_view kTempMarker = ".tmp-";
constexpr std::size_t kTempRandom = 6;

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Reads at most limit + 1 bytes; nullopt, with errno set, on a read error.
std::optional<std::string> readUpTo(int fd, std::size_t limit) {
    std::string data(limit + 1, '\0');
    std::size_t got = 0;
    while (got < data.size()) {
        const ssize_t n = ::read(fd, data.data() + got, data.size() - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    data.resize(got);
    return data;
}

bool syncFolder(const std::string& folder) {
    const UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0) {
        return false;
    }
    // Some file systems cannot sync a folder; the rename is as safe as they allow.
    return ::fsync(dir.get()) == 0 || errno == EINVAL;
}

}  // namespace

LoadedState loadState(const std::string& path) {
    LoadedState loaded;
    const std::string name = "fichier d'état " + path;
    // Non-blocking, so that a FIFO cannot hang the start; refused just below.
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) {
        if (errno == ENOENT) {
            loaded.state = newPanelState();
            loaded.note = "pas encore de " + name + " : nouveau panneau";
        } else {
            loaded.note = "lecture impossible du " + name + " : " + errnoText(errno) +
                          " ; panelsim ne démarre pas, pour ne pas le remplacer";
        }
        return loaded;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        loaded.note = name + " : ce n'est pas un fichier ordinaire ; panelsim ne démarre pas";
        return loaded;
    }
    const auto data = readUpTo(fd.get(), kMaxStateFile);
    if (!data) {
        loaded.note = "lecture impossible du " + name + " : " + errnoText(errno) +
                      " ; panelsim ne démarre pas";
        return loaded;
    }
    if (data->size() <= kMaxStateFile) {
        if (auto state = importState(*data)) {
            loaded.state = *state;
            return loaded;
        }
    }
    const std::string aside = path + ".bad";
    // Never over an earlier damaged file: that one is kept too.
    if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) != 0) {
        loaded.note = name + " abîmé, impossible à mettre de côté en " + aside + " : " +
                      errnoText(errno) + " ; panelsim ne démarre pas";
        return loaded;
    }
    loaded.state = newPanelState();
    loaded.note = name + " abîmé : mis de côté en " + aside + ", nouveau panneau";
    return loaded;
}

bool saveState(const std::string& path, const PanelState& state) {
    std::string temp = path + std::string(kTempMarker) + std::string(kTempRandom, 'X');
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    UniqueFd fd(::mkostemp(name.data(), O_CLOEXEC));
    if (fd.get() < 0) {
        return false;
    }
    const auto fail = [&] {
        const int saved = errno;
        ::unlink(name.data());
        errno = saved;
        return false;
    };
    const std::string data = exportState(state);
    std::size_t written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(fd.get(), data.data() + written, data.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return fail();
        }
        written += static_cast<std::size_t>(n);
    }
    if (::fsync(fd.get()) != 0 || ::close(fd.release()) != 0 ||
        std::rename(name.data(), path.c_str()) != 0) {
        return fail();
    }
    return syncFolder(folderOf(path));
}

int removeStaleTemporaries(const std::string& path) {
    const std::string folder = folderOf(path);
    const std::string prefix = nameOf(path) + std::string(kTempMarker);
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return 0;
    }
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view entryName(entry->d_name);
        if (entryName.size() != prefix.size() + kTempRandom || !entryName.starts_with(prefix) ||
            !std::all_of(entryName.begin() + static_cast<std::ptrdiff_t>(prefix.size()),
                         entryName.end(),
                         [](char c) { return std::isalnum(static_cast<unsigned char>(c)); })) {
            continue;
        }
        struct stat st {};
        // Only regular files of our own: never another user's, never a link's target.
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
            ::unlinkat(::dirfd(dir), entry->d_name, 0) == 0) {
            ++removed;
        }
    }
    ::closedir(dir);
    return removed;
}

}  // namespace panelsim
