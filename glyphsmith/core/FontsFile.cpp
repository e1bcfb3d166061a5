#include "FontsFile.h"

#include "SystemErrors.h"
#include "WholeFile.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>

namespace glyph {

namespace {

// errno right after the failing call: Qt keeps only the text of it.
QString reasonNow() {
    return failureReason(errno);
}

// Writes everything in one unbuffered call, so a short write (disk full, size
// limit) shows in the count: buffered, the loss would surface nowhere.
std::optional<QString> writeAll(QFileDevice& file, const QByteArray& bytes) {
    errno = 0;
    const qint64 written = file.write(bytes);
    if (written == bytes.size()) {
        return std::nullopt;
    }
    // A write cut by a limit returns its count and leaves the reason in errno
    // alone: Qt sets no error of its own for it.
    const int error = errno;
    if (file.error() != QFileDevice::NoError || error != 0) {
        return failureReason(error);
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

QString failureReason(int error) {
    // Words of the save itself first; the rest as every program says them.
    switch (error) {
        case ENOENT:
            return QStringLiteral("dossier introuvable");
        case EISDIR:
            return QStringLiteral("un dossier porte ce nom");
        case EIO:
            return QStringLiteral("erreur d'entrée-sortie sur le disque");
        case EBUSY:
        case ETXTBSY:
            return QStringLiteral("fichier occupé");
        case EINTR:
            return QStringLiteral("écriture interrompue");
        case EINVAL:
            return QStringLiteral("opération refusée par le système de fichiers");
#ifdef ESTALE
        case ESTALE:
            return QStringLiteral("fichier réseau périmé");
#endif
        default:
            return systemErrorReason(error);
    }
}

std::optional<QString> writeFileAtomically(const QString& path, const QByteArray& bytes) {
    const wholefile::Outcome outcome = wholefile::writeWhole(path, bytes);
    if (outcome.ok()) {
        return std::nullopt;
    }
    if (outcome.refusal != wholefile::Refusal::None) {
        return wholefile::failureReason(outcome);
    }
    return failureReason(outcome.error);
}

std::optional<QString> writeFileInPlace(const QString& path, const QByteArray& bytes) {
    // Kept to be written back should the new content not go in whole.
    // Only a plain file: a device behind the name may never end.
    QByteArray old;
    if (QFileInfo(path).isFile()) {
        QFile reading(path);
        if (reading.open(QIODevice::ReadOnly)) {
            old = reading.readAll();
        }
    }
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        return reasonNow();
    }
    auto failure = writeAll(file, bytes);
    if (failure && file.resize(0) && file.seek(0)) {
        file.write(old);  // best effort: the reason stays the first failure's
    }
    return failure;
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
