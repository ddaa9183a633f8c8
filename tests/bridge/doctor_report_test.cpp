#include "bridge/doctor_report.hpp"

#include <gtest/gtest.h>

#include "engine_script.hpp"
#include "support/temp_home.hpp"

namespace vardex {
namespace {

using S = DoctorStatus;
using nlohmann::json;

struct FailureCase {
    const char* name;
    std::string_view bytes;
    DoctorParseError::Kind kind;
    const char* text;
};

class DoctorFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(DoctorFailureTest, FailsWithItsSentence) {
    const auto& c = GetParam();
    const auto report = DoctorReport::parse(c.bytes);
    ASSERT_FALSE(report.ok());
    EXPECT_EQ(report.error().kind(), c.kind);
    EXPECT_EQ(report.error().description(), c.text);
}

constexpr const char* notYet = "Health is not available yet.";

INSTANTIATE_TEST_SUITE_P(
    Outputs, DoctorFailureTest,
    ::testing::Values(
        FailureCase{"Nothing", "", DoctorParseError::Kind::empty, "Health is not available yet. Turn protection on first."},
        FailureCase{"OnlyBlanks", " \n\t\r\n ", DoctorParseError::Kind::empty,
                    "Health is not available yet. Turn protection on first."},
        FailureCase{"Array", "[{\"status\":\"ok\"}]", DoctorParseError::Kind::notAnObject, notYet},
        FailureCase{"BareNumber", "  42\n", DoctorParseError::Kind::notAnObject, notYet},
        FailureCase{"BareNull", "null", DoctorParseError::Kind::notAnObject, notYet},
        FailureCase{"BrokenOff", "{\"status\": \"ok\", \"binary\": {", DoctorParseError::Kind::invalidJSON, notYet},
        FailureCase{"TwoDocuments", "{} {}", DoctorParseError::Kind::invalidJSON, notYet},
        FailureCase{"ProseFromAnOldEngine", "vardex doctor: all good", DoctorParseError::Kind::invalidJSON, notYet},
        FailureCase{"NumberBeyondDouble", "{\"schema_version\": 1e999}", DoctorParseError::Kind::invalidJSON, notYet},
        // Bytes that are not UTF-8 are not trimmed, and are no JSON either.
        FailureCase{"NotUTF8", " {\"status\": \"ok\xff\"} ", DoctorParseError::Kind::invalidJSON, notYet}),
    [](const auto& p) { return std::string(p.param.name); });

struct ReadCase {
    const char* name;
    const char* json;
    std::uint32_t schemaVersion;
    DoctorStatus status;
    DoctorCheck auditLog;
};

class DoctorReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(DoctorReadTest, ReadsLeniently) {
    const auto& c = GetParam();
    const auto report = DoctorReport::parse(c.json);
    ASSERT_TRUE(report.ok()) << report.error().description();
    EXPECT_EQ(report->schemaVersion, c.schemaVersion);
    EXPECT_EQ(report->status, c.status);
    EXPECT_EQ(report->auditLog, c.auditLog);
}

const DoctorCheck missing{S::warning, "Not reported."};
const DoctorCheck fine{S::ok, "fine"};
#define ALL_OK(extra) "{\"binary\":{\"status\":\"ok\"},\"policy\":{\"status\":\"ok\"},\"daemon\":{\"status\":\"ok\"}," \
    "\"audit_log\":{\"status\":\"ok\",\"message\":\"fine\"}" extra "}"

INSTANTIATE_TEST_SUITE_P(
    Reports, DoctorReadTest,
    ::testing::Values(
        ReadCase{"OnlyStatus", "{\"status\":\"ok\"}", 0, S::ok, missing},
        ReadCase{"VersionDigits", "{\"schema_version\":\"7\"}", 7, S::warning, missing},
        ReadCase{"VersionIntegralFloat", "{\"schema_version\":7.0}", 7, S::warning, missing},
        ReadCase{"VersionFraction", "{\"schema_version\":7.5}", 0, S::warning, missing},
        ReadCase{"VersionNegative", "{\"schema_version\":-1}", 0, S::warning, missing},
        ReadCase{"VersionTooLarge", "{\"schema_version\":4294967296}", 0, S::warning, missing},
        ReadCase{"VersionLargest", "{\"schema_version\":4294967295}", 4294967295u, S::warning, missing},
        ReadCase{"VersionHugeDigits", "{\"schema_version\":\"99999999999999999999999\"}", 0, S::warning, missing},
        ReadCase{"VersionSignedText", "{\"schema_version\":\"+7\"}", 0, S::warning, missing},
        ReadCase{"VersionEmptyText", "{\"schema_version\":\"\"}", 0, S::warning, missing},
        ReadCase{"VersionBool", "{\"schema_version\":true}", 0, S::warning, missing},
        ReadCase{"StatusCapitals", "{\"status\":\"OK\"}", 0, S::ok, missing},
        ReadCase{"StatusKelvinSign", "{\"status\":\"O\u212A\"}", 0, S::ok, missing},
        ReadCase{"UnknownWordTakesWorst", "{\"status\":\"degraded\",\"daemon\":{\"status\":\"error\"}}", 0, S::error, missing},
        ReadCase{"NumberStatusTakesWorst", ALL_OK(",\"status\":2"), 0, S::ok, fine},
        ReadCase{"WorstOfHooks", ALL_OK(",\"hooks\":[{\"status\":\"ok\"},{\"status\":\"Warning\"}]"), 0, S::warning, fine},
        ReadCase{"CamelCaseAuditLog", "{\"auditLog\":{\"status\":\"ok\",\"message\":\"fine\"}}", 0, S::warning, fine},
        ReadCase{"SnakeCaseWins",
                 "{\"audit_log\":{\"status\":\"ok\",\"message\":\"fine\"},\"auditLog\":{\"status\":\"error\"}}", 0,
                 S::warning, fine},
        ReadCase{"CheckNotAnObject", "{\"audit_log\":\"ok\"}", 0, S::warning, missing},
        ReadCase{"CheckMistypedMembers", "{\"audit_log\":{\"status\":true,\"message\":17}}", 0, S::warning, missing},
        ReadCase{"NullsEverywhere", "{\"status\":null,\"audit_log\":null,\"hooks\":null,\"schema_version\":null}", 0,
                 S::warning, missing},
        ReadCase{"SurroundedByBlankLines", "\n\n  {\"status\":\"error\"}\r\n", 0, S::error, missing}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(DoctorReportTest, HooksKeepOnlyObjectsWithTheirDefaults) {
    const auto report = DoctorReport::parse(
        R"({"hooks": [3, {"agent": "claude"}, "x", null, {"agent": 5, "path": "/p", "status": "ERROR", "message": "m", "extra": [[]]}]})");
    ASSERT_TRUE(report.ok());
    ASSERT_EQ(report->hooks.size(), 2u);
    EXPECT_EQ(report->hooks[0], (DoctorHook{"claude", "", S::warning, "No details."}));
    EXPECT_EQ(report->hooks[1], (DoctorHook{"unknown", "/p", S::error, "m"}));
    EXPECT_EQ(report->hooks[1].id(), "unknown/p");
    EXPECT_EQ(report->status, S::error);
    EXPECT_TRUE(DoctorReport::parse(R"({"hooks": {"agent": "claude"}})")->hooks.empty());
}

TEST(DoctorReportTest, StatusesAreOrdered) {
    EXPECT_LT(S::ok, S::warning);
    EXPECT_LT(S::warning, S::error);
    EXPECT_EQ(std::max(S::error, S::ok), S::error);
}

TEST(DoctorReportTest, StrictFormRoundTripsAndRequiresEveryKey) {
    std::ifstream in(testing::fixturePath("doctor_full.json"));
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    const auto report = DoctorReport::parse(text);
    ASSERT_TRUE(report.ok());
    EXPECT_EQ(report->hooks.size(), 2u);
    EXPECT_EQ(report->daemon, (DoctorCheck{S::warning, "Daemon not running."}));

    const json encoded = doctor_json::toJson(*report);
    const auto decoded = doctor_json::reportFromJson(encoded);
    ASSERT_TRUE(decoded.ok()) << decoded.error().description();
    EXPECT_EQ(*decoded, *report);

    for (const char* key : {"schema_version", "status", "binary", "hooks", "policy", "audit_log", "daemon"}) {
        json lacking = encoded;
        lacking.erase(key);
        EXPECT_FALSE(doctor_json::reportFromJson(lacking).ok()) << key;
    }
    json lenientOnly = encoded;
    lenientOnly["status"] = "OK";
    EXPECT_FALSE(doctor_json::reportFromJson(lenientOnly).ok());
    lenientOnly = encoded;
    lenientOnly["hooks"][0].erase("path");
    EXPECT_FALSE(doctor_json::reportFromJson(lenientOnly).ok());
}

TEST(DoctorClientTest, RunsDoctorAndUsesTheReportWhateverTheExitStatus) {
    testing::FakeEngine engine(testing::FakeEngine::printing(testing::fixturePath("doctor_full.json"), 3) +
                               "echo 'warning on stderr' >&2\n");
    const auto report = DoctorClient::run();
    ASSERT_TRUE(report.ok()) << report.error().description;
    EXPECT_EQ(engine.arguments(), (std::vector<std::string>{"doctor", "--json"}));
    EXPECT_EQ(report->schemaVersion, 1u);
    EXPECT_EQ(report->status, S::warning);
}

TEST(DoctorClientTest, EachFailureEndsAsOneSentence) {
    {
        testing::FakeEngine silent("exit 0");
        EXPECT_EQ(DoctorClient::run().error().description, "Health is not available yet. Turn protection on first.");
    }
    {
        testing::FakeEngine prose("echo 'daemon: not running'; exit 1");
        EXPECT_EQ(DoctorClient::run().error().description, "Health is not available yet.");
    }
    {
        testing::TempHome home;
        testing::ScopedEnv path("PATH", (home / "empty").string());
        EXPECT_EQ(DoctorClient::run().error().description,
                  "Part of Vardex is missing. Please reinstall it from the download.");
    }
}

}  // namespace
}  // namespace vardex
