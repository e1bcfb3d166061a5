#include "DataFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString runningProgramDir() {
    return QCoreApplication::instance() != nullptr ? QCoreApplication::applicationDirPath()
                                                   : QString();
}

QString dataDirFromProgramDir() {
#ifdef LUMI_DATA_FROM_BIN
    return QStringLiteral(LUMI_DATA_FROM_BIN);
#else
    return QStringLiteral("../share/lumiboard");
#endif
}

QStringList dataFileCandidates(const QString& fileName, const QString& firstDir,
                               const QString& programDir) {
    QStringList candidates{firstDir.isEmpty() ? fileName : QDir(firstDir).filePath(fileName)};
    if (!programDir.isEmpty()) {
        const QDir dir(programDir);
        candidates.append(
            QDir::cleanPath(QDir(dir.filePath(dataDirFromProgramDir())).filePath(fileName)));
        candidates.append(dir.filePath(fileName));
    }
    return candidates;
}

QString firstExistingFile(const QStringList& candidates) {
    for (const QString& candidate : candidates) {
        if (QFileInfo::exists(candidate)) {
            return candidate;
        }
    }
    return candidates.value(0);
}
