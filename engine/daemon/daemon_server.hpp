#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <sys/socket.h>
#include <string>

#include <nlohmann/json.hpp>

#include "daemon/approval_memory.hpp"
#include "daemon/audit_writer.hpp"
#include "daemon/daemon_limits.hpp"
#include "daemon/listening_socket.hpp"
#include "protocol/peer_identity.hpp"
#include "daemon/policy_watch.hpp"
#include "daemon/question_rate.hpp"
#include "protocol/action.hpp"
#include "protocol/approval.hpp"
#include "protocol/decision.hpp"
#include "protocol/ipc_message.hpp"

namespace vardex::engine {

// Who settled a question, as the activity log's "approver" names it when no person's own
// "by" text applies.
namespace Approver {
inline constexpr const char* timeout = "timeout";
inline constexpr const char* noUi = "no_ui";
inline constexpr const char* session = "session";
inline constexpr const char* always = "always_allow";
inline constexpr const char* agentGone = "agent_gone";
inline constexpr const char* shutdown = "shutdown";
// Too many questions were open or asked lately, over all or from the asking process.
inline constexpr const char* busy = "busy";
}  // namespace Approver

// Whose answers count. Only a connection from the recorded app executable, run by the same
// user, is a UI; with no record nobody is. Answers signed "automation" count only for a daemon
// started for tests.
struct DaemonTrust {
    std::optional<std::filesystem::path> appExecutable;
    bool testApprovers = false;
};

// The daemon: one thread, one poll loop over the listening socket and every connection.
//
// Agents send {"type":"evaluate","action":{...}} and get one "event" line back. A connection
// that said hello as "ui" and subscribed receives approval requests, answers given elsewhere
// and every decision as an "event", and nothing else. Any other connection may ping. A
// question goes to every subscribed UI and the first answer wins; without a UI, or without an
// answer in time, the policy's fallbacks decide. Every decision is appended to the activity log.
//
// Whether a connection is the app is settled when it is accepted and again for every message
// that speaks as the app (hello as "ui", subscribe, answers): the kernel names the process that
// wrote those bytes, which must be the one accepted, still the same process and still running
// the app. A process sharing the app's connection, or that connected before it became the app,
// does not speak for it.
//
// No agent can deny the others service: each process that connects is held to its share of
// connections, bytes and open questions (`DaemonLimits`), questions reach the user at a bounded
// rate, and whatever goes past a share is denied, never allowed. The app is held to none of it,
// and nothing another peer sends or asks can make the daemon drop the app.
class DaemonServer {
public:
    DaemonServer(ListeningSocket socket, PolicyWatch policy, ApprovalMemory memory,
                 std::filesystem::path auditLog, std::ostream& diagnostics, DaemonTrust trust = {},
                 DaemonLimits limits = {});
    DaemonServer(const DaemonServer&) = delete;
    DaemonServer& operator=(const DaemonServer&) = delete;
    ~DaemonServer();

    // Serves until `stopFd` becomes readable. Questions still open then are denied.
    void run(int stopFd);

private:
    using Clock = std::chrono::steady_clock;

    struct Connection {
        int fd = -1;
        std::string input;
        std::string output;
        std::optional<IpcRole> role;
        bool subscribed = false;
        bool inputEnded = false;  // the peer will send nothing more but may still read
        bool gone = false;        // to be closed at the end of this turn
        // The recorded app, as checked when the connection was accepted.
        std::optional<pid_t> appPid;
        unsigned long long appStartTicks = 0;
        bool inputFromApp = false;  // every byte now in `input` was written by that process
        // The process that connected; absent when the kernel did not say.
        std::optional<PeerKey> peer;
        // When the last whole line came in, or the connection was accepted.
        Clock::time_point lastLine;
        bool eventsLeftOut = false;  // said once while the app's backlog is too long
    };

    struct OpenQuestion {
        std::uint64_t agent = 0;  // the asking connection
        Action action;
        Decision decision;
        ApprovalRequest request;
        Clock::time_point deadline;
    };

    void acceptAll();
    // Takes the socket's path back from whatever replaced it, and tells the app.
    void keepSocketInPlace();
    void recordTheApp(Connection& connection) const;
    bool sentByTheApp(const Connection& connection, const std::optional<ucred>& sender) const;
    // Closes connections that fell quiet or stopped in the middle of a line.
    void dropIdle();
    // Whether a connection is held to its peer's share and to the idle limit: the app's are not.
    static bool heldToShare(const Connection& connection) { return !connection.appPid; }
    bool waitsForAnswer(std::uint64_t id) const;
    // Bytes held for every connection, leaving out what waits for the app to read.
    std::size_t bufferedBytes() const;
    std::size_t bufferedBytesOf(const std::optional<PeerKey>& peer) const;
    std::size_t heldFor(const Connection& connection) const;
    // Live connections held to `peer`'s share, or every live one.
    std::size_t connectionsOf(const std::optional<PeerKey>& peer, bool everyone = false) const;
    std::size_t openQuestionsOf(const std::optional<PeerKey>& peer) const;
    // With every place taken, closes one connection of the peer holding the most, when it holds
    // more than `newcomer`; false when no place could be freed.
    bool makeRoomFor(const Connection& newcomer);
    // Answers whatever the connection asks with a denial naming `why`, and marks it gone.
    void refuse(Connection& connection, const std::string& why);
    // Why a question from `agent` may not be put to the user now, if it may not.
    std::optional<std::string> questionRefusal(std::uint64_t agent);
    void readFrom(std::uint64_t id);
    void flush(Connection& connection);
    void closeGone();
    void handleLine(std::uint64_t id, const std::string& line, bool fromApp);
    void handleMessage(std::uint64_t id, const IpcMessage& message, bool fromApp);
    void evaluateFor(std::uint64_t agent, const Action& action);
    void answer(std::uint64_t from, const ApprovalResponse& response);
    void expireQuestions();
    // Settles an open question without a person's answer.
    void settleUnanswered(const std::string& questionId, Outcome fallback, const std::string& approver,
                          const std::string& reasonAgent);
    // Reports the decision to the agent and the UIs and logs it; a question a person answered
    // is logged as asked, with their verdict.
    void finish(std::uint64_t agent, const Action& action, const Decision& decision,
                const std::optional<std::string>& approver, std::optional<ApprovalVerdict> verdict = std::nullopt);
    void broadcast(const IpcMessage& message, std::optional<std::uint64_t> except = std::nullopt);
    // The UIs hear of a decision once its line is in the log.
    void broadcastWritten();
    void queue(Connection& connection, const IpcMessage& message);
    bool isSubscribedUi(const Connection& connection) const;
    bool anyUi() const;
    int msUntilNextDeadline() const;
    std::string newQuestionId();

    ListeningSocket socket_;
    PolicyWatch policy_;
    ApprovalMemory memory_;
    std::filesystem::path auditLog_;
    std::ostream& diagnostics_;
    DaemonTrust trust_;
    DaemonLimits limits_;
    Clock::time_point acceptPausedUntil_;
    bool refusedSinceLastAccept_ = false;
    bool socketTroubleSaid_ = false;
    // Refusals are said at most once a second, with how many were not said.
    Clock::time_point refusalSaidAt_;
    std::size_t refusalsUnsaid_ = 0;
    QuestionRate questionRate_;
    std::map<std::uint64_t, Connection> connections_;
    std::map<std::string, OpenQuestion> questions_;
    std::uint64_t nextConnection_ = 1;
    std::uint64_t questionCount_ = 0;
    std::string questionPrefix_;
    struct Unwritten {
        IpcMessage event;
        std::uint64_t agent = 0;
    };
    std::map<std::uint64_t, Unwritten> unwritten_;  // by ticket of the audit writer
    std::uint64_t nextTicket_ = 1;
    AuditWriter writer_;  // last: its thread stops before the rest goes
};

}  // namespace vardex::engine
