#include "WholeFile.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include <QFile>
#include <QRandomGenerator>

#include "SystemErrors.h"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <QSaveFile>
#endif

namespace wholefile {

namespace {

Outcome failed(int error) {
    Outcome outcome;
    outcome.error = error != 0 ? error : EIO;
    return outcome;
}

Outcome refused(Refusal refusal) {
    Outcome outcome;
    outcome.refusal = refusal;
    outcome.error = EPERM;
    return outcome;
}

#ifdef Q_OS_UNIX

// A file-size limit (ulimit -f) would kill the process with SIGXFSZ; ignored
// while we write, the write fails with EFBIG and is reported like any other.
class FileSizeSignalIgnored {
public:
    FileSizeSignalIgnored() {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        saved_ = sigaction(SIGXFSZ, &ignore, &old_) == 0;
    }
    ~FileSizeSignalIgnored() {
        if (saved_) {
            sigaction(SIGXFSZ, &old_, nullptr);
        }
    }
    FileSizeSignalIgnored(const FileSizeSignalIgnored&) = delete;
    FileSizeSignalIgnored& operator=(const FileSizeSignalIgnored&) = delete;

private:
    struct sigaction old_ {};
    bool saved_ = false;
};

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    // Closes now: a close may report the write that failed (NFS, quotas).
    int close() {
        const int fd = fd_;
        fd_ = -1;
        return fd >= 0 ? ::close(fd) : 0;
    }

private:
    int fd_;
};

int writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (n == 0) {
            return EIO;
        }
        done += n;
    }
    return 0;
}

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool sharedStickyFolder(const std::string& folder) {
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && (st.st_mode & S_ISVTX) && (st.st_mode & S_IWOTH);
}

// Where the bytes go once a final link is judged: the link's real target, or
// the name itself; the refusal when the link is not to be followed.
struct Target {
    std::string path;
    std::optional<Refusal> refusal;
    int error = 0;
};

Target judgeLink(const std::string& path) {
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) {
        return {path, std::nullopt, 0};
    }
    if (sharedStickyFolder(folderOf(path))) {
        return {path, Refusal::LinkInSharedFolder, 0};
    }
    struct stat target {};
    const bool targetThere = ::stat(path.c_str(), &target) == 0;
    if (link.st_uid != ::geteuid() || (targetThere && target.st_uid != ::geteuid())) {
        return {path, Refusal::ForeignLink, 0};
    }
    // The link is kept: its target is the file replaced. A dangling link of
    // the user's own names the file to make.
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path named = path;
    if (!targetThere) {
        named = fs::path(folderOf(path)) / fs::read_symlink(path, error);
    }
    const fs::path real = error ? fs::path() : fs::weakly_canonical(named, error);
    if (error) {
        return {path, std::nullopt, error.value()};
    }
    if (real.string() != path && ::lstat(real.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        return {path, Refusal::ForeignLink, 0};  // still a link: a loop, or beyond our judging
    }
    return {real.string(), std::nullopt, 0};
}

Outcome writeStream(int fd, const QByteArray& bytes) {
    const FileSizeSignalIgnored quiet;
    if (const int error = writeAll(fd, bytes)) {
        return failed(error);
    }
    Outcome outcome;
    outcome.written = true;
    return outcome;
}

Outcome writeStreamTo(const std::string& path, const QByteArray& bytes) {
    Fd fd(::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) {
        return failed(errno);
    }
    Outcome outcome = writeStream(fd.get(), bytes);
    if (fd.close() != 0 && outcome.written) {
        return failed(errno);
    }
    return outcome;
}

// A new file beside path, made with the mode asked (the umask applies, as
// to any file the user makes).
int makeTemp(const std::string& path, mode_t mode, std::string& temp) {
    const auto slash = path.rfind('/');
    const std::string stem =
        (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + '.' +
        path.substr(slash == std::string::npos ? 0 : slash + 1) + '.';
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = stem + std::to_string(QRandomGenerator::system()->generate());
        const int fd =
            ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// existingMode: the file replaced keeps its mode; a new one takes the umask's.
Outcome replaceFile(const std::string& path, const QByteArray& bytes,
                    std::optional<mode_t> existingMode) {
    const FileSizeSignalIgnored quiet;
    const std::string folder = folderOf(path);
    std::string temp;
    Fd fd(makeTemp(path, existingMode.value_or(0666), temp));
    if (fd.get() < 0) {
        return failed(errno);
    }
    const auto fail = [&temp](int error) {
        ::unlink(temp.c_str());
        return failed(error);
    };
    if (existingMode && ::fchmod(fd.get(), *existingMode) != 0) {
        return fail(errno);
    }
    if (const int error = writeAll(fd.get(), bytes)) {
        return fail(error);
    }
    if (::fsync(fd.get()) != 0) {
        return fail(errno);
    }
    if (fd.close() != 0) {
        return fail(errno);
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        return fail(errno);
    }
    // The rename lasts only once the folder is on disk too; some file
    // systems cannot sync a folder, and the file is whole either way.
    Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) {
        ::fsync(dir.get());
    }
    Outcome outcome;
    outcome.written = true;
    return outcome;
}

#endif

}  // namespace

Outcome writeWhole(const QString& path, const QByteArray& bytes) {
#ifdef Q_OS_UNIX
    // The terminal or pipe the program writes to, by either name.
    if (path == QLatin1String("-") || path == QLatin1String("/dev/stdout")) {
        return writeStream(STDOUT_FILENO, bytes);
    }
    const Target target = judgeLink(QFile::encodeName(path).toStdString());
    if (target.refusal) {
        return refused(*target.refusal);
    }
    if (target.error != 0) {
        return failed(target.error);
    }
    struct stat st {};
    if (::stat(target.path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            return failed(EISDIR);
        }
        if (!S_ISREG(st.st_mode)) {
            return writeStreamTo(target.path, bytes);
        }
        if (::access(target.path.c_str(), W_OK) != 0) {
            return failed(errno);
        }
        return replaceFile(target.path, bytes, st.st_mode & 0777);
    }
    if (errno != ENOENT) {
        return failed(errno);
    }
    return replaceFile(target.path, bytes, std::nullopt);
#else
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        return failed(EIO);
    }
    Outcome outcome;
    outcome.written = true;
    return outcome;
#endif
}

QString failureReason(const Outcome& outcome) {
    switch (outcome.refusal) {
        case Refusal::ForeignLink:
            return QStringLiteral("lien symbolique vers un fichier d'un autre utilisateur, refusé");
        case Refusal::LinkInSharedFolder:
            return QStringLiteral("lien symbolique dans un dossier partagé, refusé");
        case Refusal::None:
            break;
    }
    return systemErrorReason(outcome.error);
}

}  // namespace wholefile
