// The alarm entry: only a time of day arms the alarm, and the armed time is
// the one typed.
#include <variant>

#include "AlarmSetting.h"
#include "FuzzSupport.h"
#include "RecordingDialogs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const QString entry = in.restText();

    if (const auto n = parseWholeNumber(entry)) {
        // The same number as the text's digits say, blanks and a "+" aside.
        QString digits = entry.trimmed();
        if (digits.startsWith(u'+')) {
            digits.remove(0, 1);
        }
        bool ok = false;
        FUZZ_CHECK(digits.toLongLong(&ok) == *n && ok);
    }

    RecordingDialogs dialogs;
    dialogs.inputAnswers.append(entry);
    PanelClock clock;
    const AlarmMenuOutcome outcome =
        alarmMenuClick(QString::fromUtf16(kDisarmedCaption), dialogs, clock);
    const AlarmEntry parsed = parseAlarmEntry(entry);
    if (const auto* time = std::get_if<AlarmTime>(&parsed)) {
        FUZZ_CHECK(time->hour <= 23 && time->minute <= 59);
        FUZZ_CHECK(clock.alarmOn == 1 && clock.alarmHour == time->hour &&
                   clock.alarmMinute == time->minute);
        FUZZ_CHECK(outcome.caption == armedCaption(entry));
        const QString hourText = entry.left(entry.indexOf(u':'));
        FUZZ_CHECK(parseWholeNumber(hourText) == time->hour);
    } else {
        FUZZ_CHECK(clock.alarmOn == 0 && !outcome.caption && !outcome.summary);
        FUZZ_CHECK(dialogs.shown.size() == 2);  // the entry, then why it is refused
    }
    return 0;
}
