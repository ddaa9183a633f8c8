#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <string>

#include <nlohmann/json.hpp>

#include "daemon/approval_memory.hpp"
#include "daemon/listening_socket.hpp"
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

// The daemon: one thread, one poll loop over the listening socket and every connection.
//
// Agents send {"type":"evaluate","action":{...}} and get one "event" line back. A connection
// that said hello as "ui" and subscribed receives approval requests, answers given elsewhere
// and every decision as an "event", and nothing else. Any other connection may ping. A
// question goes to every subscribed UI and the first answer wins; without a UI, or without an
// answer in time, the policy's fallbacks decide. Every decision is appended to the activity log.
class DaemonServer {
public:
    DaemonServer(ListeningSocket socket, PolicyWatch policy, ApprovalMemory memory,
                 std::filesystem::path auditLog, std::ostream& diagnostics);
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
    };

    struct OpenQuestion {
        std::uint64_t agent = 0;  // the asking connection
        Action action;
        Decision decision;
        ApprovalRequest request;
        Clock::time_point deadline;
    };

    void acceptAll();
    void readFrom(std::uint64_t id);
    void flush(Connection& connection);
    void closeGone();
    void handleLine(std::uint64_t id, const std::string& line);
    void handleMessage(std::uint64_t id, const IpcMessage& message);
    void evaluateFor(std::uint64_t agent, const Action& action);
    void answer(std::uint64_t from, const ApprovalResponse& response);
    void expireQuestions();
    // Settles an open question without a person's answer.
    void settleUnanswered(const std::string& questionId, Outcome fallback, const std::string& approver,
                          const std::string& reasonAgent);
    // Reports the decision to the agent and the UIs and logs it.
    void finish(std::uint64_t agent, const Action& action, const Decision& decision,
                const std::optional<std::string>& approver);
    void broadcast(const IpcMessage& message, std::optional<std::uint64_t> except = std::nullopt);
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
    std::map<std::uint64_t, Connection> connections_;
    std::map<std::string, OpenQuestion> questions_;
    std::uint64_t nextConnection_ = 1;
    std::uint64_t questionCount_ = 0;
    std::string questionPrefix_;
};

}  // namespace vardex::engine
