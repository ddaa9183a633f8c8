// The MCP proxy in front of a small server of our own, with a real daemon behind it: the server
// runs in the sandbox, and a line too long to check is answered under its id, never held whole.
#include <map>
#include <sstream>

#include <nlohmann/json.hpp>

#include "bridge/vardex_paths.hpp"
#include "daemon_fixture.hpp"
#include "engine/row_name.hpp"
#include "sandbox/sandbox_probe.hpp"
#include "sandbox/sandbox_settings.hpp"
#include "support/scoped_env.hpp"

namespace vardex::testing {
namespace {

using nlohmann::json;
using namespace vardex::engine;
namespace fs = std::filesystem;

constexpr std::string_view secretWord = "PRIVATE KEY MATERIAL";
// Past the proxy's line bound.
const std::string padding(9 << 20, 'p');

std::string request(int id, const std::string& method, const json& params = json::object()) {
    return json{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}}.dump();
}

const std::string hello = request(1, "initialize", {{"protocolVersion", "2025-06-18"}, {"capabilities", json::object()},
                                                    {"clientInfo", {{"name", "test"}, {"version", "1"}}}});
const std::string listTools = request(8, "tools/list");

struct Heard {
    EngineRun::Outcome run;
    std::map<int, json> replies;  // by id
};

class ProxiedServer : public DaemonFixture {
protected:
    void SetUp() override {
        writeFile(home / ".ssh/id_rsa", std::string(secretWord) + "\n");
        startDaemon();
    }

    // `vardex mcp-proxy` with the peeking server behind it, told to read the ssh key; `lines` on
    // its input, then the tool list asked for.
    Heard proxy(std::vector<std::string> lines) {
        lines.insert(lines.begin(), hello);
        lines.push_back(listTools);
        std::string input;
        for (const auto& line : lines) input += line + "\n";
        Heard heard{EngineRun(runs(), {"mcp-proxy", "--server", "peek", "--", "python3", VARDEX_PEEK_SERVER,
                                       (home / ".ssh/id_rsa").string()},
                              input)
                        .finish(),
                    {}};
        std::istringstream out(heard.run.out);
        for (std::string line; std::getline(out, line);) {
            const auto message = json::parse(line, nullptr, false);
            if (message.is_object() && message.contains("id") && message["id"].is_number_integer()) {
                heard.replies[message["id"].get<int>()] = message;
            }
        }
        return heard;
    }

    void requireSandbox(bool required) {
        SandboxSettings settings;
        settings.required = required;
        ASSERT_TRUE(saveSandboxSettings(sandboxSettingsFile(), settings).ok());
    }

    static bool sandboxHere() { return probeSandbox(VardexPaths::env("PATH").value_or("")).available(); }
};

struct ContainmentCase {
    const char* name;
    bool bwrapMissing;
    bool required;
    const char* outcome;  // "contained", "uncontained" or "refused"
};

class Containment : public ProxiedServer, public ::testing::WithParamInterface<ContainmentCase> {};

TEST_P(Containment, TheServerSeesNoSecretWhereASandboxRuns) {
    const auto& c = GetParam();
    if (!c.bwrapMissing && !sandboxHere()) GTEST_SKIP() << "No sandbox on this machine.";
    requireSandbox(c.required);
    std::optional<ScopedEnv> noBwrap;
    if (c.bwrapMissing) noBwrap.emplace("VARDEX_BWRAP", (home / "no/bwrap").string());
    const auto heard = proxy({request(3, "tools/call", {{"name", "peek"}})});

    const std::string outcome = c.outcome;
    if (outcome == "refused") {
        EXPECT_NE(heard.run.exitCode, 0);
        EXPECT_TRUE(heard.replies.empty()) << heard.run.out;
        EXPECT_NE(heard.run.err.find("will not start the MCP server peek"), std::string::npos) << heard.run.err;
        return;
    }
    EXPECT_EQ(heard.run.exitCode, 0) << heard.run.err;
    ASSERT_TRUE(heard.replies.contains(8)) << heard.run.out << heard.run.err;
    EXPECT_EQ(heard.replies.at(8)["result"]["tools"].size(), 2u) << heard.replies.at(8);
    ASSERT_TRUE(heard.replies.contains(3)) << heard.run.out;
    const auto text = heard.replies.at(3)["result"]["content"][0]["text"].get<std::string>();
    if (outcome == "contained") {
        EXPECT_TRUE(text.starts_with("unreadable")) << text;
    } else {
        EXPECT_NE(text.find(secretWord), std::string::npos) << text;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, Containment, ::testing::Values(
    ContainmentCase{"contained", false, false, "contained"},
    ContainmentCase{"contained_when_required", false, true, "contained"},
    ContainmentCase{"as_before_without_a_sandbox", true, false, "uncontained"},
    ContainmentCase{"refused_without_a_sandbox_when_required", true, true, "refused"}),
    byName);

struct LongLineCase {
    const char* name;
    std::string line;
    std::optional<int> errorCode;  // what id 7 hears; nothing: no reply for it
    const char* said = "";          // on the proxy's error output
};

class LongLines : public ProxiedServer, public ::testing::WithParamInterface<LongLineCase> {};

TEST_P(LongLines, AreAnsweredUnderTheirIdAndNotPassedOn) {
    const auto& c = GetParam();
    const auto heard = proxy({c.line});
    EXPECT_LT(heard.run.out.size(), std::size_t{1} << 20) << "the long line was passed on";
    if (c.errorCode) {
        ASSERT_TRUE(heard.replies.contains(7)) << heard.run.out << heard.run.err;
        EXPECT_EQ(heard.replies.at(7)["error"]["code"], *c.errorCode) << heard.replies.at(7);
    } else {
        EXPECT_FALSE(heard.replies.contains(7));
    }
    EXPECT_NE(heard.run.err.find(c.said), std::string::npos) << heard.run.err;
    ASSERT_TRUE(heard.replies.contains(8)) << "the proxy did not go on: " << heard.run.err;
    EXPECT_TRUE(heard.replies.at(8).contains("result"));
}

INSTANTIATE_TEST_SUITE_P(Table, LongLines, ::testing::Values(
    LongLineCase{"request_with_its_id_last",
                 R"({"jsonrpc":"2.0","method":"tools/call","params":{"name":"peek","arguments":{"pad":")" + padding + R"("}},"id":7})",
                 -32600},
    LongLineCase{"reply_of_the_server", request(7, "tools/call", {{"name", "flood"}}), -32603},
    LongLineCase{"line_naming_no_request",
                 R"({"jsonrpc":"2.0","method":"notifications/progress","params":{"pad":")" + padding + R"("}})",
                 std::nullopt, "names no request"}),
    byName);

}  // namespace
}  // namespace vardex::testing
