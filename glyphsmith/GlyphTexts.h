#pragma once

#include <QString>

#include "core/FileRead.h"
#include "core/FontsTable.h"

// The French words of glyphsmith's and glyphctl's outcomes, said alike by both:
// one home for each, so a text mended once is mended in both.
namespace glyphtext {

// Why a line of a table is not one of the tools' lines.
QString lineProblem(const glyph::LineProblem& problem);

// Why a table file could not be read.
QString tableFileProblem(const glyph::FileProblem& problem);

}  // namespace glyphtext
