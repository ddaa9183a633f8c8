#include "daemon/daemon_server.hpp"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <random>
#include <vector>

#include <date/date.h>

#include "core/audit_log.hpp"
#include "core/command_breakdown.hpp"
#include "core/evaluator.hpp"
#include "daemon/action_record.hpp"
#include "daemon/evaluate_message.hpp"
#include "daemon/sender_credentials.hpp"
#include "protocol/json_lines_client.hpp"
#include "protocol/line_codec.hpp"
#include "protocol/protocol_json.hpp"

namespace vardex::engine {
namespace {

constexpr const char* automationApprover = "automation";

std::string isoNow() {
    return date::format("%FT%TZ", std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()));
}

// Only allow and deny reach an agent; a fallback set to "ask" cannot ask again.
Outcome settled(Outcome fallback) { return fallback == Outcome::allow ? Outcome::allow : Outcome::deny; }

struct FallbackText {
    const char* approver;
    const char* denied;
    const char* allowed;
};

constexpr FallbackText fallbackTexts[] = {
    {Approver::noUi,
     "Nobody was available in Talvenor Vardex to approve this, so it was denied; ask the user to open "
     "Vardex Bar, then try again.",
     "Nobody was available in Talvenor Vardex to approve this; the policy lets it through."},
    {Approver::timeout, "Nobody answered in time, so this was denied; do not retry without asking the user.",
     "Nobody answered in time; the policy lets this through."},
    {Approver::agentGone, "The agent stopped waiting for an answer, so this was denied.",
     "The agent stopped waiting for an answer, so this was denied."},
    {Approver::shutdown, "Talvenor Vardex stopped before anyone answered, so this was denied.",
     "Talvenor Vardex stopped before anyone answered, so this was denied."},
};

std::string fallbackReason(const std::string& approver, Outcome outcome) {
    for (const auto& text : fallbackTexts) {
        if (approver == text.approver) return outcome == Outcome::allow ? text.allowed : text.denied;
    }
    return {};
}

std::string randomPrefix() {
    std::random_device device;
    const std::uint64_t value = (static_cast<std::uint64_t>(device()) << 32) | device();
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

}  // namespace

DaemonServer::DaemonServer(ListeningSocket socket, PolicyWatch policy, ApprovalMemory memory,
                           std::filesystem::path auditLog, std::ostream& diagnostics, DaemonTrust trust,
                           DaemonLimits limits)
    : socket_(std::move(socket)),
      policy_(std::move(policy)),
      memory_(std::move(memory)),
      auditLog_(std::move(auditLog)),
      diagnostics_(diagnostics),
      trust_(std::move(trust)),
      limits_(limits),
      questionRate_(limits_, Clock::now()),
      questionPrefix_(randomPrefix()),
      writer_(auditLog_, limits_.unwrittenRecords) {}

DaemonServer::~DaemonServer() {
    for (auto& [id, connection] : connections_) ::close(connection.fd);
}

void DaemonServer::run(int stopFd) {
    std::vector<pollfd> watched;
    std::vector<std::uint64_t> ids;
    for (;;) {
        // With no descriptor left, a readable listening socket would wake the loop at once,
        // again and again; it is left out of the poll until the pause is over.
        const bool accepting = Clock::now() >= acceptPausedUntil_;
        watched.assign({{stopFd, POLLIN, 0}, {accepting ? socket_.fd() : -1, POLLIN, 0}, {writer_.readyFd(), POLLIN, 0}});
        ids.clear();
        for (const auto& [id, connection] : connections_) {
            short events = connection.inputEnded ? 0 : POLLIN;
            if (!connection.output.empty()) events |= POLLOUT;
            watched.push_back({connection.fd, events, 0});
            ids.push_back(id);
        }
        const int ready = ::poll(watched.data(), watched.size(), msUntilNextDeadline());
        if (ready < 0 && errno != EINTR) {
            diagnostics_ << "vardex daemon: poll failed: " << std::system_category().message(errno) << std::endl;
            break;
        }
        if (ready > 0 && (watched[0].revents & (POLLIN | POLLHUP)) != 0) break;
        if (ready > 0) {
            if ((watched[1].revents & POLLIN) != 0) acceptAll();
            if ((watched[2].revents & POLLIN) != 0) broadcastWritten();
            for (std::size_t i = 0; i < ids.size(); ++i) {
                const short revents = watched[i + 3].revents;
                auto found = connections_.find(ids[i]);
                if (revents == 0 || found == connections_.end()) continue;
                if ((revents & (POLLIN | POLLHUP | POLLERR)) != 0) readFrom(ids[i]);
                // A peer that closed both ways cannot hear an answer any more.
                if ((revents & (POLLHUP | POLLERR)) != 0) found->second.gone = true;
            }
        }
        keepSocketInPlace();
        dropIdle();
        expireQuestions();
        for (auto& [id, connection] : connections_) flush(connection);
        closeGone();
    }

    std::vector<std::string> open;
    for (const auto& [id, question] : questions_) open.push_back(id);
    for (const auto& id : open) settleUnanswered(id, Outcome::deny, Approver::shutdown, {});
    writer_.drain();
    broadcastWritten();
    for (auto& [id, connection] : connections_) flush(connection);
}

void DaemonServer::acceptAll() {
    for (;;) {
        const int fd = ::accept4(socket_.fd(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // Said once per pause, not once per wake-up.
                if (!refusedSinceLastAccept_) {
                    diagnostics_ << "vardex daemon: no descriptor left for a new connection ("
                                 << std::system_category().message(errno) << "); waiting before accepting more"
                                 << std::endl;
                }
                refusedSinceLastAccept_ = true;
                acceptPausedUntil_ = Clock::now() + limits_.acceptBackoff;
            } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
                diagnostics_ << "vardex daemon: accept failed: " << std::system_category().message(errno)
                             << std::endl;
            }
            return;
        }
        refusedSinceLastAccept_ = false;
        // Inherited from the listening socket where the kernel can; else at once, as bytes sent
        // before this carry no sender and would not count as the app's.
        if (!askForSenderCredentials(fd)) {
            diagnostics_ << "vardex daemon: could not ask for the senders of a connection: "
                         << std::system_category().message(errno) << std::endl;
        }
        Connection connection;
        connection.fd = fd;
        if (const auto process = connectingProcess(fd)) connection.peer = PeerKey{process->uid, process->pid};
        recordTheApp(connection);
        // Refused connections are accepted, answered and closed at once: left in the backlog
        // they would keep the loop awake.
        std::optional<std::string> refusal;
        if (connectionsOf(std::nullopt, true) >= limits_.connections && !makeRoomFor(connection)) {
            refusal = "the Vardex daemon is serving as many connections as it may";
        } else if (heldToShare(connection) && connectionsOf(connection.peer) >= limits_.connectionsPerPeer) {
            refusal = "this process already holds as many connections to the Vardex daemon as one process may";
        }
        if (refusal) {
            refuse(connection, *refusal);
            ::close(fd);
            continue;
        }
        connection.lastLine = Clock::now();
        connections_.emplace(nextConnection_++, std::move(connection));
    }
}

void DaemonServer::keepSocketInPlace() {
    if (socket_.inPlace()) {
        socketTroubleSaid_ = false;
        return;
    }
    // Whoever replaced the file receives every new connection there, hooks and the app's.
    auto reclaimed = socket_.reclaim();
    if (!socketTroubleSaid_) {
        diagnostics_ << "vardex daemon: the socket " << socket_.path() << " was removed or replaced by another program; "
                     << (reclaimed ? std::string("it is bound again") : "it could not be bound again: " + reclaimed.error())
                     << std::endl;
        broadcast(IpcMessage::notice(
            "Another program replaced the Vardex daemon's socket, so agents starting in the meantime may have reached "
            "that program instead of Vardex. " +
            std::string(reclaimed ? "Vardex has taken its place back." : "Vardex could not take its place back: " + reclaimed.error())));
    }
    socketTroubleSaid_ = !reclaimed;
}

void DaemonServer::recordTheApp(Connection& connection) const {
    if (!trust_.appExecutable) return;
    const auto peer = peerIdentity(connection.fd, ticksSinceBoot());
    if (!peer || peer->uid != ::geteuid() || !peer->executable) return;
    const auto recorded = fileIdentity(*trust_.appExecutable);
    if (!recorded || *recorded != *peer->executable) return;
    connection.appPid = peer->pid;
    connection.appStartTicks = peer->startTicks;
}

bool DaemonServer::sentByTheApp(const Connection& connection, const std::optional<ucred>& sender) const {
    if (!connection.appPid || !sender || sender->pid != *connection.appPid || sender->uid != ::geteuid()) {
        return false;
    }
    // The same process as at accept, not a newer one under a reused id, and still running the
    // app: the start time is read around the program so both belong to one process.
    const auto before = processStartTicks(sender->pid);
    const auto program = fileIdentity("/proc/" + std::to_string(sender->pid) + "/exe");
    const auto after = processStartTicks(sender->pid);
    const auto recorded = fileIdentity(*trust_.appExecutable);
    return before && after && *before == connection.appStartTicks && *after == *before && program && recorded &&
           *program == *recorded;
}

std::size_t DaemonServer::heldFor(const Connection& connection) const {
    return connection.input.size() + (isSubscribedUi(connection) ? 0 : connection.output.size());
}

std::size_t DaemonServer::bufferedBytes() const {
    std::size_t total = 0;
    for (const auto& [id, connection] : connections_) total += heldFor(connection);
    return total;
}

std::size_t DaemonServer::bufferedBytesOf(const std::optional<PeerKey>& peer) const {
    std::size_t total = 0;
    for (const auto& [id, connection] : connections_) {
        if (connection.peer == peer && heldToShare(connection)) total += heldFor(connection);
    }
    return total;
}

std::size_t DaemonServer::connectionsOf(const std::optional<PeerKey>& peer, bool everyone) const {
    return static_cast<std::size_t>(std::count_if(connections_.begin(), connections_.end(), [&](const auto& entry) {
        return !entry.second.gone && (everyone || (entry.second.peer == peer && heldToShare(entry.second)));
    }));
}

std::size_t DaemonServer::openQuestionsOf(const std::optional<PeerKey>& peer) const {
    return static_cast<std::size_t>(std::count_if(questions_.begin(), questions_.end(), [&](const auto& entry) {
        const auto asking = connections_.find(entry.second.agent);
        return asking != connections_.end() && asking->second.peer == peer && heldToShare(asking->second);
    }));
}

bool DaemonServer::waitsForAnswer(std::uint64_t id) const {
    return std::any_of(questions_.begin(), questions_.end(), [&](const auto& entry) { return entry.second.agent == id; });
}

bool DaemonServer::makeRoomFor(const Connection& newcomer) {
    std::map<std::optional<PeerKey>, std::size_t> held;
    for (const auto& [id, connection] : connections_) {
        if (!connection.gone && heldToShare(connection)) ++held[connection.peer];
    }
    // A place changes hands only when the holder keeps at least as many as the newcomer gets;
    // the app takes one from anybody.
    const std::size_t own = heldToShare(newcomer) ? held[newcomer.peer] + 1 : 0;
    const auto largest = std::max_element(held.begin(), held.end(),
                                          [](const auto& a, const auto& b) { return a.second < b.second; });
    if (largest == held.end() || largest->second <= own) return false;
    // Its oldest connection that waits for no answer: nobody loses a question.
    for (auto& [id, connection] : connections_) {
        if (connection.gone || !heldToShare(connection) || connection.peer != largest->first || waitsForAnswer(id)) {
            continue;
        }
        refuse(connection, "another process needed a place while this one held the most connections to the Vardex daemon");
        return true;
    }
    return false;
}

void DaemonServer::refuse(Connection& connection, const std::string& why) {
    connection.gone = true;
    // A line half sent cannot be followed by another one.
    if (connection.output.empty()) {
        DecisionEvent refusal;
        refusal.decision = Outcome::deny;
        refusal.reasonUser = "Vardex turned the request away: " + why + ".";
        refusal.reasonAgent = "Denied: " + why + ". Do not open more connections or send more requests; try again shortly.";
        if (auto line = encodeLine(IpcMessage::event(refusal))) {
            (void)::send(connection.fd, line->data(), line->size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        }
    }
    // A flood of refusals is said once a second, not once each.
    const auto now = Clock::now();
    if (now - refusalSaidAt_ < std::chrono::seconds(1)) {
        ++refusalsUnsaid_;
        return;
    }
    diagnostics_ << "vardex daemon: turned a connection away: " << why;
    if (refusalsUnsaid_ > 0) diagnostics_ << " (and " << refusalsUnsaid_ << " more not said)";
    diagnostics_ << std::endl;
    refusalSaidAt_ = now;
    refusalsUnsaid_ = 0;
}

void DaemonServer::dropIdle() {
    const auto now = Clock::now();
    for (auto& [id, connection] : connections_) {
        if (connection.gone || now - connection.lastLine < limits_.idle) continue;
        if (!connection.input.empty()) {
            diagnostics_ << "vardex daemon: dropped a connection that stopped in the middle of a line" << std::endl;
            connection.gone = true;
        } else if (heldToShare(connection) && !waitsForAnswer(id)) {
            // Holds a place and says nothing: the place goes to the next hook.
            connection.gone = true;
        }
    }
}

void DaemonServer::readFrom(std::uint64_t id) {
    char buffer[16384];
    for (;;) {
        auto found = connections_.find(id);
        if (found == connections_.end() || found->second.gone || found->second.inputEnded) return;
        Connection& connection = found->second;
        const auto received = receiveWithSender(connection.fd, buffer, sizeof buffer);
        const ssize_t count = received.count;
        if (count < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) connection.gone = true;
            return;
        }
        if (count == 0) {
            connection.inputEnded = true;
            // A last line without its line feed still counts.
            if (!connection.input.empty()) {
                std::string last = std::move(connection.input);
                connection.input.clear();
                handleLine(id, last, connection.inputFromApp);
            }
            return;
        }
        const auto more = static_cast<std::size_t>(count);
        // The app's answers are always read: nobody else's bytes may cut it off.
        if (!isSubscribedUi(connection) && bufferedBytes() + more > limits_.bufferedBytes) {
            return refuse(connection, "the Vardex daemon holds as many unread bytes as it may");
        }
        if (heldToShare(connection) && bufferedBytesOf(connection.peer) + more > limits_.bufferedBytesPerPeer) {
            return refuse(connection, "this process sent more than the Vardex daemon holds for one process");
        }
        // Only bytes the app itself wrote may speak for it; a line is as trusted as its least
        // trusted part.
        const bool chunkFromApp = connection.appPid && sentByTheApp(connection, received.sender);
        connection.inputFromApp = (connection.input.empty() || connection.inputFromApp) && chunkFromApp;
        connection.input.append(buffer, more);
        std::size_t start = 0;
        for (;;) {
            auto current = connections_.find(id);
            if (current == connections_.end() || current->second.gone) return;
            std::string& input = current->second.input;
            const std::size_t end = input.find('\n', start);
            if (end == std::string::npos) {
                input.erase(0, start);
                if (input.size() > limits_.lineBytes) {
                    refuse(current->second, "a line grew longer than the Vardex daemon reads");
                }
                break;
            }
            std::string line = input.substr(start, end - start);
            start = end + 1;
            current->second.lastLine = Clock::now();
            handleLine(id, line, current->second.inputFromApp);
        }
    }
}

void DaemonServer::handleLine(std::uint64_t id, const std::string& raw, bool fromApp) {
    std::string line;
    line.reserve(raw.size());
    std::copy_if(raw.begin(), raw.end(), std::back_inserter(line), [](char c) { return c != '\r'; });
    if (line.find_first_not_of(" \t") == std::string::npos) return;

    const auto dropPeer = [&](const std::string& why) {
        diagnostics_ << "vardex daemon: dropped a connection: " << why << std::endl;
        connections_.at(id).gone = true;
    };
    const auto tree = nlohmann::json::parse(line, nullptr, false);
    if (!tree.is_object() || !tree.contains("type") || !tree["type"].is_string()) {
        return dropPeer("a line that is not a protocol message");
    }
    if (tree["type"].get<std::string>() == evaluateType) {
        if (!tree.contains("action")) return dropPeer("an evaluate message without an action");
        auto action = ProtocolJSON::fromTree<Action>(tree["action"]);
        if (!action) return dropPeer("an action that does not decode: " + action.error().description());
        return evaluateFor(id, *action);
    }
    auto message = ProtocolJSON::fromTree<IpcMessage>(tree);
    if (!message) return dropPeer(message.error().description());
    handleMessage(id, *message, fromApp);
}

void DaemonServer::handleMessage(std::uint64_t id, const IpcMessage& message, bool fromApp) {
    Connection& connection = connections_.at(id);
    const auto notFromApp = [&](const char* what) {
        diagnostics_ << "vardex daemon: dropped " << what << " that the recorded app did not send";
        if (connection.appPid) diagnostics_ << " on its connection";
        diagnostics_ << std::endl;
    };
    if (const auto* hello = std::get_if<IpcMessage::Hello>(&message.payload)) {
        if (hello->role == IpcRole::ui && !fromApp) {
            return notFromApp("a hello as the app (it will hear no questions and its answers do not count)");
        }
        connection.role = hello->role;
    } else if (message.is<IpcMessage::Subscribe>()) {
        if (!fromApp) return notFromApp("a subscription");
        connection.subscribed = true;
    } else if (message.is<IpcMessage::Ping>()) {
        // A UI only ever hears questions, answers and events; its own pings are replies.
        if (!isSubscribedUi(connection)) queue(connection, IpcMessage::ping());
    } else if (const auto* response = std::get_if<ApprovalResponse>(&message.payload)) {
        if (!isSubscribedUi(connection)) return;
        if (!fromApp) return notFromApp("an answer");
        if (response->by == automationApprover && !trust_.testApprovers) {
            diagnostics_ << "vardex daemon: ignored an answer from automation; this daemon was not started for tests"
                         << std::endl;
            return;
        }
        answer(id, *response);
    }
    // Questions and events only travel from the daemon outwards.
}

void DaemonServer::evaluateFor(std::uint64_t agent, const Action& action) {
    if (auto problem = policy_.refresh()) {
        diagnostics_ << "vardex daemon: kept the previous policy: " << *problem << std::endl;
    }
    const EnginePolicy& policy = policy_.current();
    Decision decision = evaluate(action, policy);
    if (writer_.full()) {
        // What cannot be recorded is not let through.
        decision.outcome = Outcome::deny;
        decision.reasonAgent =
            "Talvenor Vardex cannot write its activity log at the moment, so this was denied; try again shortly.";
        return finish(agent, action, decision, std::nullopt);
    }
    if (decision.outcome != Outcome::ask) return finish(agent, action, decision, std::nullopt);

    if (auto earlier = memory_.remembered(action, decision)) {
        Decision allowed = decision;
        allowed.outcome = Outcome::allow;
        allowed.reasonAgent = DecisionEvent::fromApproval(approvalRequest({}, action, decision), *earlier).reasonAgent;
        const bool always = *earlier == ApprovalVerdict::alwaysAllow;
        return finish(agent, action, allowed, std::string(always ? Approver::always : Approver::session));
    }
    if (!anyUi()) {
        Decision fallback = decision;
        fallback.outcome = settled(policy.onNoUi);
        fallback.reasonAgent = fallbackReason(Approver::noUi, fallback.outcome);
        return finish(agent, action, fallback, std::string(Approver::noUi));
    }

    if (auto refusal = questionRefusal(agent)) {
        // Never the no-app fallback, which a policy may set to allow: a flood must not open a way.
        Decision refused = decision;
        refused.outcome = Outcome::deny;
        refused.reasonAgent = *refusal;
        return finish(agent, action, refused, std::string(Approver::busy));
    }

    const std::string id = newQuestionId();
    ApprovalRequest request = approvalRequest(id, action, decision);
    request.breakdown = commandBreakdown(action, policy, decision);
    OpenQuestion question{agent, action, decision, std::move(request),
                          Clock::now() + std::chrono::seconds(std::max(0, policy.askTimeoutSeconds))};
    const IpcMessage asked = IpcMessage::approvalRequest(question.request);
    // The app reads lines up to a bound and drops a connection that sends a longer one; every
    // field of a question is cut well below it, and this keeps it so whatever a field holds.
    if (const auto line = encodeLine(asked); !line || line->size() > JsonLinesClient::maxLineBytes) {
        Decision refused = decision;
        refused.outcome = Outcome::deny;
        refused.reasonAgent = "This action could not be shown to the user in a question, so it was denied.";
        return finish(agent, action, refused, std::string(Approver::busy));
    }
    broadcast(asked);
    questions_.emplace(id, std::move(question));
}

std::optional<std::string> DaemonServer::questionRefusal(std::uint64_t agent) {
    const Connection& asking = connections_.at(agent);
    if (heldToShare(asking) && openQuestionsOf(asking.peer) >= limits_.openQuestionsPerPeer) {
        return "Denied without asking: this process already has " + std::to_string(limits_.openQuestionsPerPeer) +
               " questions waiting for the user. Wait for their answers before asking again.";
    }
    if (questions_.size() >= limits_.openQuestions) {
        return std::string(
            "Denied without asking: too many questions are waiting for the user. Wait for their answers before "
            "asking again.");
    }
    if (!questionRate_.admit(heldToShare(asking) ? asking.peer : std::nullopt, Clock::now())) {
        return std::string(
            "Denied without asking: questions came faster than a person can answer them. Wait a little, then ask "
            "again, one question at a time.");
    }
    return std::nullopt;
}

void DaemonServer::answer(std::uint64_t from, const ApprovalResponse& response) {
    auto found = questions_.find(response.id);
    // A late answer to a question already settled changes nothing.
    if (found == questions_.end()) return;
    OpenQuestion question = std::move(found->second);
    questions_.erase(found);

    if (auto kept = memory_.remember(question.action, question.decision, response.verdict); !kept) {
        diagnostics_ << "vardex daemon: could not keep the answer: " << kept.error() << std::endl;
    }
    broadcast(IpcMessage::approvalResponse(response), from);

    Decision decided = question.decision;
    decided.outcome = isAllowed(response.verdict) ? Outcome::allow : Outcome::deny;
    decided.reasonAgent = DecisionEvent::fromApproval(question.request, response.verdict).reasonAgent;
    // The app answers "timeout" itself when its own waiting time ends: nobody chose.
    const bool chosen = response.by != Approver::timeout;
    finish(question.agent, question.action, decided, response.by.empty() ? std::string("ui") : response.by,
           chosen ? std::optional(response.verdict) : std::nullopt);
}

void DaemonServer::settleUnanswered(const std::string& questionId, Outcome fallback, const std::string& approver,
                                    const std::string& reasonAgent) {
    auto found = questions_.find(questionId);
    if (found == questions_.end()) return;
    OpenQuestion question = std::move(found->second);
    questions_.erase(found);

    Decision decided = question.decision;
    decided.outcome = settled(fallback);
    decided.reasonAgent = reasonAgent.empty() ? fallbackReason(approver, decided.outcome) : reasonAgent;
    const auto verdict = decided.outcome == Outcome::allow ? ApprovalVerdict::allowOnce : ApprovalVerdict::deny;
    // Every UI still showing the question learns it is settled.
    broadcast(IpcMessage::approvalResponse(ApprovalResponse{questionId, verdict, approver}));
    finish(question.agent, question.action, decided, approver);
}

void DaemonServer::expireQuestions() {
    const auto now = Clock::now();
    std::vector<std::pair<std::string, std::string>> due;  // id, approver
    const bool uiLeft = anyUi();
    for (const auto& [id, question] : questions_) {
        auto agent = connections_.find(question.agent);
        if (agent == connections_.end() || agent->second.gone) {
            due.emplace_back(id, Approver::agentGone);
        } else if (!uiLeft) {
            due.emplace_back(id, Approver::noUi);
        } else if (question.deadline <= now) {
            due.emplace_back(id, Approver::timeout);
        }
    }
    const EnginePolicy& policy = policy_.current();
    for (const auto& [id, approver] : due) {
        Outcome fallback = Outcome::deny;
        if (approver == Approver::noUi) fallback = policy.onNoUi;
        if (approver == Approver::timeout) fallback = policy.onTimeout;
        settleUnanswered(id, fallback, approver, {});
    }
}

void DaemonServer::finish(std::uint64_t agent, const Action& action, const Decision& decision,
                          const std::optional<std::string>& approver, std::optional<ApprovalVerdict> verdict) {
    const IpcMessage event = IpcMessage::event(decisionEvent(action, decision));
    if (auto asking = connections_.find(agent); asking != connections_.end() && !asking->second.gone) {
        queue(asking->second, event);
        // The agent is waiting: it hears first, and the log's flush to the disk (milliseconds)
        // follows before the next decision is taken. The UIs hear once the line is written.
        flush(asking->second);
    }

    AuditRecord record;
    record.ts = isoNow();
    record.agent = action.context.agent;
    record.session = action.context.sessionId;
    record.action = actionWithoutContext(action);
    record.decision = verdict ? Outcome::ask : decision.outcome;
    record.ruleId = decision.ruleId;
    record.risk = decision.riskScore.value();
    record.approver = approver;
    if (verdict) record.verdict = std::string(wireText(*verdict));
    const std::uint64_t ticket = nextTicket_++;
    if (!writer_.submit(ticket, std::move(record))) {
        diagnostics_ << "vardex daemon: could not write the activity log: too many decisions wait for its lock"
                     << std::endl;
        broadcast(event, agent);
        return;
    }
    unwritten_.emplace(ticket, Unwritten{event, agent});
}

void DaemonServer::broadcastWritten() {
    for (const auto& written : writer_.collect()) {
        if (written.error) {
            diagnostics_ << "vardex daemon: could not write the activity log: " << *written.error << std::endl;
        }
        auto found = unwritten_.find(written.ticket);
        if (found == unwritten_.end()) continue;
        broadcast(found->second.event, found->second.agent);
        unwritten_.erase(found);
    }
}

void DaemonServer::broadcast(const IpcMessage& message, std::optional<std::uint64_t> except) {
    for (auto& [id, connection] : connections_) {
        if (id != except && isSubscribedUi(connection)) queue(connection, message);
    }
}

void DaemonServer::queue(Connection& connection, const IpcMessage& message) {
    if (connection.gone) return;
    auto line = encodeLine(message);
    if (!line) {
        diagnostics_ << "vardex daemon: could not encode a " << message.typeName()
                     << " message: " << line.error().description() << std::endl;
        return;
    }
    const bool toApp = isSubscribedUi(connection);
    if (connection.output.empty()) connection.eventsLeftOut = false;
    if (toApp && message.is<IpcMessage::Event>() &&
        connection.output.size() + line->size() > limits_.uiEventBacklogBytes) {
        if (!connection.eventsLeftOut) {
            diagnostics_ << "vardex daemon: the app reads slowly; decisions are left out for it until it catches "
                            "up (they are in the activity log)"
                         << std::endl;
        }
        connection.eventsLeftOut = true;
        return;
    }
    if (connection.output.size() + line->size() > limits_.outputBytes ||
        (!toApp && bufferedBytes() + line->size() > limits_.bufferedBytes)) {
        diagnostics_ << "vardex daemon: dropped a connection that stopped reading" << std::endl;
        connection.gone = true;
        return;
    }
    connection.output += *line;
}

void DaemonServer::flush(Connection& connection) {
    while (!connection.output.empty() && !connection.gone) {
        const ssize_t count =
            ::send(connection.fd, connection.output.data(), connection.output.size(), MSG_NOSIGNAL);
        if (count > 0) {
            connection.output.erase(0, static_cast<std::size_t>(count));
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return;
        } else {
            connection.gone = true;
        }
    }
}

void DaemonServer::closeGone() {
    for (auto it = connections_.begin(); it != connections_.end();) {
        Connection& connection = it->second;
        const bool waiting = std::any_of(questions_.begin(), questions_.end(),
                                         [&](const auto& entry) { return entry.second.agent == it->first; });
        // A peer that has said all it will say is closed once it has heard every answer.
        const bool done = connection.inputEnded && connection.output.empty() && !waiting;
        if (connection.gone || done) {
            ::close(connection.fd);
            it = connections_.erase(it);
        } else {
            ++it;
        }
    }
    // Questions whose agent has just gone, or whose last UI has, are settled on the next turn.
    if (!questions_.empty()) expireQuestions();
}

bool DaemonServer::isSubscribedUi(const Connection& connection) const {
    return !connection.gone && connection.appPid && connection.role == IpcRole::ui && connection.subscribed;
}

bool DaemonServer::anyUi() const {
    return std::any_of(connections_.begin(), connections_.end(),
                       [&](const auto& entry) { return isSubscribedUi(entry.second); });
}

int DaemonServer::msUntilNextDeadline() const {
    auto next = Clock::time_point::max();
    for (const auto& [id, question] : questions_) next = std::min(next, question.deadline);
    for (const auto& [id, connection] : connections_) {
        if (!connection.input.empty() || (heldToShare(connection) && !waitsForAnswer(id))) {
            next = std::min(next, connection.lastLine + limits_.idle);
        }
    }
    if (Clock::now() < acceptPausedUntil_) next = std::min(next, acceptPausedUntil_);
    // The socket file is looked at on every turn, and at least this often.
    next = std::min(next, Clock::now() + limits_.socketWatch);
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(wait, 0, 60'000));
}

std::string DaemonServer::newQuestionId() { return questionPrefix_ + "-" + std::to_string(++questionCount_); }

}  // namespace vardex::engine
