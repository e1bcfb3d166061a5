#include "PanelLock.h"

#include <cerrno>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

QString panelLockFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir()) {
        return runtime;
    }
#ifdef Q_OS_UNIX
    // Cron and ssh sessions may have no runtime folder. A shared folder is no
    // place for the lock: only one this user owns and nobody else may enter.
    const QString folder =
        QDir(QDir::tempPath()).filePath(QStringLiteral("lumiboard-%1").arg(getuid()));
    const QByteArray path = QFile::encodeName(folder);
    if (mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
        return {};
    }
    struct stat st {};
    if (lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid() ||
        (st.st_mode & 077) != 0) {
        return {};
    }
    return folder;
#else
    return QDir::tempPath();  // the user's own on Windows
#endif
}

QString panelLockPath(const QString& folder, const QString& socket, std::uint32_t instance) {
    if (folder.isEmpty()) {
        return {};
    }
    QString name;
    if (!socket.isEmpty()) {
        // One virtual panel per socket, wherever it is named from.
        const QByteArray where = QFileInfo(socket).absoluteFilePath().toUtf8();
        name = QStringLiteral("lumiboard-panel-virtual-") +
               QString::fromLatin1(
                   QCryptographicHash::hash(where, QCryptographicHash::Sha1).toHex().left(16));
    } else {
        name = QStringLiteral("lumiboard-panel-usb-%1").arg(instance);
    }
    return QDir(folder).filePath(name + QStringLiteral(".lock"));
}

PanelLock::PanelLock(const QString& path) : file_(std::make_unique<QLockFile>(path)) {
    // Never taken for stale by age: a holder is alive until its process is
    // gone, which QLockFile finds by the process id it wrote.
    file_->setStaleLockTime(0);
}

PanelLock::~PanelLock() {
    release();
}

bool PanelLock::acquire(std::chrono::milliseconds wait) {
    if (!held_) {
        held_ = file_->tryLock(wait);
    }
    return held_;
}

void PanelLock::release() {
    if (held_) {
        file_->unlock();
        held_ = false;
    }
}
