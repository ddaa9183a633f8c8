#pragma once

#include <string>
#include <string_view>

namespace vardex {

class VardexStore;

// The one-word summary the popover and the home screen lead with. Only one can show: a pause or
// stopped agents win, then a lost connection, then an app that needs fixing.
enum class HomeStatusKind { protected_, needsFix, off, paused };

struct HomeStatusLine {
    HomeStatusKind kind;
    std::string title;
    std::string_view symbol;
    std::string subtitle;
};

HomeStatusKind homeStatusKind(const VardexStore& store);
HomeStatusLine homeStatusLine(const VardexStore& store);

}  // namespace vardex
