// The MCP proxy in front of a published third-party MCP server (a file server installed from
// the npm registry by the test setup), with a real daemon behind it: what reaches the server
// and what the agent hears back.
#include <regex>
#include <sstream>

#include <nlohmann/json.hpp>

#include "daemon_fixture.hpp"
#include "engine/row_name.hpp"

namespace vardex::testing {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

const fs::path serverEntry =
    fs::path(VARDEX_MCP_SERVER_DIR) / "node_modules/@modelcontextprotocol/server-filesystem/dist/index.js";

// Everything the agent hears from `vardex mcp-proxy` with the file server behind it, given
// `lines` on its input, one message a line. The proxy ends once its input and the server end.
std::vector<json> heard(const fs::path& home, const std::vector<std::string>& lines) {
    std::string input;
    for (const auto& line : lines) input += line + "\n";
    const auto run = EngineRun(home / "runs", {"mcp-proxy", "--server", "files", "--", "node", serverEntry.string(), home.string()}, input).finish();
    std::vector<json> messages;
    std::istringstream out(run.out);
    for (std::string line; std::getline(out, line);) messages.push_back(json::parse(line, nullptr, false));
    EXPECT_FALSE(messages.empty()) << "the proxy said nothing: " << run.err;
    return messages;
}

std::string request(int id, const std::string& method, const json& params) {
    return json{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}}.dump();
}

std::string call(int id, const std::string& tool, const json& arguments) {
    return request(id, "tools/call", {{"name", tool}, {"arguments", arguments}});
}

struct ProxyCase {
    const char* name;
    // The line the agent sends; "~" in it stands for HOME, which the server is allowed to serve.
    std::string line;
    std::string heard;  // "result" text the agent reads, or "blocked", or "rpc_error"
};

class ThirdPartyServer : public DaemonFixture, public ::testing::WithParamInterface<ProxyCase> {
protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(serverEntry)) << "the MCP server was not installed by the test setup (npm ci): " << serverEntry;
        writeFile(home / "project/notes.txt", "meeting at ten\n");
        writeFile(home / ".ssh/id_rsa", "PRIVATE KEY MATERIAL\n");
        startDaemon();
    }

    std::string withHome(const std::string& text) const { return std::regex_replace(text, std::regex("~"), home.path().string()); }
};

// The proxy stops what the engine does not allow, and what it cannot read, before the server
// sees it; what is allowed goes through and comes back.
TEST_P(ThirdPartyServer, HearsOnlyWhatTheEngineAllows) {
    const json client = {{"protocolVersion", "2025-06-18"}, {"capabilities", json::object()}, {"clientInfo", {{"name", "test"}, {"version", "1"}}}};
    const auto messages = heard(home.path(), {request(1, "initialize", client), R"({"jsonrpc":"2.0","method":"notifications/initialized"})",
                                              withHome(GetParam().line), call(99, "list_allowed_directories", json::object())});
    json hello, listed, reply;
    for (const auto& message : messages) {
        EXPECT_EQ(message.dump().find("PRIVATE KEY MATERIAL"), std::string::npos) << "the secret reached the agent";
        // Notifications carry no id; a batch or an unreadable line is answered without one.
        const json id = message.is_object() ? message.value("id", json("notification")) : json();
        if (id != "notification") (id == 1 ? hello : id == 99 ? listed : reply) = message;
    }
    ASSERT_TRUE(hello.contains("result")) << "the server did not start behind the proxy";
    ASSERT_FALSE(reply.is_null()) << "no answer";
    // Whatever was refused, the proxy was still there for the next request.
    EXPECT_TRUE(listed.contains("result"));
    const std::string text = reply.dump();
    if (GetParam().heard == "blocked") {
        EXPECT_EQ(reply["result"]["isError"], true) << text;
        EXPECT_NE(text.find("Vardex"), std::string::npos) << "not the proxy's answer: " << text;
    } else if (GetParam().heard == "rpc_error") {
        const auto& error = reply.is_array() && !reply.empty() ? reply[0] : reply;
        EXPECT_TRUE(error.contains("error")) << text;
    } else {
        EXPECT_NE(text.find(GetParam().heard), std::string::npos) << text;
    }
    EXPECT_TRUE(fs::exists(home / ".ssh/id_rsa")) << "the secret was moved";
}

INSTANTIATE_TEST_SUITE_P(Requests, ThirdPartyServer, ::testing::Values(
        ProxyCase{"ordinary_read", call(2, "read_text_file", {{"path", "~/project/notes.txt"}}), "meeting at ten"},
        ProxyCase{"secret_read", call(2, "read_text_file", {{"path", "~/.ssh/id_rsa"}}), "blocked"},
        ProxyCase{"secret_among_several", call(2, "read_multiple_files", {{"paths", {"~/project/notes.txt", "~/.ssh/id_rsa"}}}), "blocked"},
        ProxyCase{"secret_moved_away", call(2, "move_file", {{"source", "~/.ssh/id_rsa"}, {"destination", "~/project/k"}}), "blocked"},
        ProxyCase{"secret_reached_by_dots", call(2, "read_text_file", {{"path", "~/project/../.ssh/id_rsa"}}), "blocked"},
        ProxyCase{"secret_as_a_file_address", request(2, "resources/read", {{"uri", "file://~/.ssh/id%5frsa"}}), "rpc_error"},
        ProxyCase{"unreadable_line", "{\"jsonrpc\":\"2.0\",\"id\":2,\"method\":\"tools/call\",", "rpc_error"},
        ProxyCase{"batch", "[" + call(2, "read_text_file", {{"path", "~/.ssh/id_rsa"}}) + "]", "rpc_error"}), byName);

}  // namespace
}  // namespace vardex::testing
