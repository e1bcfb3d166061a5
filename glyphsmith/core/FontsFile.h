#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace glyph {

inline constexpr char kFontsFileName[] = "fonts.txt";

// Where "fonts.txt" goes in a folder.
QString fontsFilePath(const QString& folder);

// The reason a write failed, for the user, in French whatever the errno: the
// usual causes by name, any other by its number (the system's own text is
// English, and for a cut write Qt has none).
QString failureReason(int error);

// Writes the bytes to a temporary file beside the target and renames it over the
// target only once all is written, so a failure never leaves a cut-off file in
// place of a good one. Returns the reason on failure.
std::optional<QString> writeFileAtomically(const QString& path, const QByteArray& bytes);

// Replaces the content of the file itself, for a file that may be written in a
// folder that may not: a short write is still a failure, and the file's old
// content is written back then. Returns the reason on failure.
std::optional<QString> writeFileInPlace(const QString& path, const QByteArray& bytes);

enum class SaveRoute {
    Atomic,   // temporary file and rename: the folder takes new files
    InPlace,  // the folder does not, but the file there may be rewritten
};

// How "fonts.txt" may be written in a folder; nothing when neither the folder nor
// a file already there may be written.
std::optional<SaveRoute> routeFor(bool folderWritable, bool fileWritable);

struct SaveResult {
    QString path;               // the file written, or the one that could not be
    bool besideProgram = true;  // false when the working folder took it
    std::optional<QString> failure;
};

// Saves "fonts.txt" beside the program when that may be written, otherwise in the
// working folder.
SaveResult saveFontsFile(const QString& programFolder, const QString& workingFolder,
                         const QByteArray& bytes);

}  // namespace glyph
