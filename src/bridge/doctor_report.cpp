#include "bridge/doctor_report.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "bridge/engine_json.hpp"
#include "bridge/vardex_cli.hpp"
#include "protocol/protocol_json.hpp"
#include "strings/ui_strings.hpp"

namespace vardex {
namespace {

using nlohmann::json;
using engine_json::member;

std::optional<DoctorStatus> readStatus(const json* value) {
    const auto word = engine_json::text(value);
    if (!word) return std::nullopt;
    return parseWireText<DoctorStatus>(engine_json::lowercased(*word));
}

DoctorCheck readCheck(const json* value) {
    DoctorCheck check;
    if (value == nullptr || !value->is_object()) return check;
    check.status = readStatus(member(*value, "status")).value_or(DoctorStatus::warning);
    check.message = engine_json::textOr(*value, "message", check.message);
    return check;
}

DoctorHook readHook(const json& value) {
    DoctorHook hook;
    hook.agent = engine_json::textOr(value, "agent", hook.agent);
    hook.path = engine_json::textOr(value, "path", hook.path);
    hook.status = readStatus(member(value, "status")).value_or(DoctorStatus::warning);
    hook.message = engine_json::textOr(value, "message", hook.message);
    return hook;
}

constexpr std::uint32_t maxVersion = std::numeric_limits<std::uint32_t>::max();

std::optional<std::uint32_t> readVersion(const json* value) {
    if (value == nullptr) return std::nullopt;
    if (value->is_number_unsigned()) {
        const auto number = value->get<std::uint64_t>();
        if (number <= maxVersion) return static_cast<std::uint32_t>(number);
        return std::nullopt;
    }
    if (value->is_number_integer()) {
        const auto number = value->get<std::int64_t>();
        if (number >= 0 && number <= maxVersion) return static_cast<std::uint32_t>(number);
        return std::nullopt;
    }
    if (value->is_number_float()) {
        const double number = value->get<double>();
        if (number >= 0 && number <= maxVersion && std::trunc(number) == number) {
            return static_cast<std::uint32_t>(number);
        }
        return std::nullopt;
    }
    if (value->is_string()) {
        const auto& digits = value->get_ref<const std::string&>();
        if (digits.empty()) return std::nullopt;
        std::uint64_t number = 0;
        for (const char c : digits) {
            if (c < '0' || c > '9') return std::nullopt;
            number = number * 10 + static_cast<std::uint64_t>(c - '0');
            if (number > maxVersion) return std::nullopt;
        }
        return static_cast<std::uint32_t>(number);
    }
    return std::nullopt;
}

DoctorReport readReport(const json& object) {
    DoctorReport report;
    report.schemaVersion = readVersion(member(object, "schema_version")).value_or(0);
    report.binary = readCheck(member(object, "binary"));
    report.policy = readCheck(member(object, "policy"));
    report.daemon = readCheck(member(object, "daemon"));
    // Older engines wrote the key in camel case.
    const json* auditLog = object.contains("audit_log") ? member(object, "audit_log") : member(object, "auditLog");
    report.auditLog = readCheck(auditLog);
    if (const json* sandbox = member(object, "sandbox"); sandbox != nullptr && sandbox->is_object()) {
        report.sandbox = readCheck(sandbox);
    }
    if (const json* hooks = member(object, "hooks"); hooks != nullptr && hooks->is_array()) {
        for (const auto& element : *hooks) {
            if (element.is_object()) report.hooks.push_back(readHook(element));
        }
    }
    if (const auto status = readStatus(member(object, "status"))) {
        report.status = *status;
    } else {
        report.status = std::max({report.binary.status, report.policy.status, report.auditLog.status,
                                  report.daemon.status});
        if (report.sandbox) report.status = std::max(report.status, report.sandbox->status);
        for (const auto& hook : report.hooks) report.status = std::max(report.status, hook.status);
    }
    return report;
}

// Strict decoding helpers: every key required, of its exact type.
Result<const json*, DecodingError> required(const json& object, const char* key, json::value_t type,
                                            const char* typeName) {
    if (!object.is_object()) return fail(DecodingError::typeMismatch(key, "object"));
    const auto found = object.find(key);
    if (found == object.end()) return fail(DecodingError::keyNotFound(key));
    const bool matches = type == json::value_t::number_unsigned ? found->is_number_unsigned()
                                                                : found->type() == type;
    if (!matches) return fail(DecodingError::typeMismatch(key, typeName));
    return &*found;
}

Result<std::string, DecodingError> requiredText(const json& object, const char* key) {
    auto value = required(object, key, json::value_t::string, "string");
    if (!value) return fail(value.error());
    return (*value)->get<std::string>();
}

Result<DoctorStatus, DecodingError> requiredStatus(const json& object, const char* key) {
    auto word = requiredText(object, key);
    if (!word) return fail(word.error());
    const auto status = parseWireText<DoctorStatus>(*word);
    if (!status) return fail(DecodingError::corrupted("Cannot read the status \"" + *word + "\"", {key}));
    return *status;
}

}  // namespace

std::string DoctorParseError::description() const {
    switch (kind_) {
    case Kind::empty:
        return std::string(UIStrings::healthUnavailableFile);
    case Kind::invalidJSON:
    case Kind::notAnObject:
        return std::string(UIStrings::healthUnavailable);
    }
    return {};
}

Result<DoctorReport, DoctorParseError> DoctorReport::parse(std::string_view bytes) {
    const std::string text = isValidUTF8(bytes) ? engine_json::trimmed(bytes) : std::string(bytes);
    if (text.empty()) return fail(DoctorParseError(DoctorParseError::Kind::empty));
    const auto document = engine_json::parse(text);
    if (!document) return fail(DoctorParseError(DoctorParseError::Kind::invalidJSON));
    if (!document->is_object()) return fail(DoctorParseError(DoctorParseError::Kind::notAnObject));
    return readReport(*document);
}

namespace doctor_json {

json toJson(const DoctorCheck& check) {
    return {{"status", wireText(check.status)}, {"message", check.message}};
}

json toJson(const DoctorHook& hook) {
    return {{"agent", hook.agent}, {"path", hook.path}, {"status", wireText(hook.status)}, {"message", hook.message}};
}

json toJson(const DoctorReport& report) {
    json hooks = json::array();
    for (const auto& hook : report.hooks) hooks.push_back(toJson(hook));
    json encoded{{"schema_version", report.schemaVersion}, {"status", wireText(report.status)},
                 {"binary", toJson(report.binary)},        {"hooks", std::move(hooks)},
                 {"policy", toJson(report.policy)},        {"audit_log", toJson(report.auditLog)},
                 {"daemon", toJson(report.daemon)}};
    if (report.sandbox) encoded["sandbox"] = toJson(*report.sandbox);
    return encoded;
}

Result<DoctorCheck, DecodingError> checkFromJson(const json& j) {
    auto status = requiredStatus(j, "status");
    if (!status) return fail(status.error());
    auto message = requiredText(j, "message");
    if (!message) return fail(message.error());
    return DoctorCheck{*status, std::move(*message)};
}

Result<DoctorHook, DecodingError> hookFromJson(const json& j) {
    auto agent = requiredText(j, "agent");
    if (!agent) return fail(agent.error());
    auto path = requiredText(j, "path");
    if (!path) return fail(path.error());
    auto status = requiredStatus(j, "status");
    if (!status) return fail(status.error());
    auto message = requiredText(j, "message");
    if (!message) return fail(message.error());
    return DoctorHook{std::move(*agent), std::move(*path), *status, std::move(*message)};
}

Result<DoctorReport, DecodingError> reportFromJson(const json& j) {
    DoctorReport report;
    auto version = required(j, "schema_version", json::value_t::number_unsigned, "unsigned integer");
    if (!version) return fail(version.error());
    if ((*version)->get<std::uint64_t>() > maxVersion) {
        return fail(DecodingError::corrupted("The schema version does not fit in 32 bits", {"schema_version"}));
    }
    report.schemaVersion = (*version)->get<std::uint32_t>();
    auto status = requiredStatus(j, "status");
    if (!status) return fail(status.error());
    report.status = *status;

    const std::pair<const char*, DoctorCheck*> checks[] = {
        {"binary", &report.binary}, {"policy", &report.policy}, {"audit_log", &report.auditLog}, {"daemon", &report.daemon}};
    for (const auto& [key, target] : checks) {
        auto value = required(j, key, json::value_t::object, "object");
        if (!value) return fail(value.error());
        auto check = checkFromJson(**value);
        if (!check) return fail(check.error());
        *target = std::move(*check);
    }
    if (j.contains("sandbox")) {
        auto value = required(j, "sandbox", json::value_t::object, "object");
        if (!value) return fail(value.error());
        auto check = checkFromJson(**value);
        if (!check) return fail(check.error());
        report.sandbox = std::move(*check);
    }
    auto hooks = required(j, "hooks", json::value_t::array, "array");
    if (!hooks) return fail(hooks.error());
    for (const auto& element : **hooks) {
        auto hook = hookFromJson(element);
        if (!hook) return fail(hook.error());
        report.hooks.push_back(std::move(*hook));
    }
    return report;
}

}  // namespace doctor_json

Result<DoctorReport, DoctorClientError> DoctorClient::run(std::chrono::milliseconds timeLimit) {
    auto outcome = VardexCli::run({"doctor", "--json"}, std::nullopt, timeLimit);
    if (!outcome) return fail(DoctorClientError{outcome.error().description()});
    auto report = DoctorReport::parse(outcome->stdout);
    if (!report) return fail(DoctorClientError{report.error().description()});
    return std::move(*report);
}

}  // namespace vardex
