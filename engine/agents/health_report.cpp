#include "agents/health_report.hpp"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <system_error>

#include "agents/agent_setup.hpp"
#include "agents/config_install.hpp"
#include "agents/hook_entries.hpp"
#include "agents/hook_probe.hpp"
#include "agents/mcp_proxy_entries.hpp"
#include "agents/replaceable_file.hpp"
#include "bridge/agent_stop.hpp"
#include "bridge/vardex_paths.hpp"
#include "core/engine_policy.hpp"
#include "daemon/agent_client.hpp"
#include "daemon/daemon_record.hpp"
#include "protocol/json_lines_client.hpp"
#include "protocol/wire_enum.hpp"
#include "sandbox/sandbox_probe.hpp"
#include "sandbox/sandbox_settings.hpp"

namespace vardex::engine {
namespace {

namespace fs = std::filesystem;

constexpr double daemonProbeSeconds = 1.0;

DoctorCheck check(DoctorStatus status, std::string message) { return DoctorCheck{status, std::move(message)}; }

DoctorCheck binaryCheck(const std::optional<fs::path>& program) {
    const std::string version(VardexPaths::appVersion);
    if (!program) return check(DoctorStatus::warning, "vardex " + version + "; the system does not say where it lies.");
    return check(DoctorStatus::ok, "vardex " + version + " at " + program->string() + ".");
}

DoctorCheck policyCheck() {
    auto policy = loadEnginePolicy();
    if (!policy) return check(DoctorStatus::error, policy.error());
    const auto file = VardexPaths::userPolicyURL();
    std::error_code code;
    if (!fs::exists(file, code)) return check(DoctorStatus::ok, "Built-in rules only; you have no policy file yet.");
    return check(DoctorStatus::ok, "Built-in rules and your rules in " + file.string() + ".");
}

DoctorCheck auditLogCheck() {
    const auto log = VardexPaths::auditLogURL();
    std::error_code code;
    if (!fs::exists(log, code)) return check(DoctorStatus::ok, "No decisions logged yet.");
    std::ifstream in(log, std::ios::binary);
    if (!in) return check(DoctorStatus::error, "Cannot read the activity log at " + log.string() + ".");
    const auto lines = std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '\n');
    return check(DoctorStatus::ok, std::to_string(lines) + (lines == 1 ? " decision" : " decisions") + " logged in " +
                                       log.string() + ".");
}

// What is wrong with the app the daemon listens to, as its own record says.
std::optional<std::string> appWeakness() {
    const auto text = readConfig(VardexPaths::supportDirectory() / daemonRecordFileName);
    const auto record = text ? nlohmann::json::parse(*text, nullptr, false) : nlohmann::json();
    if (!record.is_object()) return "it keeps no record of the app it listens to. Turn protection off and on again.";
    if (record.value("test_approvers", false)) {
        return std::string("it was started for tests and counts answers from automation. Turn protection off and on "
                           "again.");
    }
    const auto app = record.find("app_executable");
    if (app == record.end() || !app->is_string()) {
        return std::string("no app is named to answer its questions, so every question is settled by your policy's "
                           "default. Turn protection on from Vardex Bar.");
    }
    const std::filesystem::path program = app->get<std::string>();
    if (replaceableBy(program, ::geteuid())) {
        return "the app it trusts to answer questions, " + program.string() +
               ", could be replaced by any program you run, agents included. Install Vardex Bar where only an "
               "administrator can change it.";
    }
    return std::nullopt;
}

DoctorCheck daemonCheck() {
    JsonLinesClient client(VardexPaths::socketPath());
    client.requireDaemon(trustedDaemons());
    const auto connected = client.connect(daemonProbeSeconds);
    const bool answers = connected.ok() && client.ping().ok();
    client.close();
    if (!connected && connected.error().kind() == SocketClientError::Kind::untrustedPeer) {
        return check(DoctorStatus::error, "Not trusted: " + connected.error().detail() +
                                              ". Something else took the daemon's place; turn protection off and on.");
    }
    if (!answers) return check(DoctorStatus::error, "Not running. Turn protection on.");
    if (AgentStop::isStopped(AgentStop::flagURL())) {
        return check(DoctorStatus::warning, "Running, but agents are stopped: every action is blocked until you resume.");
    }
    if (auto weakness = appWeakness()) return check(DoctorStatus::warning, "Running, but " + *weakness);
    return check(DoctorStatus::ok, "Running.");
}

// What keeps the family's installed hooks from checking every action; nothing when they do.
std::optional<DoctorCheck> hookTrouble(AgentFamily family, const std::vector<InstalledHook>& installed) {
    const std::string title = familyTitle(family);
    for (const auto& each : installed) {
        if (!VardexPaths::isExecutable(each.program)) {
            return check(DoctorStatus::error, "The hook runs " + each.program + ", which is missing.");
        }
    }
    if (installed.size() < hookEvents(family).size()) {
        return check(DoctorStatus::warning, "Only some of " + title + "'s actions are checked.");
    }
    for (const auto& each : installed) {
        if (!each.current) {
            return check(DoctorStatus::warning, "The hook was written by an older Vardex and may let " + title +
                                                    "'s actions through when Vardex fails.");
        }
    }
    std::vector<std::string> tried;
    for (const auto& each : installed) {
        if (std::find(tried.begin(), tried.end(), each.command) != tried.end()) continue;
        tried.push_back(each.command);
        if (auto problem = probeProblem(each.command, hookAdapterOf(family))) {
            return check(DoctorStatus::error, "A trial call to the hook " + *problem + ", so " + title +
                                                  " is not protected.");
        }
    }
    return std::nullopt;
}

DoctorHook hookHealth(AgentFamily family, const fs::path& file, const std::vector<InstalledHook>& installed) {
    DoctorHook hook{std::string(wireText(family)), file.string(), DoctorStatus::ok,
                    "Every action of " + familyTitle(family) + " is checked."};
    if (auto trouble = hookTrouble(family, installed)) {
        hook.status = trouble->status;
        hook.message = trouble->message + " Run vardex install --" + std::string(wireText(family)) + ".";
    }
    return hook;
}

std::vector<DoctorHook> hookChecks() {
    std::vector<DoctorHook> hooks;
    for (const auto family : hookFamilies) {
        const auto file = hookFile(family);
        const auto text = readConfig(file);
        if (!text) continue;
        const auto installed = installedHooks(*text, family);
        if (!installed.empty()) hooks.push_back(hookHealth(family, file, installed));
    }
    for (const auto& config : VardexPaths::mcpConfigCandidates()) {
        const auto text = readConfig(config);
        if (!text) continue;
        const auto count = proxiedServerCount(*text, config);
        if (count == 0) continue;
        hooks.push_back(DoctorHook{"mcp", config.string(), DoctorStatus::ok,
                                   std::to_string(count) + (count == 1 ? " tool server goes" : " tool servers go") +
                                       " through Vardex."});
    }
    return hooks;
}

DoctorCheck sandboxCheck() {
    const auto settings = loadSandboxSettings(sandboxSettingsFile());
    const auto availability = probeSandbox(VardexPaths::env("PATH").value_or(""));
    if (!availability.available()) {
        const std::string effect = settings.required ? " Allowed shell commands are denied until it can run."
                                                     : " Allowed shell commands run uncontained, as you.";
        return check(settings.required ? DoctorStatus::error : DoctorStatus::warning,
                     "Sandbox unavailable: " + availability.reason + "." + effect + " " + availability.fix);
    }
    return check(DoctorStatus::ok,
                 std::string("Allowed shell commands run in a sandbox: only the project, /tmp and build caches can be "
                             "written and secrets are hidden. Network ") +
                     (settings.network ? "on" : "off") + "; your ssh agent " +
                     (settings.sshAgent ? "can be used inside" : "is kept out") + ".");
}

}  // namespace

DoctorReport healthReport(const std::optional<fs::path>& program) {
    DoctorReport report;
    report.schemaVersion = 1;
    report.binary = binaryCheck(program);
    report.policy = policyCheck();
    report.auditLog = auditLogCheck();
    report.daemon = daemonCheck();
    report.sandbox = sandboxCheck();
    report.hooks = hookChecks();
    report.status = std::max({report.binary.status, report.policy.status, report.auditLog.status, report.daemon.status,
                              report.sandbox->status});
    for (const auto& hook : report.hooks) report.status = std::max(report.status, hook.status);
    return report;
}

}  // namespace vardex::engine
