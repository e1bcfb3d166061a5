// The alarm entry: only a time of day arms the alarm, and the armed time is
// the one typed.
#include <variant>

#include "AlarmSetting.h"
#include "FakeSeams.h"
#include "FuzzSupport.h"
#include "PanelSession.h"

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

    FixedClock clock;
    PanelSession session(clock);
    const AlarmEntry armed = session.armFromMenu(entry);
    const PanelClock& record = session.panelClock();
    const AlarmEntry parsed = parseAlarmEntry(entry);
    FUZZ_CHECK(armed.index() == parsed.index());
    if (const auto* time = std::get_if<AlarmTime>(&parsed)) {
        FUZZ_CHECK(time->hour <= 23 && time->minute <= 59);
        FUZZ_CHECK(record.alarmOn == 1 && record.alarmHour == time->hour &&
                   record.alarmMinute == time->minute);
        FUZZ_CHECK(session.alarmMenuArmed() && session.alarmMenuEntry() == entry);
        const QString hourText = entry.left(entry.indexOf(u':'));
        FUZZ_CHECK(parseWholeNumber(hourText) == time->hour);
    } else {
        FUZZ_CHECK(record.alarmOn == 0 && !session.alarmMenuArmed());
    }
    return 0;
}
