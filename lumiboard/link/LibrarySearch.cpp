#include "LibrarySearch.h"

#include <QDir>

QStringList usbLibraryCandidates(const QString& fileName, const QStringList& firstDirs,
                                 const QString& programDir, const QString& multiarch) {
    QStringList dirs = firstDirs;
    if (!programDir.isEmpty()) {
        dirs.append(programDir);
        // An installed program sits in <prefix>/bin and its library in <prefix>/lib.
        const QString libDir = QDir(programDir).filePath(QStringLiteral("../lib"));
        dirs.append(libDir);
        if (!multiarch.isEmpty()) {
            dirs.append(QDir(libDir).filePath(multiarch));
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
