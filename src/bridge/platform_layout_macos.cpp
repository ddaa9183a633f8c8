#include "bridge/home_layout.hpp"

// macOS keeps the user's Library layout it always had.
namespace vardex {

HomeLayout platformLayout(const LayoutEnvironment& environment) { return libraryLayout(environment); }

std::vector<HomeLayout> earlierLayouts(const LayoutEnvironment&) { return {}; }

}  // namespace vardex
