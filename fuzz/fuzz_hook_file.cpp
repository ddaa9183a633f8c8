// Feeds arbitrary bytes to the engine's edits of an agent's hook file (the first byte chooses the
// agent). Whatever the file holds, the edits must not crash, and a file they change must stay
// valid JSON with the engine's hooks in it after an install and none after a removal.

#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string>

#include <nlohmann/json.hpp>

#include "agents/hook_entries.hpp"

namespace {

bool isJson(const std::string& text) { return !nlohmann::json::parse(text, nullptr, false).is_discarded(); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vardex::engine;
    if (size == 0) return 0;
    const auto family = hookFamilies[data[0] % std::size(hookFamilies)];
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const auto installed = withHook(text, family, hookCommand("/usr/bin/vardex", family));
    if (installed) {
        if (!isJson(*installed)) std::abort();
        if (installedHooks(*installed, family).size() != hookEvents(family).size()) std::abort();
        const auto removed = withoutHook(*installed, family);
        if (!removed || !isJson(*removed) || !installedHooks(*removed, family).empty()) std::abort();
    }
    if (const auto removed = withoutHook(text, family); removed && !isJson(*removed)) std::abort();
    return 0;
}
