#include "FontsFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>

namespace glyph {

namespace {

// errno right after the failing call: Qt keeps only the text of it.
QString reasonNow(const QFileDevice& file) {
    const int error = errno;
    return failureReason(error, file.errorString());
}

// Writes everything in one unbuffered call, so a short write (disk full, size
// limit) shows in the count: buffered, the loss would surface nowhere.
std::optional<QString> writeAll(QFileDevice& file, const QByteArray& bytes) {
    errno = 0;
    const qint64 written = file.write(bytes);
    if (written == bytes.size()) {
        return std::nullopt;
    }
    const int error = errno;
    if (file.error() != QFileDevice::NoError || error != 0) {
        return failureReason(error, file.errorString());
    }
    return QStringLiteral("écriture incomplète (%1 octets sur %2)")
        .arg(std::max<qint64>(written, 0))
        .arg(bytes.size());
}

bool writableFolder(const QString& folder) {
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable();
}

bool writableFile(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.isWritable();
}

}  // namespace

QString fontsFilePath(const QString& folder) {
    return QDir::toNativeSeparators(QDir(folder).absoluteFilePath(QLatin1String(kFontsFileName)));
}

QString failureReason(int error, const QString& systemText) {
    switch (error) {
        case EACCES:
        case EPERM:
            return QStringLiteral("permission refusée");
        case ENOSPC:
            return QStringLiteral("disque plein");
#ifdef EDQUOT
        case EDQUOT:
            return QStringLiteral("quota de disque dépassé");
#endif
        case EROFS:
            return QStringLiteral("système de fichiers en lecture seule");
        default:
            return systemText;
    }
}

std::optional<QString> writeFileAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    // A read-only folder must fail here; the caller decides on writing in place.
    file.setDirectWriteFallback(false);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return reasonNow(file);
    }
    if (auto failure = writeAll(file, bytes)) {
        file.cancelWriting();
        return failure;
    }
    errno = 0;
    if (!file.commit()) {
        return reasonNow(file);
    }
    return std::nullopt;
}

std::optional<QString> writeFileInPlace(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        return reasonNow(file);
    }
    return writeAll(file, bytes);
}

std::optional<SaveRoute> routeFor(bool folderWritable, bool fileWritable) {
    if (folderWritable) {
        return SaveRoute::Atomic;
    }
    if (fileWritable) {
        return SaveRoute::InPlace;
    }
    return std::nullopt;
}

SaveResult saveFontsFile(const QString& programFolder, const QString& workingFolder,
                         const QByteArray& bytes) {
    SaveResult result{fontsFilePath(programFolder), true, std::nullopt};
    auto route = routeFor(writableFolder(programFolder), writableFile(result.path));
    if (!route) {
        result = {fontsFilePath(workingFolder), false, std::nullopt};
        // Where neither folder takes it, the attempt there gives the reason.
        route = routeFor(writableFolder(workingFolder), writableFile(result.path))
                    .value_or(SaveRoute::Atomic);
    }
    result.failure = *route == SaveRoute::Atomic ? writeFileAtomically(result.path, bytes)
                                                 : writeFileInPlace(result.path, bytes);
    return result;
}

}  // namespace glyph
