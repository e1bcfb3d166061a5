#pragma once

#include <variant>

#include <QString>

// A character a terminal or the panel's firmware acts on instead of showing:
// the C0 controls, DEL and the C1 controls.
bool isControlCharacter(char32_t c);

// What becomes of a character the panel cannot take.
enum class Unsendable {
    Refuse,   // the whole text is refused at the first one
    Replace,  // each becomes "?"
};

// A text every character of which the panel can take (Windows-1252, no
// control character), with how many were replaced by "?" or given their
// nearest spelling to get there.
struct AdmittedText {
    QString text;
    qsizetype replaced = 0;
    qsizetype transliterated = 0;
};
// The first character the panel cannot take.
struct RefusedCharacter {
    char32_t character = 0;
    qsizetype position = 0;  // 1-based, in characters
    bool control = false;    // a control character, not one missing from the code page
};
using TextAdmission = std::variant<AdmittedText, RefusedCharacter>;

// Which characters of a Unicode text the panel can take. A control character
// would act on the firmware or on whoever reads the text back on a terminal,
// and a zero would end the text early. With transliterate, a character the
// code page lacks takes its nearest spelling in it (Ł→L, ő→o, Москва→Moskva)
// and one that has none becomes "?"; the policy then applies to controls only.
TextAdmission admitText(const QString& text, Unsendable policy, bool transliterate = false);
