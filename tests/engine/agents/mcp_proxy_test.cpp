#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include <nlohmann/json.hpp>

#include "agents/mcp_proxy.hpp"
#include "agents/mcp_proxy_entries.hpp"
#include "agents/mcp_screen.hpp"
#include "daemon/action_record.hpp"
#include "engine/row_name.hpp"

namespace vardex::engine {
namespace {

using nlohmann::json;

const std::string desktopConfig = R"({"theme": "dark", "mcpServers": {
    "files": {"command": "npx", "args": ["-y", "@x/server-files", "/home/me"], "env": {"TOKEN": "t"}},
    "bare": {"command": "/usr/bin/weather"}, "remote": {"type": "http", "url": "https://tools.example/mcp"}}})";

TEST(McpProxyJsonTest, WrapsEveryLaunchedServerAndGivesItBack) {
    const auto wrapped = withMcpProxy(desktopConfig, "claude_desktop_config.json", "/e/vardex");
    ASSERT_TRUE(wrapped.ok());
    const auto j = json::parse(*wrapped);
    EXPECT_EQ(j["mcpServers"]["files"]["command"], "/e/vardex");
    EXPECT_EQ(j["mcpServers"]["files"]["args"],
              json::parse(R"(["mcp-proxy","--server","files","--","npx","-y","@x/server-files","/home/me"])"));
    EXPECT_EQ(proxiedServerCount(*wrapped, "claude_desktop_config.json"), 2u);

    EXPECT_EQ(withMcpProxy(*wrapped, "claude_desktop_config.json", "/e/vardex").value(), *wrapped)
        << "wrapping twice changes nothing";
    EXPECT_EQ(json::parse(withoutMcpProxy(*wrapped, "claude_desktop_config.json").value_or("")), json::parse(desktopConfig));
}

TEST(McpProxyJsonTest, ProjectServersInClaudeCodesFileAreWrappedToo) {
    const std::string text = R"({"projects":{"/src/app":{"mcpServers":{"db":{"command":"db-mcp","args":[]}}}}})";
    EXPECT_EQ(proxiedServerCount(withMcpProxy(text, ".claude.json", "/e/vardex").value(), ".claude.json"), 1u);
}

TEST(McpProxyJsonTest, AServerWhoseArgumentsAreNotAllTextIsLeftAlone) {
    const std::string text = R"({"mcpServers":{"odd":{"command":"x","args":["a", 3]}}})";
    EXPECT_EQ(proxiedServerCount(withMcpProxy(text, "mcp.json", "/e/vardex").value(), "mcp.json"), 0u);
    EXPECT_FALSE(withoutMcpProxy(text, "mcp.json").has_value());
}

const std::string codexConfig =
    "model = \"o4\"\r\n\r\n[mcp_servers.docs]\r\ncommand = \"npx\" # the docs server\r\n"
    "args = [\"-y\", 'lit\\eral', \"quote\\\"d\"]\r\n\r\n[mcp_servers.docs.env]\r\nKEY = \"v\"\r\n\r\n"
    "[mcp_servers.\"plain one\"]\r\n  command = \"plain-mcp\"\r\n\r\n"
    "[mcp_servers.multi]\r\ncommand = \"m\"\r\nargs = [\r\n  \"x\",\r\n]\r\n";

TEST(McpProxyTomlTest, WrapsOneLineServersAndLeavesEverythingElseByteForByte) {
    const auto wrapped = withMcpProxy(codexConfig, "config.toml", "/e/vardex");
    ASSERT_TRUE(wrapped.ok());
    // A list over several lines is not edited.
    EXPECT_EQ(*wrapped, "model = \"o4\"\r\n\r\n[mcp_servers.docs]\r\ncommand = \"/e/vardex\"\r\n"
                        "args = [\"mcp-proxy\", \"--server\", \"docs\", \"--\", \"npx\", \"-y\", \"lit\\\\eral\", \"quote\\\"d\"]\r\n"
                        "\r\n[mcp_servers.docs.env]\r\nKEY = \"v\"\r\n\r\n[mcp_servers.\"plain one\"]\r\n  command = \"/e/vardex\"\r\n"
                        "  args = [\"mcp-proxy\", \"--server\", \"plain one\", \"--\", \"plain-mcp\"]\r\n\r\n"
                        "[mcp_servers.multi]\r\ncommand = \"m\"\r\nargs = [\r\n  \"x\",\r\n]\r\n");
    EXPECT_EQ(proxiedServerCount(*wrapped, "config.toml"), 2u);

    // Given back as it was, but for the literal string, which comes back as a basic one, and
    // the comment on the rewritten line.
    auto original = codexConfig;
    original.replace(original.find("'lit\\eral'"), 10, "\"lit\\\\eral\"");
    original.erase(original.find(" # the docs server"), 18);
    EXPECT_EQ(withoutMcpProxy(*wrapped, "config.toml"), original);
}

struct ScreenCase {
    const char* name;
    const char* line;
    std::optional<Outcome> decision;  // absent: the daemon gives no answer
    bool forward;
    const char* reply;  // a piece of the reply the agent hears, keys sorted; nullptr for none
};

class ScreenAgentLineTest : public ::testing::TestWithParam<ScreenCase> {};

TEST_P(ScreenAgentLineTest, OnlyAllowedToolCallsReachTheServer) {
    const auto& c = GetParam();
    const DecideAction decide = [&](const Action&) -> Result<DecisionEvent, std::string> {
        if (!c.decision) return fail(std::string("Vardex is not running."));
        DecisionEvent event;
        event.decision = *c.decision;
        event.reasonAgent = "Do not send money.";
        return event;
    };
    const auto step = screenAgentLine(c.line, "bank", "s1", decide);
    EXPECT_EQ(step.forward, c.forward);
    ASSERT_EQ(step.reply.has_value(), c.reply != nullptr);
    if (step.reply) {
        const auto reply = json::parse(*step.reply);
        EXPECT_NE(reply.dump().find(c.reply), std::string::npos) << reply.dump();
        EXPECT_TRUE(!reply.contains("result") || reply["result"]["isError"] == true) << reply.dump();
    }
}

INSTANTIATE_TEST_SUITE_P(Lines, ScreenAgentLineTest, ::testing::Values(
        ScreenCase{"blank", " \r\n", std::nullopt, false, nullptr},
        ScreenCase{"not_an_object", "42", std::nullopt, false, R"("code":-32600)"},
        ScreenCase{"method_not_text", R"({"jsonrpc":"2.0","id":9,"method":7})", std::nullopt, false, R"("id":9,"jsonrpc")"},
        ScreenCase{"notification", R"({"jsonrpc":"2.0","method":"notifications/initialized"})", std::nullopt, true, nullptr},
        ScreenCase{"response_to_the_server", R"({"jsonrpc":"2.0","id":"s1","result":{}})", std::nullopt, true, nullptr},
        ScreenCase{"denied", R"({"jsonrpc":"2.0","id":3,"method":"tools/call","params":{"name":"transfer"}})", Outcome::deny, false, "Do not send money."},
        ScreenCase{"no_daemon", R"({"jsonrpc":"2.0","id":"a","method":"tools/call","params":{"name":"transfer"}})", std::nullopt, false, "Vardex is not running."},
        ScreenCase{"nameless", R"({"jsonrpc":"2.0","id":4,"method":"tools/call","params":[]})", Outcome::allow, false, "could not tell which tool"}), testing::byName);

struct RequestCase {
    const char* name;
    std::string line;
    std::vector<std::string> asked;  // the summaries put to the daemon, in any order
    bool forward;
};

class RequestScreening : public ::testing::TestWithParam<RequestCase> {};

// Every file and address named anywhere in a request is put to the engine; one refusal stops
// the request. The stand-in daemon refuses everything under "/.ssh/".
TEST_P(RequestScreening, EveryNamedFileIsDecided) {
    std::multiset<std::string> asked;
    const DecideAction decide = [&](const Action& action) -> Result<DecisionEvent, std::string> {
        DecisionEvent event;
        event.decision = asked.insert(summarizeAction(action))->find("/.ssh/") == std::string::npos ? Outcome::allow : Outcome::deny;
        event.reasonAgent = "No keys.";
        return event;
    };
    const auto step = screenAgentLine(GetParam().line, "files", "s1", decide);
    EXPECT_EQ(step.forward, GetParam().forward) << step.reply.value_or("");
    EXPECT_EQ(step.reply.has_value(), !GetParam().forward);
    const std::multiset<std::string> expected(GetParam().asked.begin(), GetParam().asked.end());
    if (GetParam().forward) {
        EXPECT_EQ(asked, expected);
    } else {
        // Deciding stops at the first refusal, so only part of the list may have been asked.
        EXPECT_TRUE(std::includes(expected.begin(), expected.end(), asked.begin(), asked.end()));
    }
}

std::string requestLine(const std::string& method, const std::string& params) {
    return R"({"jsonrpc":"2.0","id":1,"method":")" + method + R"(","params":)" + params + "}";
}

std::string toolCall(const std::string& tool, const std::string& arguments) {
    return requestLine("tools/call", R"({"name":")" + tool + R"(","arguments":)" + arguments + "}");
}

INSTANTIATE_TEST_SUITE_P(Requests, RequestScreening, ::testing::Values(
        RequestCase{"ordinary_file", toolCall("list_directory", R"({"path":"/w/src"})"), {"mcp files.list_directory", "file_read /w/src"}, true},
        RequestCase{"written_file_is_decided_as_a_write", toolCall("write_file", R"({"path":"/w/a.txt","content":"x"})"), {"mcp files.write_file", "file_read /w/a.txt", "file_write /w/a.txt"}, true},
        RequestCase{"percent_encoded_file_address", requestLine("resources/read", R"({"uri":"file:///h/%2essh/id_rsa"})"), {"mcp files.resources/read", "file_read /h/.ssh/id_rsa"}, false},
        RequestCase{"web_address", toolCall("fetch", R"({"url":"https://x.example/a"})"), {"mcp files.fetch", "https://x.example/a"}, true},
        RequestCase{"prose_with_a_slash", toolCall("search", R"({"query":"and/or this"})"), {"mcp files.search"}, true},
        RequestCase{"paths_in_another_method", requestLine("prompts/get", R"({"name":"p","arguments":{"f":"/h/.ssh/id_rsa"}})"), {"file_read /h/.ssh/id_rsa"}, false}), testing::byName);

TEST(RequestScreening, TooManyNamesAreRefusedUnasked) {
    nlohmann::json paths = nlohmann::json::array();
    for (std::size_t i = 0; i <= maxScreenedNames; ++i) paths.push_back("/w/f" + std::to_string(i));
    const auto line = toolCall("read_multiple_files", nlohmann::json{{"paths", paths}}.dump());
    int asked = 0;
    const auto step = screenAgentLine(line, "files", "s1", [&](const Action&) -> Result<DecisionEvent, std::string> {
        ++asked;
        return DecisionEvent{};
    });
    EXPECT_FALSE(step.forward);
    EXPECT_EQ(asked, 0);
}

}  // namespace
}  // namespace vardex::engine
