#include "bridge/command_line_installer.hpp"
#include "bridge/vardex_cli.hpp"
#include "store/vardex_store.hpp"

namespace vardex {

namespace {

// What a finished run says to the user; `emptyText` stands in for a run that printed nothing.
std::string runMessage(const Result<CliResult, CliError>& outcome, const std::string& emptyText) {
    if (!outcome) return outcome.error().description();
    std::string combined = outcome->combined();
    return combined.empty() ? emptyText : combined;
}

}  // namespace

void VardexStore::runCli(const std::vector<std::string>& arguments, const std::string& busyLabel) {
    lastMessage = busyLabel;
    busy = true;
    publish();
    // The background side never holds the store: only the main queue may end its life.
    inBackground(WorkPriority::userInitiated, [&queue = ports_.queue, arguments](std::weak_ptr<VardexStore> weak) {
        auto outcome = VardexCli::run(arguments);
        queue.post([weak = std::move(weak), outcome = std::move(outcome)] {
            const auto store = weak.lock();
            if (!store) return;
            store->busy = false;
            store->lastMessage = runMessage(outcome, "Done.");
            store->publish();
            store->refreshDashboard();
        });
    });
}

void VardexStore::refreshDoctor() {
    auto report = DoctorClient::run();
    if (report) {
        doctor = std::move(*report);
        doctorError.reset();
    } else {
        doctor.reset();
        doctorError = report.error().description;
    }
    publish();
}

void VardexStore::verifyActivityLog() {
    logVerifyMessage = runMessage(VardexCli::run({"log", "verify"}), "Check that the activity log hasn't been changed");
    publish();
}

void VardexStore::installCommandLineTool() {
    const auto installed = CommandLineInstaller::install();
    lastMessage = installed ? std::string("Command-line tool installed.") : installed.error().description();
    publish();
}

}  // namespace vardex
