#include "Calendar.h"

#include <algorithm>

namespace panelsim {

namespace {

constexpr std::int64_t kDay = 86400;

// Days since 1970-01-01 of a proleptic Gregorian date (month 1..12).
std::int64_t daysFromCivil(std::int64_t y, std::int64_t m, std::int64_t d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

struct Civil {
    std::int64_t year, month, day;
};

Civil civilFromDays(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t m = mp + (mp < 10 ? 3 : -9);
    return {yoe + era * 400 + (m <= 2), m, d};
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

}  // namespace

std::int64_t secondsFromFields(const ClockFields& f) {
    // Carry months into years first, then days, hours... add up linearly.
    const std::int64_t months = std::int64_t{f.year} * 12 + (f.month - 1);
    const std::int64_t y = floorDiv(months, 12);
    const std::int64_t m = months - y * 12 + 1;
    const std::int64_t days = daysFromCivil(y, m, 1) + (f.day - 1);
    return days * kDay + std::int64_t{f.hour} * 3600 + std::int64_t{f.minute} * 60 + f.second;
}

ClockFields fieldsFromSeconds(std::int64_t seconds) {
    const std::int64_t days = floorDiv(seconds, kDay);
    const std::int64_t rest = seconds - days * kDay;
    const Civil c = civilFromDays(days);
    ClockFields f;
    f.hour = static_cast<int>(rest / 3600);
    f.minute = static_cast<int>(rest / 60 % 60);
    f.second = static_cast<int>(rest % 60);
    f.day = static_cast<int>(c.day);
    f.month = static_cast<int>(c.month);
    f.year = static_cast<int>(c.year);
    return f;
}

std::int64_t clampToClockRange(std::int64_t seconds) {
    static constexpr ClockFields first{0, 0, 0, 1, 1, 0};
    static constexpr ClockFields last{23, 59, 59, 31, 12, 65535};
    return std::clamp(seconds, secondsFromFields(first), secondsFromFields(last));
}

}  // namespace panelsim
