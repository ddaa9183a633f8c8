#include "protocol/protocol_json.hpp"

#include <cmath>
#include <limits>

namespace vardex {
namespace json_form {
namespace {

using nlohmann::json;

// The chain of keys leading to the value being read; materialised only for an error.
struct PathNode {
    const PathNode* parent = nullptr;
    std::string_view key;

    std::vector<std::string> keys() const {
        std::vector<std::string> out;
        for (const PathNode* node = this; node != nullptr; node = node->parent) {
            if (!node->key.empty()) out.emplace(out.begin(), node->key);
        }
        return out;
    }
};

std::string_view typeWord(const json& j) {
    switch (j.type()) {
        case json::value_t::object: return "an object";
        case json::value_t::array: return "an array";
        case json::value_t::string: return "text";
        case json::value_t::boolean: return "a boolean";
        case json::value_t::null: return "null";
        default: return "a number";
    }
}

[[noreturn]] void throwMismatch(const PathNode& at, std::string_view key, std::string_view expected,
                                const json& found) {
    PathNode here{&at, key};
    if (found.is_null()) {
        throw DecodingError::valueNotFound(std::string(key), std::string(expected), here.keys());
    }
    throw DecodingError::typeMismatch(
        std::string(key), std::string(expected) + " but " + std::string(typeWord(found)),
        here.keys());
}

class ObjectReader {
public:
    ObjectReader(const json& j, const PathNode& path, std::string_view what) : j_(j), path_(path) {
        if (!j.is_object()) {
            auto key = path.key.empty() ? std::string_view(what) : path.key;
            throwMismatch(path.parent ? *path.parent : path, key, "an object", j);
        }
    }

    const PathNode& path() const { return path_; }

    // A member that must be present and not null.
    const json& member(std::string_view key, std::string_view expected) const {
        const json* found = optionalMember(key);
        if (found == nullptr) {
            auto it = j_.find(key);
            PathNode here{&path_, key};
            if (it == j_.end()) throw DecodingError::keyNotFound(std::string(key), here.keys());
            throwMismatch(path_, key, expected, *it);
        }
        return *found;
    }

    // Absent and null read alike.
    const json* optionalMember(std::string_view key) const {
        auto it = j_.find(key);
        if (it == j_.end() || it->is_null()) return nullptr;
        return &*it;
    }

    std::string text(std::string_view key) const { return asText(member(key, "text"), key); }

    std::optional<std::string> optionalText(std::string_view key) const {
        const json* found = optionalMember(key);
        if (found == nullptr) return std::nullopt;
        return asText(*found, key);
    }

    bool boolean(std::string_view key) const {
        const json& value = member(key, "a boolean");
        if (!value.is_boolean()) throwMismatch(path_, key, "a boolean", value);
        return value.get<bool>();
    }

    double number(std::string_view key) const {
        const json& value = member(key, "a number");
        if (!value.is_number()) throwMismatch(path_, key, "a number", value);
        return value.get<double>();
    }

    template <class Int>
    Int integer(const json& value, std::string_view key) const {
        if (value.is_number_integer() || value.is_number_unsigned()) {
            if (value.is_number_unsigned()) {
                auto u = value.get<std::uint64_t>();
                if (u <= static_cast<std::uint64_t>(std::numeric_limits<Int>::max())) {
                    return static_cast<Int>(u);
                }
            } else {
                auto i = value.get<std::int64_t>();
                if (i >= static_cast<std::int64_t>(std::numeric_limits<Int>::min()) &&
                    (i < 0 || static_cast<std::uint64_t>(i) <=
                                  static_cast<std::uint64_t>(std::numeric_limits<Int>::max()))) {
                    return static_cast<Int>(i);
                }
            }
        } else if (value.is_number_float()) {
            double d = value.get<double>();
            // The largest value is compared as the power of two above it: rounded to a double,
            // it would let that power of two through, which does not fit.
            if (d == std::trunc(d) && d >= static_cast<double>(std::numeric_limits<Int>::min()) &&
                d < std::ldexp(1.0, std::numeric_limits<Int>::digits)) {
                return static_cast<Int>(d);
            }
        }
        throwMismatch(path_, key, "a whole number in range", value);
    }

    std::vector<std::string> textList(std::string_view key) const {
        return asTextList(member(key, "an array"), key);
    }

    // Absent or null gives the empty list.
    std::vector<std::string> textListOrEmpty(std::string_view key) const {
        const json* found = optionalMember(key);
        return found == nullptr ? std::vector<std::string>{} : asTextList(*found, key);
    }

    template <class E>
    E enumeration(std::string_view key) const {
        return asEnum<E>(member(key, "text"), key);
    }

    template <class E>
    E asEnum(const json& value, std::string_view key) const {
        std::string text = asText(value, key);
        if (auto parsed = parseWireText<E>(text)) return *parsed;
        PathNode here{&path_, key};
        throw DecodingError::corrupted(
            "unknown value \"" + text + "\" for member \"" + std::string(key) + "\"", here.keys());
    }

    // The tag of a tagged union; an unknown tag gets the given description.
    template <class Tags>
    std::size_t tag(std::string_view key, const Tags& tags, std::string_view unknownPrefix) const {
        std::string text = this->text(key);
        for (std::size_t i = 0; i < std::size(tags); ++i) {
            if (tags[i] == text) return i;
        }
        PathNode here{&path_, key};
        throw DecodingError::corrupted(std::string(unknownPrefix) + text, here.keys());
    }

    const json& array(std::string_view key) const {
        const json& value = member(key, "an array");
        if (!value.is_array()) throwMismatch(path_, key, "an array", value);
        return value;
    }

private:
    std::string asText(const json& value, std::string_view key) const {
        if (!value.is_string()) throwMismatch(path_, key, "text", value);
        return value.get<std::string>();
    }

    std::vector<std::string> asTextList(const json& value, std::string_view key) const {
        if (!value.is_array()) throwMismatch(path_, key, "an array", value);
        std::vector<std::string> out;
        out.reserve(value.size());
        for (const auto& element : value) out.push_back(asText(element, key));
        return out;
    }

    const json& j_;
    const PathNode& path_;
};

void checkDepth(int depth, const PathNode& path) {
    if (depth > maxDepth) {
        throw DecodingError::corrupted(
            "nesting deeper than " + std::to_string(maxDepth) + " levels", path.keys());
    }
}

JSONValue decodeValue(const json& j, const PathNode& path, int depth) {
    checkDepth(depth, path);
    switch (j.type()) {
        case json::value_t::null: return JSONValue::Null{};
        case json::value_t::boolean: return j.get<bool>();
        case json::value_t::number_integer:
        case json::value_t::number_unsigned:
        case json::value_t::number_float: return j.get<double>();
        case json::value_t::string: return j.get<std::string>();
        case json::value_t::array: {
            JSONValue::Array out;
            out.reserve(j.size());
            for (const auto& element : j) out.push_back(decodeValue(element, path, depth + 1));
            return out;
        }
        case json::value_t::object: {
            JSONValue::Object out;
            for (const auto& [key, member] : j.items()) {
                PathNode here{&path, key};
                out.emplace(key, decodeValue(member, here, depth + 1));
            }
            return out;
        }
        default: break;
    }
    throw DecodingError::corrupted("unsupported JSON value", path.keys());
}

RiskScore decodeRisk(const ObjectReader& reader, std::string_view key) {
    auto score = RiskScore::make(reader.number(key));
    if (!score) throw score.error();
    return *score;
}

AgentContext decodeContext(const json& j, const PathNode& path) {
    ObjectReader r(j, path, "context");
    return {r.enumeration<AgentKind>("agent"), r.text("session_id"), r.text("cwd"),
            r.boolean("autonomous")};
}

Decision decodeDecision(const json& j, const PathNode& path) {
    ObjectReader r(j, path, "decision");
    Decision d;
    d.outcome = r.enumeration<Outcome>("outcome");
    d.ruleId = r.optionalText("rule_id");
    d.matchedRuleIds = r.textListOrEmpty("matched_rule_ids");
    d.severity = r.enumeration<Severity>("severity");
    d.reasonUser = r.text("reason_user");
    d.reasonAgent = r.text("reason_agent");
    d.riskScore = decodeRisk(r, "risk_score");
    return d;
}

Redirect decodeRedirect(const json& j, const PathNode& path) {
    ObjectReader r(j, path, "redirect");
    Redirect out;
    if (const json* fd = r.optionalMember("fd")) out.fd = r.integer<std::uint32_t>(*fd, "fd");
    out.op = r.enumeration<RedirectOp>("op");
    out.target = r.text("target");
    out.body = r.optionalText("body");
    return out;
}

ArgvTree decodeTree(const json& j, const PathNode& path, int depth);

std::vector<ArgvTree> decodeTreeList(const json& list, const PathNode& path, int depth) {
    std::vector<ArgvTree> out;
    out.reserve(list.size());
    for (const auto& element : list) out.push_back(decodeTree(element, path, depth + 1));
    return out;
}

ArgvTree decodeTree(const json& j, const PathNode& path, int depth) {
    checkDepth(depth, path);
    ObjectReader r(j, path, "argv_tree");
    static constexpr std::string_view nodes[] = {"command", "pipeline", "list", "group", "unparsed"};
    switch (r.tag("node", nodes, "unknown argv_tree node ")) {
        case 0: {
            ArgvTree::Command c;
            c.argv = r.textList("argv");
            if (const json* redirects = r.optionalMember("redirects")) {
                PathNode here{&path, "redirects"};
                if (!redirects->is_array()) throwMismatch(path, "redirects", "an array", *redirects);
                for (const auto& element : *redirects) c.redirects.push_back(decodeRedirect(element, here));
            }
            if (const json* subs = r.optionalMember("substitutions")) {
                PathNode here{&path, "substitutions"};
                if (!subs->is_array()) throwMismatch(path, "substitutions", "an array", *subs);
                c.substitutions = decodeTreeList(*subs, here, depth);
            }
            c.env = r.textListOrEmpty("env");
            c.wrappers = r.textListOrEmpty("wrappers");
            return {std::move(c)};
        }
        case 1: {
            PathNode here{&path, "commands"};
            return {ArgvTree::Pipeline{decodeTreeList(r.array("commands"), here, depth)}};
        }
        case 2: {
            auto op = r.enumeration<ListOp>("op");
            PathNode left{&path, "left"};
            PathNode right{&path, "right"};
            return {ArgvTree::List{op, decodeTree(r.member("left", "an object"), left, depth + 1),
                                   decodeTree(r.member("right", "an object"), right, depth + 1)}};
        }
        case 3: {
            PathNode body{&path, "body"};
            return {ArgvTree::Group{decodeTree(r.member("body", "an object"), body, depth + 1)}};
        }
        default: return {ArgvTree::Unparsed{r.text("raw")}};
    }
}

BodySource decodeBodySource(const json& j, const PathNode& path) {
    ObjectReader r(j, path, "body_source");
    static constexpr std::string_view types[] = {"file", "inline", "stdin"};
    switch (r.tag("type", types, "unknown body_source type ")) {
        case 0: return {BodySource::File{r.text("path")}};
        case 1: return {BodySource::Inline{r.text("text")}};
        default: return {BodySource::Stdin{}};
    }
}

Action decodeAction(const json& j, const PathNode& path) {
    ObjectReader r(j, path, "action");
    PathNode contextPath{&path, "context"};
    AgentContext context = decodeContext(r.member("context", "an object"), contextPath);
    static constexpr std::string_view kinds[] = {"shell",       "file_read", "file_write",
                                                 "file_delete", "network",   "mcp_tool_call"};
    switch (r.tag("kind", kinds, "unknown action kind ")) {
        case 0: {
            ShellAction shell;
            PathNode treePath{&path, "argv_tree"};
            shell.argvTree = decodeTree(r.member("argv_tree", "an object"), treePath, 1);
            shell.raw = r.text("raw");
            shell.cwd = r.text("cwd");
            if (const json* flags = r.optionalMember("obfuscation")) {
                if (!flags->is_array()) throwMismatch(path, "obfuscation", "an array", *flags);
                for (const auto& flag : *flags) {
                    shell.obfuscation.push_back(r.asEnum<ObfuscationFlag>(flag, "obfuscation"));
                }
            }
            return {std::move(context), std::move(shell)};
        }
        case 1: return {std::move(context), FileReadAction{r.text("path")}};
        case 2: return {std::move(context), FileWriteAction{r.text("path")}};
        case 3: return {std::move(context), FileDeleteAction{r.text("path")}};
        case 4: {
            NetworkAction network{r.optionalText("url"), r.optionalText("host"),
                                  r.optionalText("method"), std::nullopt};
            if (const json* body = r.optionalMember("body_source")) {
                PathNode bodyPath{&path, "body_source"};
                network.bodySource = decodeBodySource(*body, bodyPath);
            }
            return {std::move(context), std::move(network)};
        }
        default: {
            McpToolCallAction call{r.text("server"), r.text("tool"), {}};
            PathNode argsPath{&path, "args_json"};
            auto it = j.find("args_json");
            if (it == j.end()) throw DecodingError::keyNotFound("args_json", argsPath.keys());
            call.argsJson = decodeValue(*it, argsPath, 1);
            return {std::move(context), std::move(call)};
        }
    }
}

ApprovalRequest decodeRequest(const json& j, const PathNode& path) {
    ObjectReader r(j, path, "approval_request");
    ApprovalRequest request;
    request.id = r.text("id");
    request.actionSummary = r.text("action_summary");
    request.rule = r.optionalText("rule");
    request.severity = r.enumeration<Severity>("severity");
    request.risk = decodeRisk(r, "risk");
    request.reasonUser = r.text("reason_user");
    PathNode agentPath{&path, "agent"};
    request.agent = decodeContext(r.member("agent", "an object"), agentPath);
    if (const json* breakdown = r.optionalMember("breakdown")) request.breakdown = breakdownFromJson(*breakdown);
    return request;
}

ApprovalResponse decodeResponse(const json& j, const PathNode& path) {
    ObjectReader r(j, path, "approval_response");
    return {r.text("id"), r.enumeration<ApprovalVerdict>("verdict"), r.text("by")};
}

DecisionEvent decodeEvent(const json& j, const PathNode& path) {
    ObjectReader r(j, path, "decision");
    DecisionEvent event;
    event.agent = r.enumeration<AgentKind>("agent");
    event.session = r.text("session");
    event.ruleId = r.optionalText("rule_id");
    event.decision = r.enumeration<Outcome>("decision");
    event.severity = r.enumeration<Severity>("severity");
    event.riskScore = decodeRisk(r, "risk_score");
    event.reasonUser = r.text("reason_user");
    event.reasonAgent = r.text("reason_agent");
    event.matchedRuleIds = r.textListOrEmpty("matched_rule_ids");
    event.actionSummary = r.optionalText("action_summary");
    return event;
}

IpcMessage decodeMessage(const json& j, const PathNode& path) {
    ObjectReader r(j, path, "message");
    static constexpr std::string_view types[] = {"hello", "approval_request", "approval_response",
                                                 "event", "subscribe",        "ping",
                                                 "notice"};
    switch (r.tag("type", types, "unknown IPC type ")) {
        case 0: {
            auto role = r.enumeration<IpcRole>("role");
            auto version = r.integer<std::int64_t>(r.member("version", "a number"), "version");
            return {IpcMessage::Hello{role, version}};
        }
        case 1: return {decodeRequest(j, path)};
        case 2: return {decodeResponse(j, path)};
        case 3: {
            PathNode decisionPath{&path, "decision"};
            return {IpcMessage::Event{decodeEvent(r.member("decision", "an object"), decisionPath)}};
        }
        case 4: return {IpcMessage::Subscribe{}};
        case 6: return {IpcMessage::Notice{r.text("text")}};
        default: return {IpcMessage::Ping{}};
    }
}

const PathNode root{};

// Leaves optional members out instead of writing null.
template <class T>
void putOptional(json& out, const char* key, const std::optional<T>& value) {
    if (value) out[key] = *value;
}

json wire(auto value) { return std::string(wireText(value)); }

json textArray(const std::vector<std::string>& texts) {
    json out = json::array();
    for (const auto& text : texts) out.push_back(text);
    return out;
}

}  // namespace

json toJson(const JSONValue& value) {
    switch (value.kind()) {
        case JSONValue::Kind::boolean: return *value.asBool();
        case JSONValue::Kind::number: {
            double d = *value.asNumber();
            if (!std::isfinite(d)) {
                throw EncodingError{"number " + shortestDecimal(d) + " is not valid JSON"};
            }
            return d;
        }
        case JSONValue::Kind::string: return *value.asString();
        case JSONValue::Kind::array: {
            json out = json::array();
            for (const auto& element : *value.asArray()) out.push_back(toJson(element));
            return out;
        }
        case JSONValue::Kind::object: {
            json out = json::object();
            for (const auto& [key, member] : *value.asObject()) out[key] = toJson(member);
            return out;
        }
        case JSONValue::Kind::null: break;
    }
    return nullptr;
}

json toJson(const AgentContext& value) {
    return {{"agent", wire(value.agent)},
            {"session_id", value.sessionId},
            {"cwd", value.cwd},
            {"autonomous", value.autonomous}};
}

json toJson(const Decision& value) {
    json out = {{"outcome", wire(value.outcome)},
                {"matched_rule_ids", textArray(value.matchedRuleIds)},
                {"severity", wire(value.severity)},
                {"reason_user", value.reasonUser},
                {"reason_agent", value.reasonAgent},
                {"risk_score", value.riskScore.value()}};
    putOptional(out, "rule_id", value.ruleId);
    return out;
}

json toJson(const Redirect& value) {
    json out = {{"op", wire(value.op)}, {"target", value.target}};
    putOptional(out, "fd", value.fd);
    putOptional(out, "body", value.body);
    return out;
}

json toJson(const ArgvTree& value) {
    json out = {{"node", std::string(value.nodeName())}};
    std::visit(
        [&out](const auto& node) {
            using T = std::decay_t<decltype(node)>;
            if constexpr (std::is_same_v<T, ArgvTree::Command>) {
                out["argv"] = textArray(node.argv);
                if (!node.redirects.empty()) {
                    json& list = out["redirects"] = json::array();
                    for (const auto& r : node.redirects) list.push_back(toJson(r));
                }
                if (!node.substitutions.empty()) {
                    json& list = out["substitutions"] = json::array();
                    for (const auto& s : node.substitutions) list.push_back(toJson(s));
                }
                if (!node.env.empty()) out["env"] = textArray(node.env);
                if (!node.wrappers.empty()) out["wrappers"] = textArray(node.wrappers);
            } else if constexpr (std::is_same_v<T, ArgvTree::Pipeline>) {
                json& list = out["commands"] = json::array();
                for (const auto& c : node.commands) list.push_back(toJson(c));
            } else if constexpr (std::is_same_v<T, ArgvTree::List>) {
                out["op"] = wire(node.op);
                out["left"] = toJson(*node.left);
                out["right"] = toJson(*node.right);
            } else if constexpr (std::is_same_v<T, ArgvTree::Group>) {
                out["body"] = toJson(*node.body);
            } else {
                out["raw"] = node.raw;
            }
        },
        value.node);
    return out;
}

json toJson(const BodySource& value) {
    return std::visit(
        [](const auto& source) -> json {
            using T = std::decay_t<decltype(source)>;
            if constexpr (std::is_same_v<T, BodySource::File>) {
                return {{"type", "file"}, {"path", source.path}};
            } else if constexpr (std::is_same_v<T, BodySource::Inline>) {
                return {{"type", "inline"}, {"text", source.text}};
            } else {
                return {{"type", "stdin"}};
            }
        },
        value.source);
}

json toJson(const Action& value) {
    json out = {{"context", toJson(value.context)}, {"kind", std::string(actionKindName(value.kind))}};
    std::visit(
        [&out](const auto& kind) {
            using T = std::decay_t<decltype(kind)>;
            if constexpr (std::is_same_v<T, ShellAction>) {
                out["argv_tree"] = toJson(kind.argvTree);
                out["raw"] = kind.raw;
                out["cwd"] = kind.cwd;
                if (!kind.obfuscation.empty()) {
                    json& flags = out["obfuscation"] = json::array();
                    for (auto flag : kind.obfuscation) flags.push_back(wire(flag));
                }
            } else if constexpr (std::is_same_v<T, NetworkAction>) {
                putOptional(out, "url", kind.url);
                putOptional(out, "host", kind.host);
                putOptional(out, "method", kind.method);
                if (kind.bodySource) out["body_source"] = toJson(*kind.bodySource);
            } else if constexpr (std::is_same_v<T, McpToolCallAction>) {
                out["server"] = kind.server;
                out["tool"] = kind.tool;
                out["args_json"] = toJson(kind.argsJson);
            } else {
                out["path"] = kind.path;
            }
        },
        value.kind);
    return out;
}

json toJson(const ApprovalRequest& value) {
    json out = {{"id", value.id},
                {"action_summary", value.actionSummary},
                {"severity", wire(value.severity)},
                {"risk", value.risk.value()},
                {"reason_user", value.reasonUser},
                {"agent", toJson(value.agent)}};
    putOptional(out, "rule", value.rule);
    if (!value.breakdown.empty()) out["breakdown"] = toJson(value.breakdown);
    return out;
}

json toJson(const std::vector<CommandPart>& breakdown) {
    json out = json::array();
    for (const auto& part : breakdown) {
        out.push_back({{"text", part.text}, {"piped", part.piped}, {"flagged", part.flagged}, {"notes", textArray(part.notes)}});
    }
    return out;
}

std::vector<CommandPart> breakdownFromJson(const json& j) {
    const auto flag = [](const json& item, std::string_view key) {
        const auto found = item.find(key);
        return found != item.end() && found->is_boolean() && found->get<bool>();
    };
    std::vector<CommandPart> parts;
    if (!j.is_array()) return parts;
    for (const auto& item : j) {
        if (!item.is_object()) continue;
        const auto text = item.find("text");
        if (text == item.end() || !text->is_string()) continue;
        CommandPart part;
        part.text = text->get<std::string>();
        part.piped = flag(item, "piped");
        part.flagged = flag(item, "flagged");
        if (const auto notes = item.find("notes"); notes != item.end() && notes->is_array()) {
            for (const auto& note : *notes) {
                if (note.is_string()) part.notes.push_back(note.get<std::string>());
            }
        }
        parts.push_back(std::move(part));
    }
    return parts;
}

json toJson(const ApprovalResponse& value) {
    return {{"id", value.id}, {"verdict", wire(value.verdict)}, {"by", value.by}};
}

json toJson(const DecisionEvent& value) {
    json out = {{"agent", wire(value.agent)},
                {"session", value.session},
                {"decision", wire(value.decision)},
                {"severity", wire(value.severity)},
                {"risk_score", value.riskScore.value()},
                {"reason_user", value.reasonUser},
                {"reason_agent", value.reasonAgent},
                {"matched_rule_ids", textArray(value.matchedRuleIds)}};
    putOptional(out, "rule_id", value.ruleId);
    putOptional(out, "action_summary", value.actionSummary);
    return out;
}

json toJson(const IpcMessage& value) {
    json out = std::visit(
        [](const auto& payload) -> json {
            using T = std::decay_t<decltype(payload)>;
            if constexpr (std::is_same_v<T, IpcMessage::Hello>) {
                return {{"role", wire(payload.role)}, {"version", payload.version}};
            } else if constexpr (std::is_same_v<T, ApprovalRequest> ||
                                 std::is_same_v<T, ApprovalResponse>) {
                return toJson(payload);
            } else if constexpr (std::is_same_v<T, IpcMessage::Event>) {
                return {{"decision", toJson(payload.decision)}};
            } else if constexpr (std::is_same_v<T, IpcMessage::Notice>) {
                return {{"text", payload.text}};
            } else {
                return json::object();
            }
        },
        value.payload);
    out["type"] = std::string(value.typeName());
    return out;
}

JSONValue fromJson(const json& j, Tag<JSONValue>) { return decodeValue(j, root, 0); }
AgentContext fromJson(const json& j, Tag<AgentContext>) { return decodeContext(j, root); }
Decision fromJson(const json& j, Tag<Decision>) { return decodeDecision(j, root); }
Redirect fromJson(const json& j, Tag<Redirect>) { return decodeRedirect(j, root); }
ArgvTree fromJson(const json& j, Tag<ArgvTree>) { return decodeTree(j, root, 0); }
BodySource fromJson(const json& j, Tag<BodySource>) { return decodeBodySource(j, root); }
Action fromJson(const json& j, Tag<Action>) { return decodeAction(j, root); }
ApprovalRequest fromJson(const json& j, Tag<ApprovalRequest>) { return decodeRequest(j, root); }
ApprovalResponse fromJson(const json& j, Tag<ApprovalResponse>) { return decodeResponse(j, root); }
DecisionEvent fromJson(const json& j, Tag<DecisionEvent>) { return decodeEvent(j, root); }
IpcMessage fromJson(const json& j, Tag<IpcMessage>) { return decodeMessage(j, root); }

}  // namespace json_form

bool isValidUTF8(std::string_view bytes) {
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t length;
        std::uint32_t cp;
        if ((c & 0xE0) == 0xC0) {
            length = 2;
            cp = c & 0x1Fu;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3;
            cp = c & 0x0Fu;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4;
            cp = c & 0x07u;
        } else {
            return false;
        }
        if (i + length > n) return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (s[i + k] & 0x3Fu);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        static constexpr std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < smallest[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += length;
    }
    return true;
}

namespace ProtocolJSON {

template <class T>
Result<std::string, WireError> encode(const T& value) {
    try {
        return json_form::toJson(value).dump();
    } catch (const EncodingError& e) {
        return fail(WireError(e));
    } catch (const nlohmann::json::type_error&) {
        // dump() refuses text that is not UTF-8.
        return fail(WireError(SocketClientError::invalidUTF8()));
    }
}

template <class T>
Result<T, DecodingError> fromTree(const nlohmann::json& tree) {
    try {
        return json_form::fromJson(tree, json_form::Tag<T>{});
    } catch (const DecodingError& e) {
        return fail(e);
    }
}

template <class T>
Result<T, WireError> decode(std::string_view text) {
    if (!isValidUTF8(text)) return fail(WireError(SocketClientError::invalidUTF8()));
    nlohmann::json tree;
    try {
        tree = nlohmann::json::parse(text);
    } catch (const nlohmann::json::exception& e) {
        // Syntax errors, and numbers too large for a double.
        return fail(WireError(DecodingError::malformed(e.what())));
    }
    auto result = fromTree<T>(tree);
    if (!result) return fail(WireError(result.error()));
    return std::move(result).value();
}

#define VARDEX_PROTOCOL_RECORD(T)                                                  \
    template Result<std::string, WireError> encode<T>(const T&);                   \
    template Result<T, DecodingError> fromTree<T>(const nlohmann::json&);          \
    template Result<T, WireError> decode<T>(std::string_view);

VARDEX_PROTOCOL_RECORD(JSONValue)
VARDEX_PROTOCOL_RECORD(AgentContext)
VARDEX_PROTOCOL_RECORD(Decision)
VARDEX_PROTOCOL_RECORD(ArgvTree)
VARDEX_PROTOCOL_RECORD(Redirect)
VARDEX_PROTOCOL_RECORD(BodySource)
VARDEX_PROTOCOL_RECORD(Action)
VARDEX_PROTOCOL_RECORD(ApprovalRequest)
VARDEX_PROTOCOL_RECORD(ApprovalResponse)
VARDEX_PROTOCOL_RECORD(DecisionEvent)
VARDEX_PROTOCOL_RECORD(IpcMessage)
#undef VARDEX_PROTOCOL_RECORD

}  // namespace ProtocolJSON
}  // namespace vardex
