#pragma once

#include <array>
#include <string_view>

#include <QString>

// The function codes the menu "&Insérer" puts into the message: "#" and one
// code character, which the panel's firmware acts on when it shows the text.
struct FunctionCode {
    const char* itemName;     // the menu item's name
    const char16_t* caption;  // its caption, in the menu's order
    const char* code;         // the two characters inserted
};

// Menu order; the five speeds sit in the submenu "-> Vitesse".
extern const std::array<FunctionCode, 12> kFunctionCodes;

// The entry of a menu item, by the item's name; null for an unknown name.
const FunctionCode* findFunctionCode(std::string_view itemName);

// The text with code inserted at caret (characters in front of the caret; the
// start of the selection when a range is selected, which stays in the text).
// No length check: the sending side cuts the text. A caret outside the text
// is taken as its nearest end.
QString insertFunctionCode(const QString& text, int caret, const QString& code);
