#include "service/service_backend.hpp"

#include <algorithm>
#include <fstream>
#include <iterator>

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

std::optional<std::string> lastDaemonError(const std::filesystem::path& errorLog) {
    constexpr std::streamoff tailBytes = 4096;
    std::ifstream in(errorLog, std::ios::binary | std::ios::ate);
    if (!in) return std::nullopt;
    const std::streamoff size = in.tellg();
    in.seekg(std::max<std::streamoff>(0, size - tailBytes));
    std::string tail{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!tail.empty() && blank(tail.back())) tail.pop_back();
    if (tail.empty()) return std::nullopt;
    const auto feed = tail.rfind('\n');
    // A line longer than the tail read is shown from where the tail starts.
    std::string line = feed == std::string::npos ? tail : tail.substr(feed + 1);
    const auto start = std::find_if_not(line.begin(), line.end(), blank);
    return std::string(start, line.end());
}

CliResult runServiceManager(const std::filesystem::path& program, const std::vector<std::string>& arguments) {
    auto run = VardexCli::runBinary(program, arguments);
    if (run) return std::move(run).value();
    return CliResult{1, {}, run.error().reason()};
}

}  // namespace vardex
