// The MCP proxy in front of a published third-party MCP server (a file server installed from
// the npm registry by the test setup), with a real daemon behind it: what reaches the server
// and what the agent hears back.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>

#include <nlohmann/json.hpp>

#include "daemon_fixture.hpp"
#include "support/temp_folder.hpp"

extern char** environ;

namespace vardex::testing {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

const fs::path serverEntry =
    fs::path(VARDEX_MCP_SERVER_DIR) / "node_modules/@modelcontextprotocol/server-filesystem/dist/index.js";

// `vardex mcp-proxy` with the file server behind it, talked to over its standard streams.
class ProxiedServer {
public:
    ProxiedServer(const fs::path& allowed, const fs::path& errors) {
        int in[2];
        int out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
        std::vector<std::string> arguments{VARDEX_ENGINE_EXE, "mcp-proxy", "--server", "files", "--",
                                           "node",            serverEntry.string(), allowed.string()};
        std::vector<char*> argv;
        for (auto& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_adddup2(&files, in[0], 0);
        posix_spawn_file_actions_adddup2(&files, out[1], 1);
        posix_spawn_file_actions_addopen(&files, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (::posix_spawn(&pid_, VARDEX_ENGINE_EXE, &files, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&files);
        ::close(in[0]);
        ::close(out[1]);
        toProxy_ = in[1];
        fromProxy_ = out[0];
    }
    ProxiedServer(const ProxiedServer&) = delete;
    ProxiedServer& operator=(const ProxiedServer&) = delete;
    ~ProxiedServer() {
        if (toProxy_ >= 0) ::close(toProxy_);
        if (fromProxy_ >= 0) ::close(fromProxy_);
        if (pid_ <= 0) return;
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        int status = 0;
        while (::waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > limit) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
                break;
            }
            ::usleep(10'000);
        }
    }

    bool started() const { return pid_ > 0; }

    void send(const std::string& line) { (void)!::write(toProxy_, (line + "\n").data(), line.size() + 1); }

    // The next line the agent hears, as JSON; null when nothing comes within the time.
    json next(std::chrono::milliseconds wait = std::chrono::seconds(20)) {
        const auto limit = std::chrono::steady_clock::now() + wait;
        for (;;) {
            if (const auto end = buffer_.find('\n'); end != std::string::npos) {
                const auto line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                return json::parse(line, nullptr, false);
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(limit - std::chrono::steady_clock::now());
            if (left.count() <= 0) return json();
            pollfd watched{fromProxy_, POLLIN, 0};
            if (::poll(&watched, 1, static_cast<int>(left.count())) <= 0) continue;
            char chunk[65536];
            const auto got = ::read(fromProxy_, chunk, sizeof chunk);
            if (got <= 0) return json();
            buffer_.append(chunk, static_cast<std::size_t>(got));
        }
    }

    // The reply to the request with `id`, skipping the server's own notifications.
    json replyTo(const json& id) {
        for (;;) {
            auto message = next();
            if (message.is_null() || message.is_discarded()) return message;
            if (message.is_array() || (message.contains("id") && message["id"] == id)) return message;
        }
    }

private:
    pid_t pid_ = -1;
    int toProxy_ = -1;
    int fromProxy_ = -1;
    std::string buffer_;
};

std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
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
        ASSERT_TRUE(fs::exists(serverEntry)) << "the MCP server was not installed by the test setup (npm ci): "
                                             << serverEntry;
        writeFile(home / "project/notes.txt", "meeting at ten\n");
        writeFile(home / ".ssh/id_rsa", "PRIVATE KEY MATERIAL\n");
        startDaemon();
    }

    std::string withHome(std::string text) const {
        for (auto at = text.find('~'); at != std::string::npos; at = text.find('~', at + 1)) {
            text.replace(at, 1, home.path().string());
        }
        return text;
    }
};

// The proxy stops what the engine does not allow, and what it cannot read, before the server
// sees it; what is allowed goes through and comes back.
TEST_P(ThirdPartyServer, HearsOnlyWhatTheEngineAllows) {
    ProxiedServer server(home.path(), home / "proxy.err");
    ASSERT_TRUE(server.started());
    server.send(request(1, "initialize",
                        {{"protocolVersion", "2025-06-18"},
                         {"capabilities", json::object()},
                         {"clientInfo", {{"name", "test"}, {"version", "1"}}}}));
    const auto hello = server.replyTo(1);
    ASSERT_TRUE(hello.contains("result")) << "the server did not start behind the proxy: " << hello.dump() << "\n"
                                          << readAll(home / "proxy.err");
    server.send(R"({"jsonrpc":"2.0","method":"notifications/initialized"})");

    server.send(withHome(GetParam().line));
    const auto reply = server.next();
    ASSERT_FALSE(reply.is_null()) << "no answer; " << readAll(home / "proxy.err");
    const std::string text = reply.dump();
    EXPECT_EQ(text.find("PRIVATE KEY MATERIAL"), std::string::npos) << "the secret reached the agent";
    if (GetParam().heard == "blocked") {
        EXPECT_EQ(reply["result"]["isError"], true) << text;
        EXPECT_NE(text.find("Vardex"), std::string::npos) << "not the proxy's answer: " << text;
    } else if (GetParam().heard == "rpc_error") {
        const auto& error = reply.is_array() && !reply.empty() ? reply[0] : reply;
        EXPECT_TRUE(error.contains("error")) << text;
    } else {
        EXPECT_NE(text.find(GetParam().heard), std::string::npos) << text;
    }
    // Whatever was refused, the proxy is still there for the next request.
    server.send(call(99, "list_allowed_directories", json::object()));
    EXPECT_TRUE(server.replyTo(99).contains("result"));
    EXPECT_TRUE(fs::exists(home / ".ssh/id_rsa")) << "the secret was moved";
}

INSTANTIATE_TEST_SUITE_P(
    Requests, ThirdPartyServer,
    ::testing::Values(
        ProxyCase{"ordinary_read", call(2, "read_text_file", {{"path", "~/project/notes.txt"}}), "meeting at ten"},
        ProxyCase{"secret_read", call(2, "read_text_file", {{"path", "~/.ssh/id_rsa"}}), "blocked"},
        ProxyCase{"secret_among_several", call(2, "read_multiple_files", {{"paths", {"~/project/notes.txt", "~/.ssh/id_rsa"}}}),
                  "blocked"},
        ProxyCase{"secret_moved_away", call(2, "move_file", {{"source", "~/.ssh/id_rsa"}, {"destination", "~/project/k"}}),
                  "blocked"},
        ProxyCase{"secret_reached_by_dots", call(2, "read_text_file", {{"path", "~/project/../.ssh/id_rsa"}}), "blocked"},
        ProxyCase{"secret_as_a_file_address", request(2, "resources/read", {{"uri", "file://~/.ssh/id%5frsa"}}),
                  "rpc_error"},
        ProxyCase{"unreadable_line", "{\"jsonrpc\":\"2.0\",\"id\":2,\"method\":\"tools/call\",", "rpc_error"},
        ProxyCase{"batch", "[" + call(2, "read_text_file", {{"path", "~/.ssh/id_rsa"}}) + "]", "rpc_error"}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace vardex::testing
