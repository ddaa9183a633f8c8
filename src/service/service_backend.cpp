#include "service/service_backend.hpp"

#include "bridge/vardex_cli.hpp"
#include "bridge/vardex_paths.hpp"

namespace vardex {

std::vector<std::string> daemonArguments(const DaemonApp& app) {
    std::vector<std::string> arguments{"daemon", "--foreground"};
    if (app.executable) {
        arguments.push_back("--app-executable");
        arguments.push_back(app.executable->string());
    }
    if (app.testApprovers) arguments.push_back("--test-approvers");
    return arguments;
}

std::filesystem::path daemonOutputLog() { return VardexPaths::logsDirectory() / "daemon.out.log"; }

std::filesystem::path daemonErrorLog() { return VardexPaths::logsDirectory() / "daemon.err.log"; }

CliResult runServiceManager(const std::filesystem::path& program, const std::vector<std::string>& arguments) {
    auto run = VardexCli::runBinary(program, arguments);
    if (run) return std::move(run).value();
    return CliResult{1, {}, run.error().reason()};
}

}  // namespace vardex
