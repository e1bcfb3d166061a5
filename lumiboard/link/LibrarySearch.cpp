#include "LibrarySearch.h"

#include <QDir>

namespace {
// Beside the public library folders, the package's own folder.
constexpr QLatin1String kPrivateLibraryFolder("lumiboard");
}  // namespace

QStringList usbLibraryCandidates(const QString& fileName, const QStringList& firstDirs,
                                 const QString& programDir, const QString& multiarch) {
    QStringList dirs = firstDirs;
    if (!programDir.isEmpty()) {
        dirs.append(programDir);
        // An installed program sits in <prefix>/bin and its library in <prefix>/lib,
        // or in the package's private folder below it, where no other package's
        // libmpusbapi.so can clash with it.
        const QString libDir = QDir(programDir).filePath(QStringLiteral("../lib"));
        dirs.append(libDir);
        dirs.append(QDir(libDir).filePath(kPrivateLibraryFolder));
        if (!multiarch.isEmpty()) {
            const QString archDir = QDir(libDir).filePath(multiarch);
            dirs.append(archDir);
            dirs.append(QDir(archDir).filePath(kPrivateLibraryFolder));
        }
    }
    QStringList candidates;
    for (const QString& dir : dirs) {
        const QString path = QDir::cleanPath(QDir(dir).filePath(fileName));
        if (!candidates.contains(path)) {
            candidates.append(path);
        }
    }
    candidates.append(fileName);  // the platform's own search
    return candidates;
}

QString usbLibraryMultiarch() {
#ifdef LUMI_MULTIARCH
    return QStringLiteral(LUMI_MULTIARCH);
#else
    return {};
#endif
}
