#include "ReportLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "ErrnoText.h"

namespace panelsim {

namespace {

using mpusbwire::UniqueFd;

// Non-blocking for good: a write the file cannot take at once is dropped.
constexpr int kOpenFlags = O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

std::string octal(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

// The log at path, made new or an existing one that is safe to append to;
// an invalid descriptor with error set otherwise.
UniqueFd openLog(const std::string& path, std::string& error, std::string& note) {
    // Another process may create or remove the file between the steps: a
    // few tries, each from the start.
    for (int attempt = 0; attempt < 3; ++attempt) {
        UniqueFd fd(::open(path.c_str(), kOpenFlags | O_CREAT | O_EXCL, 0600));
        if (fd.get() >= 0) {
            return fd;
        }
        if (errno != EEXIST) {
            error = errnoText(errno);
            return {};
        }
        // Looked at before opening, so that a FIFO or a device is never opened.
        struct stat seen {};
        if (::lstat(path.c_str(), &seen) != 0) {
            if (errno == ENOENT) {
                continue;
            }
            error = errnoText(errno);
            return {};
        }
        if (S_ISLNK(seen.st_mode)) {
            error = "c'est un lien symbolique";
            return {};
        }
        if (!S_ISREG(seen.st_mode)) {
            error = "ce n'est pas un fichier ordinaire";
            return {};
        }
        fd.reset(::open(path.c_str(), kOpenFlags));
        struct stat st {};
        if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || st.st_dev != seen.st_dev ||
            st.st_ino != seen.st_ino) {
            if (fd.get() < 0 && errno != ENOENT && errno != ELOOP) {
                error = errnoText(errno);
                return {};
            }
            continue;  // replaced meanwhile
        }
        if (st.st_uid != ::geteuid()) {
            error = "il appartient à un autre utilisateur (uid " + std::to_string(st.st_uid) + ")";
            return {};
        }
        if (st.st_mode & (S_IWGRP | S_IWOTH)) {
            error = "d'autres peuvent y écrire (mode " + octal(st.st_mode) + ")";
            return {};
        }
        // Ours and written by us alone, but readable by others: the texts are not theirs.
        if (st.st_mode & (S_IRWXG | S_IRWXO)) {
            if (::fchmod(fd.get(), st.st_mode & S_IRWXU) != 0) {
                error = "impossible de le rendre privé : " + errnoText(errno);
                return {};
            }
            note = "le fichier de trace " + path + " était en mode " + octal(st.st_mode) +
                   " ; le voici en " + octal(st.st_mode & S_IRWXU) +
                   ", puisqu'il garde chaque texte envoyé";
        }
        return fd;
    }
    error = "il change sans cesse pendant son ouverture";
    return {};
}

}  // namespace

ReportLog::ReportLog(const std::string& path) : enabled_(!path.empty()) {
    if (enabled_) {
        fd_ = openLog(path, error_, note_);
    }
}

ReportLog::ReportLog(UniqueFd fd) : enabled_(true), fd_(std::move(fd)) {}

void ReportLog::report(std::string_view direction, const std::uint8_t* bytes, std::size_t size) {
    static constexpr char hex[] = "0123456789abcdef";
    std::string text(direction);
    for (std::size_t i = 0; i < size; ++i) {
        text += ' ';
        text += hex[bytes[i] >> 4];
        text += hex[bytes[i] & 0xF];
    }
    line(text);
}

void ReportLog::dropped(std::string_view what) {
    line("DROP " + std::string(what));
}

void ReportLog::line(std::string_view text) {
    if (fd_.get() < 0) {
        return;
    }
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
    std::tm tm{};
    localtime_r(&t, &tm);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &tm);
    char millis[8];
    std::snprintf(millis, sizeof millis, ".%03d", static_cast<int>(ms.count()));
    std::string all = std::string(stamp) + millis + ' ' + std::string(text) + '\n';
    // One write per line, never waiting: O_APPEND keeps lines whole even with
    // other writers, and a line that would block or fails (a full disk) is
    // lost rather than stall the panel. A cut line counts as lost.
    ssize_t n = 0;
    do {
        n = ::write(fd_.get(), all.data(), all.size());
    } while (n < 0 && errno == EINTR);
    if (n < 0 || static_cast<std::size_t>(n) != all.size()) {
        ++droppedLines_;
    }
}

}  // namespace panelsim
