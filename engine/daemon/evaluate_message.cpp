#include "daemon/evaluate_message.hpp"

#include <nlohmann/json.hpp>

#include "protocol/protocol_json.hpp"

namespace vardex::engine {

Result<std::string, WireError> encodeEvaluateLine(const Action& action) {
    auto encoded = ProtocolJSON::encode(action);
    if (!encoded) return fail(encoded.error());
    nlohmann::json message{{"type", evaluateType}, {"action", nlohmann::json::parse(*encoded)}};
    return message.dump() + "\n";
}

}  // namespace vardex::engine
