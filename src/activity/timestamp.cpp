#include "activity/timestamp.hpp"

#include <date/date.h>

namespace vardex {
namespace {

class Cursor {
public:
    explicit Cursor(std::string_view text) : text_(text) {}

    bool atEnd() const { return at_ == text_.size(); }
    char peek() const { return atEnd() ? '\0' : text_[at_]; }

    bool literal(char c) {
        if (peek() != c) return false;
        ++at_;
        return true;
    }

    // Exactly `width` decimal digits.
    std::optional<int> digits(int width) {
        int value = 0;
        for (int i = 0; i < width; ++i) {
            char c = peek();
            if (c < '0' || c > '9') return std::nullopt;
            value = value * 10 + (c - '0');
            ++at_;
        }
        return value;
    }

    // One or more digits as a count of nanoseconds; digits past the ninth are read and dropped.
    std::optional<std::chrono::nanoseconds> fraction() {
        long long nanos = 0;
        int count = 0;
        while (peek() >= '0' && peek() <= '9') {
            if (count < 9) nanos = nanos * 10 + (peek() - '0');
            ++count;
            ++at_;
        }
        if (count == 0) return std::nullopt;
        for (int i = count; i < 9; ++i) nanos *= 10;
        return std::chrono::nanoseconds(nanos);
    }

private:
    std::string_view text_;
    std::size_t at_ = 0;
};

}  // namespace

std::optional<TimePoint> readTimestamp(std::string_view text) {
    using namespace std::chrono;
    Cursor in(text);
    auto year = in.digits(4);
    if (!year || !in.literal('-')) return std::nullopt;
    auto month = in.digits(2);
    if (!month || !in.literal('-')) return std::nullopt;
    auto day = in.digits(2);
    if (!day || !in.literal('T')) return std::nullopt;
    auto hour = in.digits(2);
    if (!hour || !in.literal(':')) return std::nullopt;
    auto minute = in.digits(2);
    if (!minute || !in.literal(':')) return std::nullopt;
    auto second = in.digits(2);
    if (!second) return std::nullopt;
    nanoseconds fraction{0};
    if (in.literal('.')) {
        auto read = in.fraction();
        if (!read) return std::nullopt;
        fraction = *read;
    }
    minutes offset{0};
    if (!in.literal('Z')) {
        int sign = in.literal('+') ? 1 : (in.literal('-') ? -1 : 0);
        if (sign == 0) return std::nullopt;
        auto offsetHours = in.digits(2);
        if (!offsetHours || !in.literal(':')) return std::nullopt;
        auto offsetMinutes = in.digits(2);
        if (!offsetMinutes || *offsetHours > 23 || *offsetMinutes > 59) return std::nullopt;
        offset = minutes(sign * (*offsetHours * 60 + *offsetMinutes));
    }
    if (!in.atEnd() || *hour > 23 || *minute > 59 || *second > 59) return std::nullopt;

    date::year_month_day ymd{date::year(*year), date::month(static_cast<unsigned>(*month)),
                             date::day(static_cast<unsigned>(*day))};
    if (!ymd.ok()) return std::nullopt;
    date::sys_seconds whole =
        date::sys_days(ymd) + hours(*hour) + minutes(*minute) + seconds(*second);
    whole -= offset;

    // The system clock counts in nanoseconds and spans only about 1678 to 2262.
    auto limit = duration_cast<seconds>(system_clock::duration::max()) - seconds(1);
    if (whole.time_since_epoch() > limit || whole.time_since_epoch() < -limit) {
        return std::nullopt;
    }
    return time_point_cast<system_clock::duration>(whole) +
           duration_cast<system_clock::duration>(fraction);
}

}  // namespace vardex
