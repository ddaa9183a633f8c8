#include "activity/local_calendar.hpp"

#include <ctime>

namespace vardex {

LocalCalendar::Fields LocalCalendar::fields(TimePoint when) const {
    std::time_t seconds = std::chrono::system_clock::to_time_t(
        std::chrono::floor<std::chrono::seconds>(when));
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr) return {};
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min};
}

int LocalCalendar::minuteOfDay(TimePoint when) const {
    Fields f = fields(when);
    return f.hour * 60 + f.minute;
}

void LocalCalendar::rereadZone() const { ::tzset(); }

bool LocalCalendar::isSameDay(TimePoint a, TimePoint b) const {
    Fields x = fields(a);
    Fields y = fields(b);
    return x.year == y.year && x.month == y.month && x.day == y.day;
}

}  // namespace vardex
