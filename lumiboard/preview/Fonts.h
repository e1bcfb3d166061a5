#pragma once

#include <array>
#include <cstdint>

// The two built-in LED fonts. One record per character code 0 to 126: word 0
// is the code itself, then the glyph's columns from left to right. A column
// word has bit r for the LED of row r (row 0 at the top): 0 = lit, 1 = off;
// bits 10 to 15 are always 1, so 0xFFFF is a blank column.

inline constexpr int kFontRecords = 127;
inline constexpr int kFontMaxiWidth = 8;  // the large font, selected by "#N"
inline constexpr int kFontMiniWidth = 6;  // the small font, selected by "#P"
inline constexpr std::uint16_t kBlankColumn = 0xFFFF;

extern const std::array<std::uint16_t, kFontRecords*(kFontMaxiWidth + 1)> fontmaxi;
extern const std::array<std::uint16_t, kFontRecords*(kFontMiniWidth + 1)> fontmini;

// Column j of character code in the font of that width (8 = fontmaxi, 6 =
// fontmini). Anything outside the tables (a code above 126, a column beyond
// the width, an unknown width) reads as a blank column.
std::uint16_t fontColumn(int code, int width, int j);
