#pragma once

#include <array>
#include <optional>
#include <utility>

#include <QImage>
#include <QString>
#include <QStringList>

// Why an LED picture could not be had this tick.
struct LedPictureFailure {
    enum class Kind {
        CannotOpen,  // the file is missing or unreadable: see error
        NotValid,    // read, but not a whole BMP picture
    };
    Kind kind = Kind::CannotOpen;
    QString path;   // the file, absolute, with the platform's separators
    int error = 0;  // CannotOpen: the errno of the open (EISDIR for a folder)
    friend bool operator==(const LedPictureFailure&, const LedPictureFailure&) = default;
};

// The two LED pictures of the preview, found and decoded as the panel's
// program finds them. A picture is decoded again only when its file changed
// (path, size, times, inode); a file that went away or can no longer be read
// fails the refresh, and nothing of it is kept.
class LedPictures {
public:
    enum Which { Unlit = 0, Lit = 1 };

    // Read from imageDir (empty: the current working directory), else from
    // the data folder of the program in programDir (empty: nowhere else).
    LedPictures(QString imageDir, QString programDir);

    // Both pictures as their files now are.
    std::optional<LedPictureFailure> refresh();

    // As decoded, premultiplied; opaque when no pixel lets the canvas through.
    const QImage& image(Which which) const { return pictures_[which].image; }
    bool opaque(Which which) const { return pictures_[which].opaque; }
    // Grows each time a picture is decoded: what was scaled from them is stale.
    int generation() const { return generation_; }
    // Pictures decoded since construction: a measure of the cache.
    int decodes() const { return decodes_; }

private:
    // What tells a file changed without reading it.
    struct FileIdentity {
        QString path;
        qint64 size = -1;
        qint64 modified = 0;  // nanoseconds
        qint64 changed = 0;   // status change, nanoseconds
        quint64 inode = 0;
        quint64 device = 0;
        quint32 mode = 0;
        friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
    };
    // Where a picture is: its file, its identity when it is a plain file, and
    // the errno that tells why it cannot be read when it is not.
    struct Location {
        QString path;
        std::optional<FileIdentity> identity;
        int notAFile = 0;
    };
    struct Picture {
        QStringList candidates;                // where the file is looked for, in order
        std::optional<FileIdentity> identity;  // of the file the image came from
        QImage image;
        bool opaque = true;
    };
    std::optional<LedPictureFailure> refresh(Picture& picture, const char* fileName);
    static Location locate(const QStringList& candidates);

    QString imageDir_;
    QString programDir_;
    std::array<Picture, 2> pictures_;
    int decodes_ = 0;
    int generation_ = 0;
};
