#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "agents/mcp_proxy.hpp"
#include "agents/mcp_proxy_entries.hpp"

namespace vardex::engine {
namespace {

using nlohmann::json;

const std::string desktopConfig = R"({
  "mcpServers": {
    "files": {"command": "npx", "args": ["-y", "@x/server-files", "/home/me"], "env": {"TOKEN": "t"}},
    "bare": {"command": "/usr/bin/weather"},
    "remote": {"type": "http", "url": "https://tools.example/mcp"}
  },
  "theme": "dark"
})";

TEST(McpProxyJsonTest, WrapsEveryLaunchedServerAndGivesItBack) {
    const auto wrapped = withMcpProxy(desktopConfig, "claude_desktop_config.json", "/e/vardex");
    ASSERT_TRUE(wrapped.ok());
    const auto j = json::parse(*wrapped);
    EXPECT_EQ(j["mcpServers"]["files"]["command"], "/e/vardex");
    EXPECT_EQ(j["mcpServers"]["files"]["args"],
              json::parse(R"(["mcp-proxy","--server","files","--","npx","-y","@x/server-files","/home/me"])"));
    EXPECT_EQ(j["mcpServers"]["files"]["env"]["TOKEN"], "t");
    EXPECT_EQ(j["mcpServers"]["remote"], json::parse(desktopConfig)["mcpServers"]["remote"]);
    EXPECT_EQ(proxiedServerCount(*wrapped, "claude_desktop_config.json"), 2u);

    EXPECT_EQ(withMcpProxy(*wrapped, "claude_desktop_config.json", "/e/vardex").value(), *wrapped)
        << "wrapping twice changes nothing";
    const auto unwrapped = withoutMcpProxy(*wrapped, "claude_desktop_config.json");
    ASSERT_TRUE(unwrapped.has_value());
    EXPECT_EQ(json::parse(*unwrapped), json::parse(desktopConfig));
}

TEST(McpProxyJsonTest, ProjectServersInClaudeCodesFileAreWrappedToo) {
    const std::string text = R"({"projects":{"/src/app":{"mcpServers":{"db":{"command":"db-mcp","args":[]}}}}})";
    const auto wrapped = withMcpProxy(text, ".claude.json", "/e/vardex");
    ASSERT_TRUE(wrapped.ok());
    EXPECT_EQ(proxiedServerCount(*wrapped, ".claude.json"), 1u);
}

TEST(McpProxyJsonTest, AServerWhoseArgumentsAreNotAllTextIsLeftAlone) {
    const std::string text = R"({"mcpServers":{"odd":{"command":"x","args":["a", 3]}}})";
    EXPECT_EQ(proxiedServerCount(withMcpProxy(text, "mcp.json", "/e/vardex").value(), "mcp.json"), 0u);
    EXPECT_FALSE(withoutMcpProxy(text, "mcp.json").has_value());
}

const std::string codexConfig =
    "model = \"o4\"\r\n"
    "\r\n"
    "[mcp_servers.docs]\r\n"
    "command = \"npx\" # the docs server\r\n"
    "args = [\"-y\", 'lit\\eral', \"quote\\\"d\"]\r\n"
    "\r\n"
    "[mcp_servers.docs.env]\r\n"
    "KEY = \"v\"\r\n"
    "\r\n"
    "[mcp_servers.\"plain one\"]\r\n"
    "  command = \"plain-mcp\"\r\n"
    "\r\n"
    "[mcp_servers.multi]\r\n"
    "command = \"m\"\r\n"
    "args = [\r\n"
    "  \"x\",\r\n"
    "]\r\n";

TEST(McpProxyTomlTest, WrapsOneLineServersAndLeavesEverythingElseByteForByte) {
    const auto wrapped = withMcpProxy(codexConfig, "config.toml", "/e/vardex");
    ASSERT_TRUE(wrapped.ok());
    EXPECT_NE(wrapped->find("[mcp_servers.docs]\r\ncommand = \"/e/vardex\"\r\n"
                            "args = [\"mcp-proxy\", \"--server\", \"docs\", \"--\", \"npx\", \"-y\", \"lit\\\\eral\", "
                            "\"quote\\\"d\"]\r\n"),
              std::string::npos)
        << *wrapped;
    EXPECT_NE(wrapped->find("  command = \"/e/vardex\"\r\n  args = [\"mcp-proxy\", \"--server\", \"plain one\", \"--\", "
                            "\"plain-mcp\"]\r\n"),
              std::string::npos)
        << *wrapped;
    EXPECT_NE(wrapped->find("[mcp_servers.multi]\r\ncommand = \"m\"\r\n"), std::string::npos)
        << "a list over several lines is not edited";
    EXPECT_EQ(proxiedServerCount(*wrapped, "config.toml"), 2u);

    const auto unwrapped = withoutMcpProxy(*wrapped, "config.toml");
    ASSERT_TRUE(unwrapped.has_value());
    EXPECT_EQ(proxiedServerCount(*unwrapped, "config.toml"), 0u);
    EXPECT_NE(unwrapped->find("[mcp_servers.\"plain one\"]\r\n  command = \"plain-mcp\"\r\n\r\n"), std::string::npos)
        << "a server that had no arguments gets none back: " << *unwrapped;
    EXPECT_NE(unwrapped->find("command = \"npx\"\r\nargs = [\"-y\", \"lit\\\\eral\", \"quote\\\"d\"]\r\n"),
              std::string::npos)
        << *unwrapped;
}

}  // namespace
}  // namespace vardex::engine

namespace vardex::engine {
namespace {

struct ScreenCase {
    const char* name;
    const char* line;
    std::optional<Outcome> decision;  // absent: the daemon gives no answer
    bool forward;
    const char* reply;
};

class ScreenAgentLineTest : public ::testing::TestWithParam<ScreenCase> {};

TEST_P(ScreenAgentLineTest, OnlyAllowedToolCallsReachTheServer) {
    const auto& c = GetParam();
    std::vector<Action> asked;
    const DecideAction decide = [&](const Action& action) -> Result<DecisionEvent, std::string> {
        asked.push_back(action);
        if (!c.decision) return fail(std::string("Vardex is not running."));
        DecisionEvent event;
        event.decision = *c.decision;
        event.reasonAgent = "Do not send money.";
        return event;
    };
    const auto step = screenAgentLine(c.line, "bank", "s1", decide);
    EXPECT_EQ(step.forward, c.forward);
    EXPECT_EQ(step.reply.has_value(), c.reply != nullptr);
    if (step.reply && c.reply) {
        EXPECT_EQ(json::parse(*step.reply), json::parse(c.reply));
    }
    if (!asked.empty()) {
        const auto* call = std::get_if<McpToolCallAction>(&asked.front().kind);
        ASSERT_NE(call, nullptr);
        EXPECT_EQ(call->server, "bank");
        EXPECT_EQ(call->tool, "transfer");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ScreenAgentLineTest,
    ::testing::Values(
        ScreenCase{"initialize", R"({"jsonrpc":"2.0","id":1,"method":"initialize"})", std::nullopt, true, nullptr},
        ScreenCase{"not_json", "hello", std::nullopt, true, nullptr},
        ScreenCase{"allowed", R"({"jsonrpc":"2.0","id":2,"method":"tools/call","params":{"name":"transfer","arguments":{"to":"x"}}})",
                   Outcome::allow, true, nullptr},
        ScreenCase{"denied", R"({"jsonrpc":"2.0","id":3,"method":"tools/call","params":{"name":"transfer","arguments":{}}})",
                   Outcome::deny, false,
                   R"({"jsonrpc":"2.0","id":3,"result":{"content":[{"type":"text","text":"Do not send money."}],"isError":true}})"},
        ScreenCase{"no_daemon", R"({"jsonrpc":"2.0","id":"a","method":"tools/call","params":{"name":"transfer"}})",
                   std::nullopt, false,
                   R"({"jsonrpc":"2.0","id":"a","result":{"content":[{"type":"text","text":"Vardex is not running."}],"isError":true}})"},
        ScreenCase{"nameless", R"({"jsonrpc":"2.0","id":4,"method":"tools/call","params":[]})", Outcome::allow, false,
                   R"({"jsonrpc":"2.0","id":4,"result":{"content":[{"type":"text","text":"Vardex could not tell which tool this is, so it was blocked."}],"isError":true}})"}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

}  // namespace
}  // namespace vardex::engine
