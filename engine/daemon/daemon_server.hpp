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
#include "daemon/listening_socket.hpp"
#include "protocol/peer_identity.hpp"
#include "daemon/policy_watch.hpp"
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
}  // namespace Approver

// Whose answers count. Only a connection from the recorded app executable, run by the same
// user, is a UI; with no record nobody is. Answers signed "automation" count only for a daemon
// started for tests.
struct DaemonTrust {
    std::optional<std::filesystem::path> appExecutable;
    bool testApprovers = false;
};

// What one daemon holds at most; beyond it peers are dropped rather than the daemon growing.
struct DaemonLimits {
    std::size_t connections = 64;
    std::size_t bufferedBytes = 16 * 1024 * 1024;  // input and output over all connections
    std::size_t lineBytes = 1024 * 1024;
    std::size_t outputBytes = 8 * 1024 * 1024;  // waiting for one slow reader
    std::chrono::milliseconds idleHalfLine{10'000};
    // How long accepting pauses when the process has no descriptor left.
    std::chrono::milliseconds acceptBackoff{500};
    // Decisions waiting for the activity log's lock; beyond them new actions are denied.
    std::size_t unwrittenRecords = 4096;
    // How often the socket file is checked for having been replaced, at most.
    std::chrono::milliseconds socketWatch{1000};
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
        Clock::time_point lastInput;
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
    void dropIdleHalfLines();
    std::size_t bufferedBytes() const;
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
