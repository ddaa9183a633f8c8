#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

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
