#include "TextAdmission.h"

#include <memory>

#include <QList>

#include <unicode/translit.h>
#include <unicode/unistr.h>

#include "Cp1252.h"

namespace {

bool inCodePage(char32_t c) {
    return c <= 0xFFFF && cp1252::encodeChar(char16_t(c)) >= 0;
}

// ICU's rules for the nearest Latin spelling: any script to Latin, then the
// Latin letters' accents and ligatures to plain ones. Applied only to what
// the code page lacks, so é, ß, “ ” and € stay as they are.
class NearestSpelling {
public:
    NearestSpelling() {
        UErrorCode status = U_ZERO_ERROR;
        rules_.reset(
            icu::Transliterator::createInstance("Any-Latin; Latin-ASCII", UTRANS_FORWARD, status));
        if (U_FAILURE(status)) {
            rules_.reset();
        }
    }
    QString operator()(const QString& run) const {
        if (!rules_) {
            return QString(run.size(), u'?');
        }
        icu::UnicodeString text(reinterpret_cast<const UChar*>(run.utf16()), int32_t(run.size()));
        rules_->transliterate(text);
        return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
    }

private:
    std::unique_ptr<icu::Transliterator> rules_;
};

}  // namespace

bool isControlCharacter(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

TextAdmission admitText(const QString& text, Unsendable policy, bool transliterate) {
    AdmittedText admitted;
    admitted.text.reserve(text.size());
    std::optional<NearestSpelling> nearest;
    QString run;  // characters the code page lacks, spelled together for their context
    const auto spellRun = [&] {
        if (run.isEmpty()) {
            return;
        }
        if (!nearest) {
            nearest.emplace();
        }
        admitted.transliterated += run.toUcs4().size();
        for (const char32_t c : (*nearest)(run).toUcs4()) {
            if (!isControlCharacter(c) && inCodePage(c)) {
                admitted.text.append(QChar(char16_t(c)));
            } else {
                admitted.text.append(u'?');
                ++admitted.replaced;
            }
        }
        run.clear();
    };
    qsizetype position = 0;
    for (const char32_t c : text.toUcs4()) {
        ++position;
        const bool control = isControlCharacter(c);
        if (!control && inCodePage(c)) {
            spellRun();
            admitted.text.append(QChar(char16_t(c)));
        } else if (transliterate && !control) {
            run.append(QString::fromUcs4(&c, 1));
        } else if (policy == Unsendable::Replace) {
            spellRun();
            admitted.text.append(u'?');
            ++admitted.replaced;
        } else {
            return RefusedCharacter{c, position, control};
        }
    }
    spellRun();
    return admitted;
}
