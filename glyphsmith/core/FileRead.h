#pragma once

#include <QByteArray>
#include <QString>

#include <variant>

// A file the tools read whole (a table, a bitmap font): only a regular file, up
// to a size, so a device or a pipe named by mistake never blocks and a huge file
// is never loaded.
namespace glyph {

enum class FileFault {
    NotFound,
    NotRegular,  // a folder, a device, a pipe
    TooLarge,
    System,  // open or read failed: see the errno
};

struct FileProblem {
    FileFault fault = FileFault::NotFound;
    int error = 0;  // the errno, for System
    friend bool operator==(const FileProblem&, const FileProblem&) = default;
};

std::variant<QByteArray, FileProblem> readWholeFile(const QString& path, qint64 maxBytes);

}  // namespace glyph
