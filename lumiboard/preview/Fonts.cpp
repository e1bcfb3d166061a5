#include "Fonts.h"

std::uint16_t fontColumn(int code, int width, int j) {
    if (code < 0 || code >= kFontRecords || j < 0 || j >= width) {
        return kBlankColumn;
    }
    const auto at = static_cast<std::size_t>(code * (width + 1) + j + 1);
    if (width == kFontMaxiWidth) {
        return fontmaxi[at];
    }
    if (width == kFontMiniWidth) {
        return fontmini[at];
    }
    return kBlankColumn;
}
