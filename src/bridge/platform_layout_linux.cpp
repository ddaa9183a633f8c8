#include "bridge/home_layout.hpp"

// Linux follows the XDG base directories. Builds before them kept the macOS layout.
namespace vardex {

HomeLayout platformLayout(const LayoutEnvironment& environment) { return xdgLayout(environment); }

std::vector<HomeLayout> earlierLayouts(const LayoutEnvironment& environment) { return {libraryLayout(environment)}; }

}  // namespace vardex
