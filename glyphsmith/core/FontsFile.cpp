#include "FontsFile.h"

#include <QDir>
#include <QSaveFile>

#include <algorithm>

namespace glyph {

QString fontsFilePath(const QString& programFolder) {
    return QDir::toNativeSeparators(QDir(programFolder).filePath(QLatin1String(kFontsFileName)));
}

std::optional<QString> writeFileAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    // A read-only folder must fail rather than fall back to writing in place.
    file.setDirectWriteFallback(false);
    // Unbuffered, so a short write (disk full, size limit) shows in write()'s count:
    // buffered, QSaveFile commits a cut-off file and reports success.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return file.errorString();
    }
    const qint64 written = file.write(bytes);
    if (written != bytes.size()) {
        const QString reason = file.error() != QFileDevice::NoError
                                   ? file.errorString()
                                   : QStringLiteral("écriture incomplète (%1 octets sur %2)")
                                         .arg(std::max<qint64>(written, 0))
                                         .arg(bytes.size());
        file.cancelWriting();
        return reason;
    }
    if (!file.commit()) {
        return file.errorString();
    }
    return std::nullopt;
}

}  // namespace glyph
