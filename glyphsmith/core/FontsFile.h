#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace glyph {

inline constexpr char kFontsFileName[] = "fonts.txt";

// Where "fonts.txt" goes: beside the program.
QString fontsFilePath(const QString& programFolder);

// Writes the bytes to a temporary file beside the target and renames it over the
// target only once all is written, so a failure never leaves a cut-off file in
// place of a good one. Returns the system's reason on failure.
std::optional<QString> writeFileAtomically(const QString& path, const QByteArray& bytes);

}  // namespace glyph
