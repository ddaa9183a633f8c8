#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "bridge/vardex_paths.hpp"
#include "daemon/agent_action.hpp"
#include "daemon/evaluate_message.hpp"
#include "daemon_fixture.hpp"
#include "support/case_name.hpp"
#include "support/temp_folder.hpp"

namespace vardex::testing {
namespace {

using Clock = std::chrono::steady_clock;

// Opens one connection per line of the file named first (lines apart by NUL bytes), sends each
// its line, and writes one letter to descriptor 3 for each connection as it hears its first
// line: "a" an allow, "d" a deny, "x" the end without a word.
constexpr const char* floodScript = R"(
import json, os, select, socket, sys
lines = open(sys.argv[2], 'rb').read().split(b'\0')
peers = []
for line in lines:
    peer = socket.socket(socket.AF_UNIX)
    peer.connect(sys.argv[1])
    peers.append(peer)
for peer, line in zip(peers, lines):
    try:
        peer.sendall(line)
    except OSError:
        pass
heard = {peer: b'' for peer in peers}
report = os.fdopen(3, 'wb', 0)
while heard:
    for peer in select.select(list(heard), [], [])[0]:
        try:
            chunk = peer.recv(65536)
        except OSError:
            chunk = b''
        heard[peer] += chunk
        if chunk and b'\n' not in heard[peer]:
            continue
        line = heard.pop(peer).split(b'\n')[0]
        decision = json.loads(line)['decision']['decision'] if line else None
        report.write({'allow': b'a', 'deny': b'd'}.get(decision, b'x'))
)";

// A process of its own, running another program than the app, so a peer of its own to the
// daemon; see `floodScript`.
class Flood {
public:
    Flood(const std::filesystem::path& folder, const std::vector<std::string>& lines) {
        std::string joined;
        for (const auto& line : lines) joined += (joined.empty() ? "" : std::string(1, '\0')) + line;
        const auto file = folder / "flood-lines";
        writeFile(file, joined);
        const auto socket = VardexPaths::socketPath();
        int pipeFds[2];
        if (::pipe(pipeFds) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(pipeFds[1], 3);
            ::execlp("python3", "python3", "-c", floodScript, socket.c_str(), file.c_str(), nullptr);
            ::_exit(127);
        }
        ::close(pipeFds[1]);
        report_ = pipeFds[0];
    }
    Flood(const Flood&) = delete;
    Flood& operator=(const Flood&) = delete;
    ~Flood() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (report_ >= 0) ::close(report_);
    }

    // The letters written until `count` came, or for as long as `seconds`.
    std::string heard(std::size_t count, double seconds = 10.0) {
        const auto limit = Clock::now() + std::chrono::duration<double>(seconds);
        std::string letters;
        while (letters.size() < count && Clock::now() < limit) {
            pollfd readable{report_, POLLIN, 0};
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(limit - Clock::now()).count();
            if (::poll(&readable, 1, static_cast<int>(std::max<long long>(left, 0))) != 1) break;
            char letter = 0;
            if (::read(report_, &letter, 1) != 1) break;
            letters += letter;
        }
        return letters;
    }

private:
    pid_t pid_ = -1;
    int report_ = -1;
};

std::string evaluateLine(const std::string& session, const std::string& command) {
    const auto action = engine::makeShellAction({AgentKind::claude, session, "/tmp", false}, command);
    return engine::encodeEvaluateLine(action).value();
}

struct FloodCase {
    const char* name;
    std::vector<std::string> lines;  // one connection each, all from one process
    std::string refused;             // what the flood hears at once
    std::size_t asked;               // questions that reach the app
};

class AFlood : public DaemonFixture, public ::testing::WithParamInterface<FloodCase> {};

// One process floods the daemon. It is refused past its share and never allowed; another hook's
// question still reaches the app and its answer reaches the hook, and the app's connection stays
// up with the flood's questions still open for it to answer.
TEST_P(AFlood, LeavesOtherHooksTheirAnswersAndTheAppItsQuestions) {
    const auto& row = GetParam();
    startDaemon();
    auto ui = subscribeUi();
    Flood flood(home.path(), row.lines);
    EXPECT_EQ(flood.heard(row.refused.size()), row.refused);

    auto requests = std::vector<ApprovalRequest>{};
    std::unique_ptr<EngineRun> other;
    for (bool answered = false; !answered;) {
        if (requests.size() == row.asked && !other) other = startAsk("other", {"--shell", "sudo whoami"});
        const auto message = next(*ui);
        ASSERT_NE(message.typeName(), "approval_response") << "a question was settled without the app";
        ASSERT_FALSE(message.is<IpcMessage::Ping>()) << "the app's connection failed";
        const auto request = message.asRequest();
        if (!request) continue;
        if (request->agent.sessionId == "other") {
            ASSERT_TRUE(ui->respond(request->id, ApprovalVerdict::allowOnce, "menubar"));
            answered = true;
        } else {
            requests.push_back(*request);
            EXPECT_LT(request->actionSummary.size(), 16u * 1024) << "the question is cut to a size a person reads";
        }
    }
    ASSERT_TRUE(other);
    EXPECT_EQ(other->finish().exitCode, 0) << "the other hook was allowed by the app";
    EXPECT_EQ(requests.size(), row.asked);

    for (const auto& request : requests) ASSERT_TRUE(ui->respond(request.id, ApprovalVerdict::allowOnce, "menubar"));
    EXPECT_EQ(flood.heard(requests.size()), std::string(requests.size(), 'a')) << "the flood's questions were still open";
}

std::vector<std::string> times(std::size_t count, const std::string& line) { return std::vector<std::string>(count, line); }

// A command whose line (it holds the command twice, as typed and as words) comes near the
// longest line the daemon reads.
const std::string large = "sudo tee /etc/hosts " + std::string(450 * 1000, 'x');

// Limits: eight connections and four open questions per process, two mebibytes held.
INSTANTIATE_TEST_SUITE_P(Table, AFlood, ::testing::Values(
        // Four connections turned away at once, then four questions too many.
        FloodCase{"many_connections_and_questions", times(12, evaluateLine("flood", "sudo whoami")),
                  std::string(8, 'd'), 4},
        FloodCase{"a_large_question", {evaluateLine("flood", large)}, "", 1},
        // Three lines never finished: the third is past the share.
        FloodCase{"many_bytes", times(3, std::string(900 * 1000, 'x')), "d", 0}), caseName);

// A connection that says nothing gives its place back; the app's own stays however quiet.
TEST_F(DaemonFixture, AQuietConnectionIsClosedButNotTheApps) {
    startDaemon({"--app-executable", testProgram(), "--idle-seconds", "1"});
    JsonLinesClient app(VardexPaths::socketPath());
    ASSERT_TRUE(app.connect(5.0));
    Flood quiet(home.path(), {""});
    EXPECT_EQ(quiet.heard(1, 5.0), "x");
    EXPECT_TRUE(app.ping()) << "the app's connection, quiet for longer, is still served";
}

}  // namespace
}  // namespace vardex::testing
