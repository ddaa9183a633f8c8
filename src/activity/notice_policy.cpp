#include "activity/notice_policy.hpp"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <vector>

namespace vardex {

bool NoticePolicy::inQuietHours(TimePoint now, const LocalCalendar& calendar) const {
    if (!quietHoursEnabled) return false;
    int m = calendar.minuteOfDay(now);
    if (quietStartMinutes == quietEndMinutes) return true;
    if (quietStartMinutes < quietEndMinutes) {
        return quietStartMinutes <= m && m < quietEndMinutes;
    }
    return m >= quietStartMinutes || m < quietEndMinutes;
}

bool NoticePolicy::shouldNotifyDailyBlock(TimePoint now, const LocalCalendar& calendar) const {
    if (inQuietHours(now, calendar)) return false;
    return dayStamp(now, calendar) != lastDailyBlockDay;
}

void NoticePolicy::markDailyBlock(TimePoint now, const LocalCalendar& calendar) {
    lastDailyBlockDay = dayStamp(now, calendar);
}

std::string NoticePolicy::dayStamp(TimePoint when, const LocalCalendar& calendar) {
    auto f = calendar.fields(when);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", f.year, f.month, f.day);
    return text;
}

namespace {

// A whole piece as a decimal integer with an optional sign, like a strict number field.
std::optional<long long> readInteger(std::string_view piece) {
    if (!piece.empty() && piece.front() == '+') {
        piece.remove_prefix(1);
        if (!piece.empty() && piece.front() == '-') return std::nullopt;
    }
    long long value = 0;
    auto [end, ec] = std::from_chars(piece.data(), piece.data() + piece.size(), value);
    if (ec != std::errc() || end != piece.data() + piece.size() || piece.empty()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

int NoticePolicy::parseClock(std::string_view text) {
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t colon = text.find(':', start);
        if (colon == std::string_view::npos) colon = text.size();
        if (colon > start) pieces.push_back(text.substr(start, colon - start));
        start = colon + 1;
    }
    auto component = [&](std::size_t index, long long max) {
        if (index >= pieces.size()) return 0LL;
        return std::clamp(readInteger(pieces[index]).value_or(0), 0LL, max);
    };
    return static_cast<int>(component(0, 23) * 60 + component(1, 59));
}

std::string NoticePolicy::formatClock(int minutes) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d", minutes / 60, minutes % 60);
    return text;
}

NoticePolicy NoticePolicy::fromSettings(const nlohmann::json& settings) {
    NoticePolicy policy;
    if (!settings.is_object()) return policy;
    auto integer = [&](const char* key, int fallback) {
        auto found = settings.find(key);
        if (found == settings.end() || !found->is_number_integer()) return fallback;
        auto value = found->get<long long>();
        if (value < INT32_MIN || value > INT32_MAX) return fallback;
        return static_cast<int>(value);
    };
    if (auto found = settings.find("quietHoursEnabled");
        found != settings.end() && found->is_boolean()) {
        policy.quietHoursEnabled = found->get<bool>();
    }
    policy.quietStartMinutes = integer("quietStartMinutes", policy.quietStartMinutes);
    policy.quietEndMinutes = integer("quietEndMinutes", policy.quietEndMinutes);
    if (auto found = settings.find("lastDailyBlockDay");
        found != settings.end() && found->is_string()) {
        policy.lastDailyBlockDay = found->get<std::string>();
    }
    return policy;
}

void NoticePolicy::writeSettings(nlohmann::json& settings) const {
    if (!settings.is_object()) settings = nlohmann::json::object();
    settings["quietHoursEnabled"] = quietHoursEnabled;
    settings["quietStartMinutes"] = quietStartMinutes;
    settings["quietEndMinutes"] = quietEndMinutes;
    settings["lastDailyBlockDay"] = lastDailyBlockDay;
}

}  // namespace vardex
