#include "protocol/json_value.hpp"

namespace vardex {

nlohmann::json jsonValueToAny(const JSONValue& value) {
    switch (value.kind()) {
        case JSONValue::Kind::boolean: return *value.asBool();
        case JSONValue::Kind::number: return *value.asNumber();
        case JSONValue::Kind::string: return *value.asString();
        case JSONValue::Kind::array: {
            auto out = nlohmann::json::array();
            for (const auto& element : *value.asArray()) out.push_back(jsonValueToAny(element));
            return out;
        }
        case JSONValue::Kind::object: {
            auto out = nlohmann::json::object();
            for (const auto& [key, member] : *value.asObject()) out[key] = jsonValueToAny(member);
            return out;
        }
        case JSONValue::Kind::null: break;
    }
    return nullptr;
}

}  // namespace vardex
