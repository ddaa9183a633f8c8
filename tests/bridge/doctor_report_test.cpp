#include "bridge/doctor_report.hpp"

#include <gtest/gtest.h>

#include "engine_script.hpp"

namespace vardex {
namespace {

using S = DoctorStatus;
using nlohmann::json;

// Read leniently: whatever is missing or mistyped takes its default. Only output that is no JSON
// object at all fails, and nothing at all is worth its own sentence.
struct ReadCase {
    const char *name, *json;
    std::uint32_t schemaVersion;
    DoctorStatus status;
    DoctorCheck auditLog;
    const char* error = "";
};

class DoctorReadTest : public ::testing::TestWithParam<ReadCase> {};

const DoctorCheck missing{S::warning, "Not reported."};
const DoctorCheck fine{S::ok, "fine"};
constexpr const char* notYet = "Health is not available yet.";

TEST_P(DoctorReadTest, ReadsLeniently) {
    const auto& c = GetParam();
    const auto report = DoctorReport::parse(c.json);
    EXPECT_EQ(report ? "" : report.error().description(), c.error);
    EXPECT_EQ(report ? std::tuple(report->schemaVersion, report->status, report->auditLog) : std::tuple(0u, S::warning, missing),
              std::tuple(c.schemaVersion, c.status, c.auditLog));
}

INSTANTIATE_TEST_SUITE_P(Reports, DoctorReadTest, ::testing::Values(
        ReadCase{"OnlyBlanks", " \n\t\r\n ", 0, S::warning, missing, "Health is not available yet. Turn protection on first."},
        ReadCase{"BareNumber", "  42\n", 0, S::warning, missing, notYet},
        ReadCase{"BrokenOff", "{\"status\": \"ok\", \"binary\": {", 0, S::warning, missing, notYet},
        // Bytes that are not UTF-8 are not trimmed, and are no JSON either.
        ReadCase{"NotUTF8", " {\"status\": \"ok\xff\"} ", 0, S::warning, missing, notYet},
        ReadCase{"VersionDigits", "{\"schema_version\":\"7\"}", 7, S::warning, missing},
        ReadCase{"VersionFraction", "{\"schema_version\":7.5}", 0, S::warning, missing},
        ReadCase{"VersionNegative", "{\"schema_version\":-1}", 0, S::warning, missing},
        ReadCase{"VersionTooLarge", "{\"schema_version\":4294967296}", 0, S::warning, missing},
        ReadCase{"StatusKelvinSign", "{\"status\":\"O\u212A\"}", 0, S::ok, missing},
        ReadCase{"UnknownWordTakesWorst", "{\"status\":\"degraded\",\"daemon\":{\"status\":\"error\"}}", 0, S::error, missing},
        ReadCase{"WorstOfHooks", R"({"binary":{"status":"ok"},"policy":{"status":"ok"},"daemon":{"status":"ok"},)"
                                 R"("audit_log":{"status":"ok","message":"fine"},"hooks":[{"status":"ok"},{"status":"Warning"}]})",
                 0, S::warning, fine},
        ReadCase{"CamelCaseAuditLog", "{\"auditLog\":{\"status\":\"ok\",\"message\":\"fine\"}}", 0, S::warning, fine},
        ReadCase{"SnakeCaseWins", R"({"audit_log":{"status":"ok","message":"fine"},"auditLog":{"status":"error"}})", 0, S::warning, fine},
        ReadCase{"CheckMistypedMembers", "{\"audit_log\":{\"status\":true,\"message\":17}}", 0, S::warning, missing}), testing::caseName);

// The strict form is what the engine writes: it reads back whole, and nothing less is accepted.
TEST(DoctorReportTest, StrictFormRoundTripsAndRequiresEveryKey) {
    const auto report = DoctorReport::parse(testing::readFile(testing::fixturePath("doctor_full.json")).value());
    ASSERT_TRUE(report.ok());
    EXPECT_EQ(report->daemon, (DoctorCheck{S::warning, "Daemon not running."}));
    const json encoded = doctor_json::toJson(*report);
    EXPECT_EQ(doctor_json::reportFromJson(encoded).value(), *report);
    for (const json& change : json::parse(R"([{"op": "remove", "path": "/schema_version"},
            {"op": "remove", "path": "/audit_log"}, {"op": "remove", "path": "/hooks"},
            {"op": "remove", "path": "/hooks/0/path"}, {"op": "replace", "path": "/status", "value": "OK"},
            {"op": "replace", "path": "/schema_version", "value": 4294967296}])")) {
        EXPECT_FALSE(doctor_json::reportFromJson(encoded.patch(json::array({change}))).ok()) << change;
    }
}

// A report despite a failure status, and no output at all, are the store's tests; the engine's own
// words are not shown, they only mean there is no report.
TEST(DoctorClientTest, AFailureWithoutAReportIsOneSentence) {
    testing::FakeEngine engine("echo 'daemon: not running'; exit 1");
    EXPECT_EQ(DoctorClient::run().error().description, "Health is not available yet.");
    EXPECT_EQ(engine.arguments(), (std::vector<std::string>{"doctor", "--json"}));
}

}  // namespace
}  // namespace vardex
