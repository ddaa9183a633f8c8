#include "agents/config_json.hpp"

#include "text/unicode_text.hpp"

namespace vardex::engine {

Result<OrderedJson, ConfigProblem> parseConfigObject(const std::optional<std::string>& text) {
    if (!text || unicode::trimmed(*text).empty()) return OrderedJson::object();
    OrderedJson parsed = OrderedJson::parse(*text, nullptr, false);
    if (parsed.is_discarded()) return fail(ConfigProblem{"is not valid JSON"});
    if (!parsed.is_object()) return fail(ConfigProblem{"does not hold a JSON object"});
    return parsed;
}

std::string configText(const OrderedJson& object) { return object.dump(2) + "\n"; }

}  // namespace vardex::engine
