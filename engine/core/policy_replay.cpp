#include "core/policy_replay.hpp"

#include <istream>
#include <optional>
#include <unordered_map>

#include "core/evaluator.hpp"
#include "protocol/protocol_json.hpp"
#include "protocol/wire_enum.hpp"

namespace vardex::engine {
namespace {

struct Decided {
    std::optional<Decision> before, after;  // nothing: the action could not be read back
};

Decided decideBoth(const nlohmann::json& logged, const EnginePolicy& inForce, const EnginePolicy& candidate) {
    nlohmann::json object = logged;
    // The log keeps no context: relative paths are taken from the home folder.
    object["context"] = {{"agent", "shim"}, {"session_id", "replay"}, {"cwd", inForce.home}, {"autonomous", false}};
    auto action = ProtocolJSON::fromTree<Action>(object);
    if (!action) return {};
    return {evaluate(*action, inForce), evaluate(*action, candidate)};
}

std::string text(const nlohmann::json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

}  // namespace

ReplayReport replayActions(const std::vector<LoggedAction>& entries, const EnginePolicy& inForce,
                           const EnginePolicy& candidate, std::size_t limit) {
    ReplayReport report;
    std::unordered_map<std::string, Decided> seen;
    for (const auto& entry : entries) {
        ++report.checked;
        auto [at, fresh] = seen.try_emplace(entry.action.dump());
        if (fresh) at->second = decideBoth(entry.action, inForce, candidate);
        const auto& decided = at->second;
        if (!decided.before) {
            ++report.unreadable;
            continue;
        }
        if (decided.before->outcome == decided.after->outcome) continue;
        if (report.differences.size() < limit) {
            report.differences.push_back({entry, *decided.before, *decided.after});
        } else {
            ++report.moreDifferences;
        }
    }
    return report;
}

std::vector<LoggedAction> readLoggedActions(std::istream& log, std::string_view since) {
    std::vector<LoggedAction> entries;
    std::string raw;
    while (std::getline(log, raw)) {
        const auto line = nlohmann::json::parse(raw, nullptr, false);
        if (!line.is_object() || !line.contains("action") || !line["action"].is_object()) continue;
        auto ts = text(line, "ts");
        if (ts < since) continue;
        const auto decision = parseWireText<Outcome>(text(line, "decision"));
        entries.push_back({std::move(ts), text(line, "agent"), line["action"], decision.value_or(Outcome::allow)});
    }
    return entries;
}

}  // namespace vardex::engine
