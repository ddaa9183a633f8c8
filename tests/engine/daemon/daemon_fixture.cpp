#include "daemon_fixture.hpp"

#include <signal.h>
#include <sys/socket.h>

#include <chrono>
#include <thread>
#include <utility>

#include "bridge/vardex_paths.hpp"
#include "support/temp_folder.hpp"

namespace vardex::testing {

void sendBytes(JsonLinesClient& client, const std::string& bytes) { sendBytes(client.fd(), bytes); }

void sendBytes(int fd, const std::string& bytes) {
    for (std::size_t sent = 0; sent < bytes.size();) {
        const auto count = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (count <= 0) return;
        sent += static_cast<std::size_t>(count);
    }
}

void DaemonFixture::TearDown() {
    if (daemon) stopDaemon();
}

std::string DaemonFixture::testProgram() { return VardexPaths::runningExecutable().value_or("").string(); }

void DaemonFixture::startDaemon(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"daemon", "--foreground"});
    waitForDaemon(std::make_unique<EngineRun>(runs(), std::move(arguments)));
}

void DaemonFixture::waitForDaemon(std::unique_ptr<EngineRun> run) {
    daemon = std::move(run);
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < limit) {
        JsonLinesClient probe(VardexPaths::socketPath());
        if (probe.connect(1.0) && probe.ping()) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    FAIL() << "the daemon did not answer: " << daemon->finish().err;
}

EngineRun::Outcome DaemonFixture::stopDaemon() {
    ::kill(daemon->pid(), SIGTERM);
    return std::exchange(daemon, nullptr)->finish();
}

std::unique_ptr<JsonLinesClient> DaemonFixture::subscribeUi() {
    auto ui = std::make_unique<JsonLinesClient>(VardexPaths::socketPath());
    EXPECT_TRUE(ui->connect(5.0));
    EXPECT_TRUE(ui->handshakeUI());
    ui->setReceiveTimeout(10.0);
    // The daemon reads its connections in order on one thread: once a later ping is answered,
    // the subscription sent before it has been taken.
    JsonLinesClient probe(VardexPaths::socketPath());
    EXPECT_TRUE(probe.connect(5.0) && probe.ping());
    return ui;
}

IpcMessage DaemonFixture::next(JsonLinesClient& ui) {
    auto message = ui.receive();
    if (!message) {
        ADD_FAILURE() << "no message for the UI: " << message.error().description();
        return IpcMessage::ping();
    }
    return *message;
}

ApprovalRequest DaemonFixture::nextRequest(JsonLinesClient& ui) {
    const auto message = next(ui);
    EXPECT_EQ(message.typeName(), "approval_request");
    return message.asRequest().value_or(ApprovalRequest{});
}

DecisionEvent DaemonFixture::nextEvent(JsonLinesClient& ui) {
    const auto message = next(ui);
    EXPECT_EQ(message.typeName(), "event");
    const auto* event = std::get_if<IpcMessage::Event>(&message.payload);
    return event != nullptr ? event->decision : DecisionEvent{};
}

std::unique_ptr<EngineRun> DaemonFixture::startAsk(const std::string& session, std::vector<std::string> action) {
    std::vector<std::string> arguments{"ask", "--agent", "claude", "--session", session};
    arguments.insert(arguments.end(), action.begin(), action.end());
    return std::make_unique<EngineRun>(runs(), std::move(arguments));
}

EngineRun::Outcome DaemonFixture::ask(const std::string& session, std::vector<std::string> action) {
    return startAsk(session, std::move(action))->finish();
}

std::vector<AuditLogEntry> DaemonFixture::audit() const {
    return AuditLogEntry::readRecent(VardexPaths::auditLogURL(), 0);
}

std::vector<AuditLogEntry> DaemonFixture::auditHolding(std::size_t entries) const {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    auto log = audit();
    while (log.size() < entries && std::chrono::steady_clock::now() < limit) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        log = audit();
    }
    return log;
}

void DaemonFixture::writePolicy(const std::string& text) const { writeFile(VardexPaths::userPolicyURL(), text); }

}  // namespace vardex::testing
