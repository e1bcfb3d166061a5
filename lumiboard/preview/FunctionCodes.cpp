#include "FunctionCodes.h"

#include <algorithm>

const std::array<FunctionCode, 12> kFunctionCodes = {{
    {"Inversevido1", u"-> Inverse vidéo", "#I"},
    {"Heure1", u"-> Heure", "#H"},
    {"Date1", u"-> Date", "#D"},
    {"emprature1", u"-> Température", "#T"},
    {"Fontemini1", u"-> Fonte mini", "#P"},
    {"Fontemaxi1", u"-> Fonte maxi", "#N"},
    {"v0menu", u"0 (très lent)", "#0"},
    {"v1menu", u"1 (lent)", "#1"},
    {"v2menu", u"2 (normal)", "#2"},
    {"v3menu", u"3 (normal+)", "#3"},
    {"v4menu", u"4 (rapide)", "#4"},
    {"Beep1", u"-> Beep", "#B"},
}};

const FunctionCode* findFunctionCode(std::string_view itemName) {
    const auto* found =
        std::find_if(kFunctionCodes.begin(), kFunctionCodes.end(),
                     [itemName](const FunctionCode& f) { return itemName == f.itemName; });
    return found == kFunctionCodes.end() ? nullptr : found;
}

QString insertFunctionCode(const QString& text, int caret, const QString& code) {
    const auto at = std::clamp<qsizetype>(caret, 0, text.size());
    QString out = text;
    out.insert(at, code);
    return out;
}
