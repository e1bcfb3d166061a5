#include "LedPictures.h"

#include <cerrno>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "BmpFile.h"
#include "DataFiles.h"
#include "LedGeometry.h"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

bool isOpaque(const QImage& image) {
    if (!image.hasAlphaChannel()) {
        return true;
    }
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) != 255) {
                return false;
            }
        }
    }
    return true;
}

QString shownPath(const QString& path) {
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

}  // namespace

LedPictures::LedPictures(QString imageDir, QString programDir)
    : imageDir_(std::move(imageDir)), programDir_(std::move(programDir)) {}

std::optional<LedPictureFailure> LedPictures::refresh() {
    if (auto failure = refresh(pictures_[Unlit], kUnlitLedFile)) {
        return failure;
    }
    return refresh(pictures_[Lit], kLitLedFile);
}

LedPictures::Location LedPictures::locate(const QStringList& candidates) {
    // The first candidate that exists, as firstExistingFile() picks it, with the
    // one status read that also tells whether the file changed.
    for (const QString& path : candidates) {
#ifdef Q_OS_UNIX
        struct stat st {};
        if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
            continue;
        }
        if (!S_ISREG(st.st_mode)) {
            return {path, std::nullopt, S_ISDIR(st.st_mode) ? EISDIR : 0};
        }
        constexpr qint64 kNano = 1'000'000'000;
        return {
            path,
            FileIdentity{path, st.st_size, qint64{st.st_mtim.tv_sec} * kNano + st.st_mtim.tv_nsec,
                         qint64{st.st_ctim.tv_sec} * kNano + st.st_ctim.tv_nsec, quint64{st.st_ino},
                         quint64{st.st_dev}, quint32{st.st_mode}},
            0};
#else
        const QFileInfo info(path);
        if (!info.exists()) {
            continue;
        }
        if (!info.isFile()) {
            return {path, std::nullopt, info.isDir() ? EISDIR : 0};
        }
        return {path,
                FileIdentity{path, info.size(), info.lastModified().toMSecsSinceEpoch() * 1'000'000,
                             info.metadataChangeTime().toMSecsSinceEpoch() * 1'000'000},
                0};
#endif
    }
    return {candidates.value(0), std::nullopt, 0};
}

std::optional<LedPictureFailure> LedPictures::refresh(Picture& picture, const char* fileName) {
    if (picture.candidates.isEmpty()) {
        picture.candidates =
            dataFileCandidates(QString::fromLatin1(fileName), imageDir_, programDir_);
    }
    const Location where = locate(picture.candidates);
    if (where.identity && picture.identity == where.identity) {
        return std::nullopt;  // the same file: the picture already decoded stands
    }
    // Read afresh; whatever fails leaves no picture behind, so the file is read
    // again at the next tick, as the failure is reported.
    picture.identity.reset();
    picture.image = QImage();
    QFile file(where.path);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly)) {
        const int error = where.notAFile != 0 ? where.notAFile : errno;
        return LedPictureFailure{LedPictureFailure::Kind::CannotOpen, shownPath(where.path), error};
    }
    const QByteArray data = file.readAll();
    QImage image;
    if (!bmpIsWhole(data) || !image.loadFromData(data, "BMP")) {
        return LedPictureFailure{LedPictureFailure::Kind::NotValid, shownPath(where.path), 0};
    }
    ++decodes_;
    ++generation_;
    picture.opaque = isOpaque(image);
    // Same format as the canvas, so the draws are plain copies.
    image.convertTo(QImage::Format_ARGB32_Premultiplied);
    picture.image = std::move(image);
    // Taken before the read: a file changed meanwhile differs at the next tick
    // and is read again.
    picture.identity = where.identity;
    return std::nullopt;
}
