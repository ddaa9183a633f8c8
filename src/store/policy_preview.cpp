#include "store/policy_preview.hpp"

#include "strings/ui_strings.hpp"

namespace vardex {

std::string PolicyPreview::sentence() const {
    if (running) return std::string(UIStrings::replayRunning);
    if (!replay) return error.value_or(std::string(UIStrings::replayUnavailable));
    if (replay->changesNothing()) return std::string(UIStrings::replayNothing);
    std::string out;
    for (const auto& shift : replay->shifts()) {
        if (!out.empty()) out += "\n";
        out += UIStrings::replayShift(shift.before, shift.after, static_cast<long long>(shift.count), shift.examples);
    }
    if (replay->moreDifferences > 0) {
        if (!out.empty()) out += "\n";
        out += UIStrings::replayMore(static_cast<long long>(replay->moreDifferences));
    }
    return out;
}

}  // namespace vardex
