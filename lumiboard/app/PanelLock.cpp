#include "PanelLock.h"

#include <cerrno>
#include <thread>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#include <QLockFile>

namespace {

#ifdef Q_OS_UNIX
QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

// A folder of the user's own that nobody else may write in; the problem
// otherwise.
std::optional<LockProblem> folderProblem(const QString& folder, unsigned uid) {
    struct stat st {};
    if (::stat(native(folder).constData(), &st) != 0) {
        return LockProblem{folder, LockProblem::Why::System, errno};
    }
    if (!S_ISDIR(st.st_mode)) {
        return LockProblem{folder, LockProblem::Why::System, ENOTDIR};
    }
    if (st.st_uid != uid) {
        return LockProblem{folder, LockProblem::Why::OthersFolder, 0};
    }
    if ((st.st_mode & 022) != 0) {
        return LockProblem{folder, LockProblem::Why::OpenFolder, 0};
    }
    if (::access(native(folder).constData(), W_OK | X_OK) != 0) {
        return LockProblem{folder, LockProblem::Why::System, errno};
    }
    return std::nullopt;
}

bool usable(const QString& folder, unsigned uid) {
    return !folder.isEmpty() && !folderProblem(folder, uid);
}

// Made if missing, private to the user.
QString madeFolder(const QString& folder) {
    QDir().mkpath(QFileInfo(folder).path());
    ::mkdir(native(folder).constData(), 0700);
    return folder;
}
#endif

}  // namespace

LockPlaces LockPlaces::ofThisProcess() {
    LockPlaces places;
    places.runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    places.tempDir = QDir::tempPath();
#ifdef Q_OS_UNIX
    places.uid = ::getuid();
    places.userRunDir = QStringLiteral("/run/user/%1").arg(places.uid);
    if (const passwd* user = ::getpwuid(places.uid); user != nullptr && user->pw_dir != nullptr) {
        places.homeDir = QFile::decodeName(user->pw_dir);
    }
#endif
    return places;
}

QString panelLockFolder(const LockPlaces& places) {
#ifdef Q_OS_UNIX
    for (const QString& folder : {places.runtimeDir, places.userRunDir}) {
        if (usable(folder, places.uid)) {
            return folder;
        }
    }
    if (!places.homeDir.isEmpty() && usable(places.homeDir, places.uid)) {
        const QString cache = madeFolder(places.homeDir + QStringLiteral("/.cache/lumiboard"));
        if (usable(cache, places.uid)) {
            return cache;
        }
    }
    // The last resort; when another user made it, the lock's failure names it.
    return madeFolder(
        QDir(places.tempDir).filePath(QStringLiteral("lumiboard-%1").arg(places.uid)));
#else
    return places.tempDir;  // the user's own on Windows
#endif
}

QString panelFileName(const QString& socket, std::uint32_t instance) {
    if (socket.isEmpty()) {
        return QStringLiteral("lumiboard-panel-usb-%1").arg(instance);
    }
    // One virtual panel per socket, however it is named: a link to it, or a
    // relative name, leads to the same files.
    const QFileInfo info(socket);
    QString real = info.canonicalFilePath();
    if (real.isEmpty()) {
        const QString where = QFileInfo(info.absolutePath()).canonicalFilePath();
        real = (where.isEmpty() ? info.absolutePath() : where) + u'/' + info.fileName();
    }
    return QStringLiteral("lumiboard-panel-virtual-") +
           QString::fromLatin1(
               QCryptographicHash::hash(real.toUtf8(), QCryptographicHash::Sha1).toHex().left(16));
}

QString panelLockPath(const QString& folder, const QString& socket, std::uint32_t instance) {
    return QDir(folder).filePath(panelFileName(socket, instance) + QStringLiteral(".lock"));
}

PanelLock::PanelLock(const QString& path) : path_(path) {}

PanelLock::~PanelLock() {
    release();
}

#ifdef Q_OS_UNIX
PanelLock::Result PanelLock::acquire(std::chrono::milliseconds wait) {
    if (held_) {
        return Result::Held;
    }
    problem_.reset();
    if (auto problem = folderProblem(QFileInfo(path_).path(), ::getuid())) {
        problem_ = std::move(problem);
        return Result::Unusable;
    }
    const QByteArray name = native(path_);
    constexpr int flags = O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    // Readable by all: a lock left by another user of the folder (a root run)
    // can still be opened to take turns on.
    fd_ = ::open(name.constData(), O_RDWR | O_CREAT | flags, 0644);
    if (fd_ < 0 && errno == EACCES) {
        fd_ = ::open(name.constData(), O_RDONLY | flags);
    }
    if (fd_ < 0) {
        const int error = errno;
        problem_ = error == ELOOP || error == EISDIR
                       ? LockProblem{path_, LockProblem::Why::NotAFile, 0}
                       : LockProblem{path_, LockProblem::Why::System, error};
        return Result::Unusable;
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        problem_ = LockProblem{path_, LockProblem::Why::NotAFile, 0};
        release();
        return Result::Unusable;
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            problem_ = LockProblem{path_, LockProblem::Why::System, errno};
            release();
            return Result::Unusable;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            release();
            return Result::Busy;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    held_ = true;
    // Only for a person asking who holds the panel: the lock is the flock.
    const QByteArray holder = QByteArray::number(qint64(::getpid())) + ' ' +
                              QFile::encodeName(QCoreApplication::applicationName()) + '\n';
    if (::ftruncate(fd_, 0) == 0) {
        (void)!::pwrite(fd_, holder.constData(), std::size_t(holder.size()), 0);
    }
    return Result::Held;
}

std::optional<LockHolder> panelLockHolder(const QString& path) {
    const int fd = ::open(native(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return std::nullopt;
    }
    std::optional<LockHolder> holder;
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
        QFile file;  // on the probe's descriptor, left open for it
        const QByteArray said = file.open(fd, QIODevice::ReadOnly) ? file.read(256) : QByteArray();
        const QList<QByteArray> words = said.trimmed().split(' ');
        holder = LockHolder{};
        holder->pid = words.value(0).toLongLong();
        holder->program = QFile::decodeName(words.value(1));
    }
    ::close(fd);
    return holder;
}

void PanelLock::release() {
    if (fd_ >= 0) {
        ::close(fd_);  // drops the lock with the descriptor
        fd_ = -1;
    }
    held_ = false;
}
#else
std::optional<LockHolder> panelLockHolder(const QString&) {
    return std::nullopt;
}

PanelLock::Result PanelLock::acquire(std::chrono::milliseconds wait) {
    if (!held_) {
        file_ = std::make_unique<QLockFile>(path_);
        file_->setStaleLockTime(0);
        held_ = file_->tryLock(wait);
    }
    return held_ ? Result::Held : Result::Busy;
}

void PanelLock::release() {
    if (held_) {
        file_->unlock();
        held_ = false;
    }
}
#endif
