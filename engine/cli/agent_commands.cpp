#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "agents/agent_setup.hpp"
#include "agents/connect_prefs.hpp"
#include "agents/health_report.hpp"
#include "agents/hook_entries.hpp"
#include "agents/install_records.hpp"
#include "agents/mcp_proxy.hpp"
#include "agents/protect_settings.hpp"
#include "agents/state_file.hpp"
#include "bridge/vardex_paths.hpp"
#include "cli/commands.hpp"
#include "protocol/wire_enum.hpp"

namespace vardex::engine {
namespace {

namespace fs = std::filesystem;

constexpr int failed = 1;
constexpr int usageError = 2;

struct AgentOptions {
    bool json = false;
    bool consent = false;
    std::string autoProtect;
    std::string disconnect;
    std::string protectId;
    bool on = false;
    bool off = false;
    bool cursor = false;
    bool claude = false;
    bool codex = false;
    bool gemini = false;
    bool mcp = false;
    bool all = false;
    std::string server;
    std::vector<std::string> serverCommand;
};

void printJson(const nlohmann::json& j) { std::cout << j.dump() << '\n'; }

// Hooks must name this very program, so nothing is connected when the system cannot say where
// it lies.
std::optional<fs::path> ownProgram(CommandContext& context) {
    auto program = VardexPaths::runningExecutable();
    if (!program) {
        std::cerr << "Could not tell where this program lies, so no agent can be connected to it.\n";
        context.exitCode = failed;
    }
    return program;
}

void reportErrors(const std::vector<AgentConfigError>& errors, CommandContext& context) {
    for (const auto& error : errors) std::cerr << error.description() << '\n';
    if (!errors.empty()) context.exitCode = failed;
}

void savePrefs(const ConnectPrefs& prefs, std::vector<AgentConfigError>& errors) {
    if (auto saved = prefs.save(); !saved) errors.push_back(saved.error());
}

// ---- doctor ----

std::string statusWord(DoctorStatus status) { return std::string(wireText(status)); }

void runDoctor(const AgentOptions& options, CommandContext& context) {
    const auto report = healthReport(VardexPaths::runningExecutable());
    if (options.json) {
        printJson(doctor_json::toJson(report));
    } else {
        const std::pair<const char*, const DoctorCheck*> checks[] = {
            {"Program", &report.binary}, {"Policy", &report.policy}, {"Activity log", &report.auditLog},
            {"Daemon", &report.daemon}};
        for (const auto& [name, item] : checks) {
            std::cout << name << ": " << statusWord(item->status) << ". " << item->message << '\n';
        }
        if (report.sandbox) {
            std::cout << "Sandbox: " << statusWord(report.sandbox->status) << ". " << report.sandbox->message << '\n';
        }
        for (const auto& hook : report.hooks) {
            std::cout << "Hook " << hook.agent << " (" << hook.path << "): " << statusWord(hook.status) << ". "
                      << hook.message << '\n';
        }
    }
    if (report.status == DoctorStatus::error) context.exitCode = failed;
}

// ---- protect ----

void runProtectList(const AgentOptions& options) {
    const auto rows = ProtectSettings::rows();
    if (options.json) {
        nlohmann::json list = nlohmann::json::array();
        for (const auto& row : rows) list.push_back(protect_app_json::toJson(row));
        printJson(list);
        return;
    }
    for (const auto& row : rows) {
        std::cout << (row.protect ? "on   " : "off  ") << row.id << "  " << row.displayName << '\n';
    }
}

void runProtectSet(const AgentOptions& options, CommandContext& context) {
    if (options.on == options.off) {
        std::cerr << "Say --on or --off.\n";
        context.exitCode = usageError;
        return;
    }
    const auto row = ProtectSettings::isProtected(options.protectId);
    if (!row) {
        std::cerr << "No coding agent has the id \"" << options.protectId << "\". See vardex protect list.\n";
        context.exitCode = usageError;
        return;
    }
    AgentFilesLock lock;
    if (auto saved = ProtectSettings::set(options.protectId, options.on); !saved) {
        reportErrors({saved.error()}, context);
        return;
    }
    std::cout << (options.on ? "Protecting " : "No longer protecting ") << options.protectId << ".\n";
}

// ---- install, uninstall ----

std::vector<AgentFamily> chosenFamilies(const AgentOptions& options) {
    std::vector<AgentFamily> families;
    if (options.all) {
        for (const auto family : allCases<AgentFamily>()) {
            if (isPresent(family)) families.push_back(family);
        }
        return families;
    }
    const std::pair<bool, AgentFamily> flags[] = {{options.cursor, AgentFamily::cursor},
                                                  {options.claude, AgentFamily::claude},
                                                  {options.codex, AgentFamily::codex},
                                                  {options.gemini, AgentFamily::gemini},
                                                  {options.mcp, AgentFamily::mcp}};
    for (const auto& [chosen, family] : flags) {
        if (chosen) families.push_back(family);
    }
    return families;
}

std::string connectedSentence(const FamilyChange& change) {
    const std::string title = familyTitle(change.family);
    if (change.family != AgentFamily::mcp) {
        if (change.changedFiles.empty()) return title + " is already connected.";
        return "Connected " + title + ": " + change.changedFiles.front().string() + ".";
    }
    if (!isPresent(AgentFamily::mcp)) return "No AI tool configuration found.";
    if (!isConnected(AgentFamily::mcp)) return "No AI tool servers to connect.";
    if (change.changedFiles.empty()) return title + " are already connected.";
    const auto count = change.changedFiles.size();
    return "Connected " + title + " in " + std::to_string(count) + (count == 1 ? " file." : " files.");
}

void runInstall(const AgentOptions& options, CommandContext& context) {
    if (!options.all && !options.cursor && !options.claude && !options.codex && !options.gemini && !options.mcp) {
        std::cerr << "Say which agents to connect: --cursor, --claude, --codex, --gemini, --mcp or --all.\n";
        context.exitCode = usageError;
        return;
    }
    const auto program = ownProgram(context);
    if (!program) return;
    const auto families = chosenFamilies(options);
    if (families.empty()) {
        std::cout << "No coding agents found on this computer.\n";
        return;
    }
    AgentFilesLock lock;
    auto records = InstallRecords::load();
    auto prefs = ConnectPrefs::load();
    std::vector<AgentConfigError> errors;
    for (const auto family : families) {
        auto change = connectFamily(family, *program, records);
        if (change.ok()) {
            prefs.markConnected(wireText(family));
            std::cout << connectedSentence(change) << '\n';
        }
        errors.insert(errors.end(), change.errors.begin(), change.errors.end());
    }
    savePrefs(prefs, errors);
    reportErrors(errors, context);
}

// Disconnects the families and keeps the auto-connect scan away from them. Returns the titles
// of the families that had something to take away.
std::vector<std::string> disconnect(const std::vector<AgentFamily>& families, CommandContext& context) {
    AgentFilesLock lock;
    auto records = InstallRecords::load();
    auto prefs = ConnectPrefs::load();
    std::vector<AgentConfigError> errors;
    std::vector<std::string> removed;
    for (const auto family : families) {
        auto change = disconnectFamily(family, records);
        prefs.markDisconnected(wireText(family));
        if (!change.changedFiles.empty()) removed.push_back(familyTitle(family));
        errors.insert(errors.end(), change.errors.begin(), change.errors.end());
    }
    savePrefs(prefs, errors);
    reportErrors(errors, context);
    return removed;
}

void runUninstall(const AgentOptions& options, CommandContext& context) {
    const std::vector<AgentFamily> families = options.mcp ? std::vector{AgentFamily::mcp}
                                                          : std::vector(std::begin(hookFamilies), std::end(hookFamilies));
    const auto removed = disconnect(families, context);
    for (const auto& title : removed) std::cout << "Disconnected " << title << ".\n";
    if (removed.empty()) {
        std::cout << (options.mcp ? "No AI tool server went through Vardex.\n" : "No coding agent was connected.\n");
    }
}

// ---- connect ----

void runDisconnect(const AgentOptions& options, CommandContext& context) {
    const auto family = parseWireText<AgentFamily>(options.disconnect);
    if (!family) {
        std::cerr << "Unknown agent \"" << options.disconnect << "\": use cursor, claude, codex, gemini or mcp.\n";
        context.exitCode = usageError;
        return;
    }
    const bool changed = !disconnect({*family}, context).empty();
    const std::string title = familyTitle(*family);
    if (options.json) {
        printJson({{"disconnected", options.disconnect}, {"changed", changed}});
    } else if (changed) {
        std::cout << "Disconnected " << title << ".\n";
    } else {
        std::cout << title << (*family == AgentFamily::mcp ? " were" : " was") << " not connected.\n";
    }
}

void runConnect(const AgentOptions& options, CommandContext& context) {
    if (!options.disconnect.empty()) {
        runDisconnect(options, context);
        return;
    }
    const auto program = ownProgram(context);
    if (!program) return;
    AgentFilesLock lock;
    auto prefs = ConnectPrefs::load();
    std::vector<AgentConfigError> prefErrors;
    if (options.consent || !options.autoProtect.empty()) {
        if (options.consent) prefs.consented = true;
        if (!options.autoProtect.empty()) prefs.autoProtectNew = options.autoProtect == "on";
        savePrefs(prefs, prefErrors);
    }
    auto report = autoConnect(prefs, *program);
    report.errors.insert(report.errors.begin(), prefErrors.begin(), prefErrors.end());
    // The app reads this run's output as one JSON document, so problems travel inside it and
    // nothing is written to the error stream.
    if (!report.errors.empty()) context.exitCode = failed;
    if (options.json) {
        printJson(report.toJson());
        return;
    }
    for (const auto& sentence : report.notifications) std::cout << sentence << ".\n";
    if (report.notifications.empty()) {
        std::cout << (report.autoProtectNew ? "Nothing new to connect.\n" : "Connecting new agents is off.\n");
    }
    for (const auto& error : report.errors) std::cout << error.description() << '\n';
}

}  // namespace

void addAgentCommands(CLI::App& app, CommandContext& context) {
    auto options = std::make_shared<AgentOptions>();

    auto* doctor = app.add_subcommand("doctor", "Report the engine's health and the agents connected to it");
    doctor->add_flag("--json", options->json, "Print one JSON document");
    doctor->callback([options, &context] { runDoctor(*options, context); });

    auto* protect = app.add_subcommand("protect", "Choose which coding agents are protected");
    protect->require_subcommand(1);
    auto* list = protect->add_subcommand("list", "List the known coding agents and their switches");
    list->add_flag("--json", options->json, "Print one JSON array");
    list->callback([options] { runProtectList(*options); });
    auto* set = protect->add_subcommand("set", "Switch protection of one coding agent");
    set->add_option("id", options->protectId, "The agent's id, as protect list shows it")->required();
    auto* on = set->add_flag("--on", options->on, "Protect the agent");
    set->add_flag("--off", options->off, "Stop protecting the agent")->excludes(on);
    set->callback([options, &context] { runProtectSet(*options, context); });

    auto* connect = app.add_subcommand("connect", "Connect newly found coding agents, or disconnect one");
    connect->add_flag("--json", options->json, "Print one JSON document");
    auto* consent = connect->add_flag("--consent", options->consent, "Record consent to connect agents, then connect");
    auto* autoProtect = connect->add_option("--auto-protect", options->autoProtect, "Connect new agents by themselves")
                            ->check(CLI::IsMember({"on", "off"}));
    connect->add_option("--disconnect", options->disconnect, "Disconnect one family: cursor, claude, codex, gemini or mcp")
        ->excludes(consent)
        ->excludes(autoProtect);
    connect->callback([options, &context] { runConnect(*options, context); });

    auto* install = app.add_subcommand("install", "Connect the engine to coding agents");
    install->add_flag("--cursor", options->cursor, "Cursor's hooks");
    install->add_flag("--claude", options->claude, "Claude Code's hooks");
    install->add_flag("--codex", options->codex, "Codex's hooks");
    install->add_flag("--gemini", options->gemini, "Gemini CLI's hooks");
    install->add_flag("--mcp", options->mcp, "The MCP servers of every known configuration file");
    install->add_flag("--all", options->all, "Every agent found on this computer");
    install->callback([options, &context] { runInstall(*options, context); });

    auto* uninstall = app.add_subcommand("uninstall", "Disconnect the engine from every coding agent's hooks");
    uninstall->add_flag("--mcp", options->mcp, "Undo the MCP proxy instead");
    uninstall->callback([options, &context] { runUninstall(*options, context); });

    auto* proxy = app.add_subcommand("mcp-proxy", "Run an MCP server with every tool call checked first");
    proxy->add_option("--server", options->server, "The server's name in the agent's configuration")->required();
    proxy->add_option("command", options->serverCommand, "The server's command and arguments, after --")->required();
    proxy->callback([options, &context] { context.exitCode = runMcpProxy(options->server, options->serverCommand); });
}

}  // namespace vardex::engine
