#pragma once

#include <array>
#include <string_view>

#include <QString>

// What the preview does when a code comes up in the scrolling text; the
// panel's own codes ("#T", the speeds) change nothing the preview imitates.
enum class CodeEffect { None, Inverse, Time, Date, FontMini, FontMaxi, Beep };

// Where the menu "&Insérer" shows a code: among its own items, or in its
// submenu "-> Vitesse".
enum class CodeMenu { Insert, Speed };

// The function codes the menu "&Insérer" puts into the message: "#" and one
// code character, which the panel's firmware acts on when it shows the text.
// The one table of them: the menu is built from it and the preview reads it.
struct FunctionCode {
    char letter;              // the code character after "#"
    const char* itemName;     // the menu item's name
    const char16_t* caption;  // its caption, in the menu's order
    CodeMenu menu;
    CodeEffect effect;
};

// Menu order; the five speeds sit in the submenu "-> Vitesse", where the
// first of them stands.
extern const std::array<FunctionCode, 12> kFunctionCodes;

// The entry of a menu item, by the item's name; null for an unknown name.
const FunctionCode* findFunctionCode(std::string_view itemName);
// What the preview does for a code character.
CodeEffect codeEffect(int letter);
// The two characters a code puts into the text ("#H").
QString functionCodeText(const FunctionCode& code);

// The text with code inserted at caret (characters in front of the caret; the
// start of the selection when a range is selected, which stays in the text).
// No length check: the sending side cuts the text. A caret outside the text
// is taken as its nearest end.
QString insertFunctionCode(const QString& text, int caret, const QString& code);
