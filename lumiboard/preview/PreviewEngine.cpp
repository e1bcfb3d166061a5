#include "PreviewEngine.h"

#include <QDate>

#include "Cp1252.h"
#include "Fonts.h"
#include "FunctionCodes.h"

namespace {

// Index 1 = Monday, as QDate::dayOfWeek counts.
constexpr std::array<const char*, 8> daynames = {"",      "lundi",    "mardi",  "mercredi",
                                                 "jeudi", "vendredi", "samedi", "dimanche"};
// The fonts have no accented letters.
constexpr std::array<const char*, 13> monthnames = {
    "",        "janvier", "fevrier",   "mars",    "avril",    "mai",     "juin",
    "juillet", "aout",    "septembre", "octobre", "novembre", "decembre"};

constexpr int kLastCode = 126;  // "~", the last character the fonts hold
constexpr int kSpace = 32;
constexpr std::uint16_t kInverse = 0xFFFF;

}  // namespace

QByteArray dateInWords(const QDate& date) {
    const int dow = date.dayOfWeek();
    const int month = date.month();
    QByteArray out = (dow >= 1 && dow <= 7) ? daynames[static_cast<std::size_t>(dow)] : "";
    out += ' ';
    out += QByteArray::number(date.day());
    out += ' ';
    out += (month >= 1 && month <= 12) ? monthnames[static_cast<std::size_t>(month)] : "";
    out += ' ';
    out += QByteArray::number(date.year());
    return out;
}

PreviewEngine::PreviewEngine(const Clock& clock, Beeper& beeper) : clock_(clock), beeper_(beeper) {
    ledcols_.fill(kBlankColumn);
}

void PreviewEngine::reset() {
    fontwidth_ = kFontMaxiWidth;
    ledcols_.fill(kBlankColumn);
    msgpos_ = 1;
    colcount_ = fontwidth_;
    invmask_ = 0;
    msgtxt_ = kWelcomeText;
    reset_ = true;
}

void PreviewEngine::setText(const QByteArray& text) {
    msgtxt_ = text.isEmpty() ? QByteArray(" ") : text;
}

void PreviewEngine::tick() {
    if (!reset_) {
        return;  // no state to show yet
    }
    // Words 28 to 30 stay blank and feed the gap a code leaves.
    for (int k = 1; k <= 29; ++k) {
        ledcols_[static_cast<std::size_t>(k - 1)] = ledcols_[static_cast<std::size_t>(k)];
    }
    ++shifts_;
    if (colcount_ != 0) {
        --colcount_;
        return;
    }
    colcount_ = fontwidth_ - 1;  // the width in force before this character
    const int ch = readNext();
    if (codeflag_) {
        codeflag_ = false;
        actOnCode(ch);
    } else if (ch == '#') {
        codeflag_ = true;
    } else {
        stage(ch);
    }
}

int PreviewEngine::readNext() {
    if (subpos_ != 0) {
        const int len = static_cast<int>(subtxt_.size());
        int ch = subpos_ <= len ? static_cast<unsigned char>(subtxt_[subpos_ - 1]) : 0;
        ++subpos_;  // wraps to 0 past 255 characters, which ends the expansion
        if (subpos_ > len) {
            subpos_ = 0;
        }
        return ch > kLastCode ? kSpace : ch;
    }
    // The position just after the end, or beyond a shortened text, reads as 0.
    int ch = msgpos_ <= msgtxt_.size() ? static_cast<unsigned char>(msgtxt_[msgpos_ - 1]) : 0;
    if (ch > kLastCode) {
        ch = kSpace;
    }
    msgpos_ = ch < kSpace ? 1 : msgpos_ + 1;
    return ch;
}

void PreviewEngine::actOnCode(int ch) {
    switch (codeEffect(ch)) {
        case CodeEffect::Beep:
            beeper_.beep();
            break;
        case CodeEffect::Date:
            startExpansion(dateInWords(clock_.now().date()));
            break;
        case CodeEffect::Time:
            startExpansion(cp1252::encode(clock_.longTime(clock_.now().time())));
            break;
        case CodeEffect::Inverse:
            invmask_ = kInverse - invmask_;
            break;
        case CodeEffect::FontMaxi:
            fontwidth_ = kFontMaxiWidth;
            break;
        case CodeEffect::FontMini:
            fontwidth_ = kFontMiniWidth;
            break;
        case CodeEffect::None:
            break;  // the panel's own codes ("#T", speeds) and stray pairs
    }
}

void PreviewEngine::startExpansion(QByteArray text) {
    subtxt_ = std::move(text);
    // An empty expansion has nothing to read: go straight on with the text.
    subpos_ = subtxt_.isEmpty() ? 0 : 1;
}

void PreviewEngine::stage(int ch) {
    for (int j = 0; j < fontwidth_; ++j) {
        ledcols_[static_cast<std::size_t>(kStageWord + j)] =
            static_cast<std::uint16_t>(fontColumn(ch, fontwidth_, j) ^ invmask_);
    }
}
