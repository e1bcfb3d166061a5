#include "FontsFile.h"

#include <QDir>
#include <QSaveFile>

namespace glyph {

QString fontsFilePath(const QString& programFolder) {
    return QDir::toNativeSeparators(QDir(programFolder).filePath(QLatin1String(kFontsFileName)));
}

std::optional<QString> writeFileAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    // A read-only folder must fail rather than fall back to writing in place.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    if (!file.commit()) {
        return file.errorString();
    }
    return std::nullopt;
}

}  // namespace glyph
