#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "activity/audit_log_entry.hpp"
#include "engine_process.hpp"
#include "protocol/ipc_message.hpp"
#include "protocol/json_lines_client.hpp"
#include "support/temp_home.hpp"

namespace vardex::testing {

// A real `vardex daemon --foreground` in a temporary HOME, and the app's own socket client to
// talk to it. The daemon is stopped with SIGTERM and collected after every test.
// Writes the bytes as they are, past the client's own framing.
void sendBytes(JsonLinesClient& client, const std::string& bytes);
void sendBytes(int fd, const std::string& bytes);

class DaemonFixture : public ::testing::Test {
protected:
    void TearDown() override;
    // The path of this test program.
    static std::string testProgram();

    // Started with this test program as the app whose answers count, unless `arguments`
    // say otherwise.
    void startDaemon(std::vector<std::string> arguments = {"--app-executable", testProgram()});
    // Waits until the daemon started as `run` answers a ping.
    void waitForDaemon(std::unique_ptr<EngineRun> run);
    // SIGTERM, then the exit status and what the daemon printed.
    EngineRun::Outcome stopDaemon();

    // Hello as "ui" and subscribe; returns once the daemon has taken the subscription.
    std::unique_ptr<JsonLinesClient> subscribeUi();
    // The next message for a UI; fails the test when none comes within a few seconds.
    IpcMessage next(JsonLinesClient& ui);
    ApprovalRequest nextRequest(JsonLinesClient& ui);
    DecisionEvent nextEvent(JsonLinesClient& ui);

    // `vardex ask --agent claude --session SESSION` and the action arguments.
    std::unique_ptr<EngineRun> startAsk(const std::string& session, std::vector<std::string> action);
    EngineRun::Outcome ask(const std::string& session, std::vector<std::string> action);

    // The activity log, newest first.
    std::vector<AuditLogEntry> audit() const;
    // The activity log once it holds `entries` lines (the daemon writes a line just after the
    // agent hears its decision), or as it is after ten seconds.
    std::vector<AuditLogEntry> auditHolding(std::size_t entries) const;
    void writePolicy(const std::string& text) const;
    std::filesystem::path runs() const { return home / "runs"; }

    TempHome home;
    std::unique_ptr<EngineRun> daemon;
};

}  // namespace vardex::testing
