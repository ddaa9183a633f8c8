#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "common/result.hpp"
#include "protocol/action.hpp"
#include "protocol/decoding_error.hpp"
#include "protocol/ipc_message.hpp"
#include "protocol/wire_error.hpp"

namespace vardex {

// The JSON forms of the protocol records. `toJson` fails (EncodingError) only for numbers
// that are not finite; `fromJson` reads leniently where optional members allow and fails
// with a DecodingError that names the key otherwise.
namespace json_form {

nlohmann::json toJson(const JSONValue& value);
nlohmann::json toJson(const AgentContext& value);
nlohmann::json toJson(const Decision& value);
nlohmann::json toJson(const Redirect& value);
nlohmann::json toJson(const ArgvTree& value);
nlohmann::json toJson(const BodySource& value);
nlohmann::json toJson(const Action& value);
nlohmann::json toJson(const ApprovalRequest& value);
nlohmann::json toJson(const std::vector<CommandPart>& breakdown);
nlohmann::json toJson(const ApprovalResponse& value);
nlohmann::json toJson(const DecisionEvent& value);
nlohmann::json toJson(const IpcMessage& value);

template <class T>
struct Tag {};

// Nesting deeper than this is refused as corrupt data rather than risking the stack.
inline constexpr int maxDepth = 256;

JSONValue fromJson(const nlohmann::json& j, Tag<JSONValue>);
AgentContext fromJson(const nlohmann::json& j, Tag<AgentContext>);
Decision fromJson(const nlohmann::json& j, Tag<Decision>);
Redirect fromJson(const nlohmann::json& j, Tag<Redirect>);
ArgvTree fromJson(const nlohmann::json& j, Tag<ArgvTree>);
BodySource fromJson(const nlohmann::json& j, Tag<BodySource>);
Action fromJson(const nlohmann::json& j, Tag<Action>);
ApprovalRequest fromJson(const nlohmann::json& j, Tag<ApprovalRequest>);
ApprovalResponse fromJson(const nlohmann::json& j, Tag<ApprovalResponse>);
DecisionEvent fromJson(const nlohmann::json& j, Tag<DecisionEvent>);
IpcMessage fromJson(const nlohmann::json& j, Tag<IpcMessage>);

// A command breakdown read leniently: it only helps a person weigh a question, so parts that are
// not well formed are left out instead of failing the message that carries them.
std::vector<CommandPart> breakdownFromJson(const nlohmann::json& j);

}  // namespace json_form

// The one JSON configuration for protocol messages: compact output, keys sorted at every
// level, a number that is not finite refused.
namespace ProtocolJSON {

template <class T>
Result<std::string, WireError> encode(const T& value);

// Reads a record from already parsed JSON.
template <class T>
Result<T, DecodingError> fromTree(const nlohmann::json& tree);

// Reads a record from text; the text must be UTF-8 (else `invalidUTF8`).
template <class T>
Result<T, WireError> decode(std::string_view text);

}  // namespace ProtocolJSON

// True when the bytes are well-formed UTF-8.
bool isValidUTF8(std::string_view bytes);

}  // namespace vardex
