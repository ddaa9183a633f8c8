#pragma once

#include <string>

#include "activity/timestamp.hpp"

namespace vardex {

// The user's calendar: local days and clock times in the zone the process runs in (TZ).
struct LocalCalendar {
    struct Fields {
        int year = 0;
        int month = 0;
        int day = 0;
        int hour = 0;
        int minute = 0;
    };

    // A component the system cannot give is 0.
    Fields fields(TimePoint when) const;
    int minuteOfDay(TimePoint when) const;
    bool isSameDay(TimePoint a, TimePoint b) const;
    // Reads the zone again (TZ, or the system's zone file when TZ is unset). The system reads
    // it once and keeps it, while a laptop that travels changes zone under a running app.
    void rereadZone() const;
};

}  // namespace vardex
