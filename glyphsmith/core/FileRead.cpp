#include "FileRead.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>

namespace glyph {

std::variant<QByteArray, FileProblem> readWholeFile(const QString& path, qint64 maxBytes) {
    const QFileInfo info(path);
    if (!info.exists()) {
        return FileProblem{FileFault::NotFound};
    }
    if (!info.isFile()) {
        return FileProblem{FileFault::NotRegular};
    }
    if (info.size() > maxBytes) {
        return FileProblem{FileFault::TooLarge};
    }
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly)) {
        return FileProblem{FileFault::System, errno};
    }
    // Read once more than allowed: a file that grew meanwhile is still refused.
    QByteArray bytes = file.read(maxBytes + 1);
    if (bytes.size() > maxBytes) {
        return FileProblem{FileFault::TooLarge};
    }
    if (file.error() != QFileDevice::NoError) {
        return FileProblem{FileFault::System, errno};
    }
    return bytes;
}

}  // namespace glyph
