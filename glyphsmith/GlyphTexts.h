#pragma once

#include <QString>

#include "core/BitmapFont.h"
#include "core/FileRead.h"
#include "core/FontsTable.h"

// The French words of glyphsmith's and glyphctl's outcomes, said alike by both:
// one home for each, so a text mended once is mended in both.
namespace glyphtext {

// Why a line of a table is not one of the tools' lines.
QString lineProblem(const glyph::LineProblem& problem);

// Why a table file could not be read.
QString tableFileProblem(const glyph::FileProblem& problem);

// Why a file could not be taken as a bitmap font. An outline font's reason is
// followed by each front end's own way to take it ("--font", "Fonte").
QString fontProblem(const glyph::FontProblem& problem);

// The codes a bitmap font lacks, as ranges: "0-31, 127, 129".
QString codeList(const std::vector<int>& codes);

}  // namespace glyphtext
