#include "bridge/command_line_installer.hpp"
#include "bridge/vardex_cli.hpp"
#include "service/service_backend.hpp"
#include "store/vardex_store.hpp"
#include "strings/ui_strings.hpp"

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
    runThenApply(
        WorkPriority::userInitiated,
        [arguments, limit = options_.engineTimeLimit] { return VardexCli::run(arguments, std::nullopt, limit); },
        [](VardexStore& store, Result<CliResult, CliError> outcome) {
            store.busy = false;
            store.lastMessage = runMessage(outcome, std::string(UIStrings::runFinished));
            store.publish();
            store.refreshDashboard();
        });
}

void VardexStore::refreshDoctor() { refreshDoctorThen({}); }

void VardexStore::refreshDoctorThen(std::function<void(VardexStore&)> then) {
    const auto reading = ++readingsStarted_;
    ++doctorReadingsRunning_;
    checkingHealth = true;
    publish({StoreSlice::engine});
    runThenApply(
        WorkPriority::utility, [limit = options_.engineTimeLimit] { return DoctorClient::run(limit); },
        [reading, then = std::move(then)](VardexStore& store, Result<DoctorReport, DoctorClientError> report) {
            store.checkingHealth = --store.doctorReadingsRunning_ > 0;
            if (reading > store.doctorApplied_) {
                store.doctorApplied_ = reading;
                if (report) {
                    store.doctor = std::move(*report);
                    store.doctorError.reset();
                } else {
                    store.doctor.reset();
                    store.doctorError = report.error().description;
                }
                store.daemonLastError = lastDaemonError();
            }
            store.publish({StoreSlice::engine});
            if (then) then(store);
        });
}

void VardexStore::verifyActivityLog() {
    verifyingLog = true;
    publish();
    runThenApply(
        WorkPriority::userInitiated,
        [limit = options_.engineTimeLimit] { return VardexCli::run({"log", "verify"}, std::nullopt, limit); },
        [](VardexStore& store, Result<CliResult, CliError> outcome) {
            store.verifyingLog = false;
            store.logVerifyMessage = runMessage(outcome, std::string(UIStrings::logVerify));
            store.publish();
        });
}

void VardexStore::installCommandLineTool() {
    const auto installed = CommandLineInstaller::install();
    lastMessage = installed ? std::string(UIStrings::cliInstalled) : installed.error().description();
    publish();
}

}  // namespace vardex
