#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "agents/host_surroundings.hpp"
#include "bridge/vardex_paths.hpp"
#include "cli/commands.hpp"
#include "sandbox/sandbox_plan.hpp"
#include "sandbox/sandbox_probe.hpp"
#include "sandbox/sandbox_runner.hpp"
#include "sandbox/sandbox_settings.hpp"

namespace vardex::engine {
namespace {

namespace fs = std::filesystem;

// As a shell reports a command it found but could not run.
constexpr int exitCannotRun = 126;
constexpr int exitFailed = 1;

struct SandboxOptions {
    std::string cwd;
    std::vector<std::string> command;
};

struct SettingsOptions {
    std::optional<bool> network;
    std::optional<bool> sshAgent;
    std::optional<bool> required;
    std::vector<std::string> addWritable;
};

int runSandbox(const SandboxOptions& options) {
    std::error_code code;
    const fs::path folder = options.cwd.empty() ? fs::current_path(code) : fs::absolute(options.cwd, code);
    if (code || !fs::is_directory(folder, code)) {
        std::cerr << "vardex sandbox: no such folder: " << (options.cwd.empty() ? "." : options.cwd) << "\n";
        return exitCannotRun;
    }
    const auto bwrap = findBwrap(VardexPaths::env("PATH").value_or(""));
    if (!bwrap) {
        std::cerr << "vardex sandbox: bubblewrap (bwrap) is not installed, so nothing runs; install the package "
                     "bubblewrap.\n";
        return exitCannotRun;
    }
    const auto plan = planSandbox(hostSurroundings(folder));
    return execBwrap(*bwrap, bwrapArguments(plan, options.command));
}

int runSandboxSettings(const SettingsOptions& options) {
    const auto file = sandboxSettingsFile();
    auto settings = loadSandboxSettings(file);
    const bool changing = options.network || options.sshAgent || options.required || !options.addWritable.empty();
    if (options.network) settings.network = *options.network;
    if (options.sshAgent) settings.sshAgent = *options.sshAgent;
    if (options.required) settings.required = *options.required;
    for (const auto& place : options.addWritable) settings.writable.push_back(place);
    if (changing) {
        if (auto saved = saveSandboxSettings(file, settings); !saved) {
            std::cerr << "vardex sandbox-settings: " << saved.error() << "\n";
            return exitFailed;
        }
    }
    std::cout << toJson(settings).dump(2) << "\n";
    return 0;
}

}  // namespace

void addSandboxCommands(CLI::App& app, CommandContext& context) {
    auto options = std::make_shared<SandboxOptions>();
    auto* sandbox = app.add_subcommand(
        "sandbox", "Run a program where only the project, /tmp and build caches can be written and secrets are hidden");
    sandbox->add_option("--cwd", options->cwd, "The working folder (its git top level is the project)");
    sandbox->add_option("command", options->command, "The program and its arguments, after --")->required();
    sandbox->callback([&context, options] { context.exitCode = runSandbox(*options); });

    auto settings = std::make_shared<SettingsOptions>();
    auto* change = app.add_subcommand("sandbox-settings", "Show or change how allowed commands are contained");
    const auto onOff = CLI::IsMember({"on", "off"});
    const auto word = [](std::optional<bool>& target) {
        return [&target](const std::string& value) { target = value == "on"; };
    };
    change->add_option_function<std::string>("--network", word(settings->network), "Network inside: on or off")
        ->check(onOff);
    change->add_option_function<std::string>("--ssh-agent", word(settings->sshAgent),
                                             "The ssh agent's socket inside: on or off")
        ->check(onOff);
    change->add_option_function<std::string>("--required", word(settings->required),
                                             "Deny allowed shell commands where no sandbox can run: on or off")
        ->check(onOff);
    change->add_option("--add-writable", settings->addWritable, "Another writable place (~/ for the home folder)");
    change->callback([&context, settings] { context.exitCode = runSandboxSettings(*settings); });
}

}  // namespace vardex::engine
