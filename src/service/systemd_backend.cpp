#include "service/systemd_backend.hpp"

#include "bridge/vardex_paths.hpp"
#include "service/launch_agent.hpp"

namespace vardex {
namespace {

// systemd reads "%" as the start of a specifier everywhere in a unit, and "$" as a variable
// in ExecStart; a backslash or quote would end or bend the quoted word.
std::string quoted(std::string_view text, bool doubleDollar) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        if (c == '%') out += '%';
        if (c == '$' && doubleDollar) out += '$';
        out += c;
    }
    return out + "\"";
}

std::string specifiersEscaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '%') out += '%';
        out += c;
    }
    return out;
}

std::string valueOf(std::string_view showOutput, std::string_view property) {
    const std::string prefix = std::string(property) + "=";
    while (!showOutput.empty()) {
        const auto end = showOutput.find('\n');
        const auto line = showOutput.substr(0, end);
        showOutput = end == std::string_view::npos ? std::string_view() : showOutput.substr(end + 1);
        if (line.starts_with(prefix)) return std::string(line.substr(prefix.size()));
    }
    return {};
}

// The user manager's environment need not carry the session's XDG folders: the ones set here go
// into the unit, so the daemon finds the same state and policy folders as the app.
std::string xdgEnvironment() {
    std::string lines;
    for (const char* name : {"XDG_STATE_HOME", "XDG_CONFIG_HOME"}) {
        if (auto value = VardexPaths::env(name)) lines += "Environment=" + quoted(std::string(name) + "=" + *value, false) + "\n";
    }
    return lines;
}

}  // namespace

std::filesystem::path systemdUnitURL() {
    return VardexPaths::homeDirectory() / ".config/systemd/user" / std::string(SystemdBackend::unitName);
}

std::string systemdUnit(const std::filesystem::path& engine, const DaemonApp& app) {
    const auto logs = VardexPaths::logsDirectory();
    std::string command = quoted(engine.string(), true);
    for (const auto& argument : daemonArguments(app)) {
        command += " " + (argument.starts_with("--") || argument == "daemon" ? argument : quoted(argument, true));
    }
    return "[Unit]\n"
           "Description=Vardex protection daemon\n"
           "\n"
           "[Service]\n"
           "Type=simple\n"
           "ExecStart=" + command + "\n"
           "Environment=" + quoted("HOME=" + VardexPaths::homeDirectory().string(), false) + "\n"
           "Environment=" + quoted("VARDEX_SOCK=" + VardexPaths::socketPath(), false) + "\n"
           + xdgEnvironment() +
           "WorkingDirectory=" + specifiersEscaped(logs.string()) + "\n"
           "Restart=always\n"
           "RestartSec=1\n"
           "StandardOutput=append:" + specifiersEscaped(daemonOutputLog().string()) + "\n"
           "StandardError=append:" + specifiersEscaped(daemonErrorLog().string()) + "\n"
           "\n"
           "[Install]\n"
           "WantedBy=default.target\n";
}

std::string unitProgram(std::string_view showOutput) {
    const auto execStart = valueOf(showOutput, "ExecStart");
    constexpr std::string_view marker = "path=";
    const auto at = execStart.find(marker);
    if (at == std::string::npos) return {};
    const auto from = at + marker.size();
    return execStart.substr(from, execStart.find(" ;", from) - from);
}

std::string unitCommandLine(std::string_view showOutput) {
    const auto execStart = valueOf(showOutput, "ExecStart");
    constexpr std::string_view marker = "argv[]=";
    const auto at = execStart.find(marker);
    if (at == std::string::npos) return {};
    const auto from = at + marker.size();
    return execStart.substr(from, execStart.find(" ;", from) - from);
}

std::string unitActiveState(std::string_view showOutput) { return valueOf(showOutput, "ActiveState"); }

CliResult SystemdBackend::runSystemctl(const std::vector<std::string>& arguments) const {
    std::vector<std::string> withUser{"--user"};
    withUser.insert(withUser.end(), arguments.begin(), arguments.end());
    return runServiceManager(program_, withUser);
}

void SystemdBackend::fallBack(const CliResult& refusal) {
    fellBack_ = true;
    if (log_) log_("service_fallback", "systemctl --user unavailable, daemon started directly: " + complaintOf(refusal));
}

Result<void, ServiceError> SystemdBackend::installUnit(const std::filesystem::path& engine, bool runAtLoad) const {
    if (auto written = writeServiceFile(systemdUnitURL(), systemdUnit(engine, app_)); !written) return written;
    (void)runSystemctl({"daemon-reload"});
    (void)runSystemctl({runAtLoad ? "enable" : "disable", std::string(unitName)});
    return {};
}

Result<void, ServiceError> SystemdBackend::start(const std::filesystem::path& engine, bool runAtLoad) {
    if (fellBack_) return direct_.start(engine, runAtLoad);
    // Asked before the unit is rewritten, so it tells what the running daemon was started from.
    const auto shown = runSystemctl({"show", std::string(unitName), "--property=ActiveState", "--property=ExecStart"});
    if (!shown.ok()) {
        fallBack(shown);
        return direct_.start(engine, runAtLoad);
    }
    if (auto installed = installUnit(engine, runAtLoad); !installed) return installed;

    const auto socket = VardexPaths::socketPath();
    // A daemon told about another app (or none) is restarted, so the app it trusts is this one.
    std::string expectedCommand = engine.string();
    for (const auto& argument : daemonArguments(app_)) expectedCommand += " " + argument;
    if (unitActiveState(shown.stdout) == "active" && unitProgram(shown.stdout) == engine.string() &&
        unitCommandLine(shown.stdout) == expectedCommand && probeSocket(socket, timeouts_.probeConnect)) {
        return {};
    }
    removeStaleSocket(socket, timeouts_);
    const auto restarted = runSystemctl({"restart", std::string(unitName)});
    if (!restarted.ok()) {
        const auto complaint = complaintOf(restarted);
        return fail(ServiceError(ProtectionError::launchctlFailed(complaint.empty() ? "systemctl restart failed" : complaint)));
    }
    return waitForSocket(socket, timeouts_.afterBootstrap, timeouts_);
}

void SystemdBackend::stop() {
    if (fellBack_) return direct_.stop();
    (void)runSystemctl({"stop", std::string(unitName)});
}

void SystemdBackend::keepAlive(const std::filesystem::path& engine) {
    // systemd restarts its own unit; only a daemon this backend runs itself needs keeping.
    if (fellBack_) direct_.keepAlive(engine);
}

Result<void, ServiceError> SystemdBackend::setStartAtLogin(const std::filesystem::path& engine, bool on) {
    if (fellBack_) return direct_.setStartAtLogin(engine, on);
    return installUnit(engine, on);
}

}  // namespace vardex
