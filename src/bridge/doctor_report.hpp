#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "bridge/vardex_cli.hpp"
#include "common/result.hpp"
#include "protocol/decoding_error.hpp"
#include "protocol/wire_enum.hpp"

namespace vardex {

// Declared from best to worst so the built-in comparisons order them and `max` is the worst.
enum class DoctorStatus { ok, warning, error };

template <>
struct WireNames<DoctorStatus> {
    static constexpr std::array<std::pair<DoctorStatus, std::string_view>, 3> table{{
        {DoctorStatus::ok, "ok"}, {DoctorStatus::warning, "warning"}, {DoctorStatus::error, "error"}}};
};

struct DoctorCheck {
    DoctorStatus status = DoctorStatus::warning;
    std::string message = "Not reported.";

    friend bool operator==(const DoctorCheck&, const DoctorCheck&) = default;
};

// One coding agent's hook as the engine found it installed.
struct DoctorHook {
    std::string agent = "unknown";
    std::string path;
    DoctorStatus status = DoctorStatus::warning;
    std::string message = "No details.";

    std::string id() const { return agent + path; }

    friend bool operator==(const DoctorHook&, const DoctorHook&) = default;
};

class DoctorParseError {
public:
    enum class Kind { empty, invalidJSON, notAnObject };

    explicit DoctorParseError(Kind kind) : kind_(kind) {}
    Kind kind() const { return kind_; }
    std::string description() const;

    friend bool operator==(const DoctorParseError&, const DoctorParseError&) = default;

private:
    Kind kind_;
};

// The engine's own account of its health ("doctor --json").
struct DoctorReport {
    std::uint32_t schemaVersion = 0;
    DoctorStatus status = DoctorStatus::warning;
    DoctorCheck binary;
    std::vector<DoctorHook> hooks;
    DoctorCheck policy;
    DoctorCheck auditLog;
    DoctorCheck daemon;
    // Whether allowed shell commands run contained; engines from before the sandbox say nothing.
    std::optional<DoctorCheck> sandbox;

    // Reads whatever the engine printed. Only no output, output that is not JSON and JSON that
    // is not an object fail; every missing or mistyped member takes its default, so older and
    // newer engines still give a usable report.
    static Result<DoctorReport, DoctorParseError> parse(std::string_view bytes);

    friend bool operator==(const DoctorReport&, const DoctorReport&) = default;
};

// The strict form: exactly the keys of the records, all required. For the app's own storage
// and tests; the engine's output always goes through `DoctorReport::parse`.
namespace doctor_json {

nlohmann::json toJson(const DoctorCheck& check);
nlohmann::json toJson(const DoctorHook& hook);
nlohmann::json toJson(const DoctorReport& report);

Result<DoctorCheck, DecodingError> checkFromJson(const nlohmann::json& j);
Result<DoctorHook, DecodingError> hookFromJson(const nlohmann::json& j);
Result<DoctorReport, DecodingError> reportFromJson(const nlohmann::json& j);

}  // namespace doctor_json

// The sentence the health screen shows when no report could be had.
struct DoctorClientError {
    std::string description;

    friend bool operator==(const DoctorClientError&, const DoctorClientError&) = default;
};

namespace DoctorClient {

// Runs "doctor --json" and reads standard output whatever the exit status: an engine that
// finds a problem says so with a non-zero status and still prints its report.
Result<DoctorReport, DoctorClientError> run(std::chrono::milliseconds timeLimit = VardexCli::defaultTimeLimit);

}  // namespace DoctorClient

}  // namespace vardex
