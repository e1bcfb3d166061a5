#include "FunctionCodes.h"

#include <algorithm>

const std::array<FunctionCode, 12> kFunctionCodes = {{
    {'I', "Inversevido1", u"-> Inverse vidéo", CodeMenu::Insert, CodeEffect::Inverse},
    {'H', "Heure1", u"-> Heure", CodeMenu::Insert, CodeEffect::Time},
    {'D', "Date1", u"-> Date", CodeMenu::Insert, CodeEffect::Date},
    {'T', "emprature1", u"-> Température", CodeMenu::Insert, CodeEffect::None},
    {'P', "Fontemini1", u"-> Fonte mini", CodeMenu::Insert, CodeEffect::FontMini},
    {'N', "Fontemaxi1", u"-> Fonte maxi", CodeMenu::Insert, CodeEffect::FontMaxi},
    {'0', "v0menu", u"0 (très lent)", CodeMenu::Speed, CodeEffect::None},
    {'1', "v1menu", u"1 (lent)", CodeMenu::Speed, CodeEffect::None},
    {'2', "v2menu", u"2 (normal)", CodeMenu::Speed, CodeEffect::None},
    {'3', "v3menu", u"3 (normal+)", CodeMenu::Speed, CodeEffect::None},
    {'4', "v4menu", u"4 (rapide)", CodeMenu::Speed, CodeEffect::None},
    {'B', "Beep1", u"-> Beep", CodeMenu::Insert, CodeEffect::Beep},
}};

const FunctionCode* findFunctionCode(std::string_view itemName) {
    const auto* found =
        std::find_if(kFunctionCodes.begin(), kFunctionCodes.end(),
                     [itemName](const FunctionCode& f) { return itemName == f.itemName; });
    return found == kFunctionCodes.end() ? nullptr : found;
}

CodeEffect codeEffect(int letter) {
    const auto* found =
        std::find_if(kFunctionCodes.begin(), kFunctionCodes.end(),
                     [letter](const FunctionCode& f) { return f.letter == letter; });
    return found == kFunctionCodes.end() ? CodeEffect::None : found->effect;
}

QString functionCodeText(const FunctionCode& code) {
    return QString(QLatin1Char('#')) + QLatin1Char(code.letter);
}

QString insertFunctionCode(const QString& text, int caret, const QString& code) {
    const auto at = std::clamp<qsizetype>(caret, 0, text.size());
    QString out = text;
    out.insert(at, code);
    return out;
}
