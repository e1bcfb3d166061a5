#include "TextAdmission.h"

#include <QList>

#include "Cp1252.h"

bool isControlCharacter(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

TextAdmission admitText(const QString& text, Unsendable policy) {
    AdmittedText admitted;
    admitted.text.reserve(text.size());
    qsizetype position = 0;
    for (const char32_t c : text.toUcs4()) {
        ++position;
        const bool control = isControlCharacter(c);
        if (!control && c <= 0xFFFF && cp1252::encodeChar(char16_t(c)) >= 0) {
            admitted.text.append(QChar(char16_t(c)));
        } else if (policy == Unsendable::Replace) {
            admitted.text.append(u'?');
            ++admitted.replaced;
        } else {
            return RefusedCharacter{c, position, control};
        }
    }
    return admitted;
}
