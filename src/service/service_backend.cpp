#include "service/service_backend.hpp"

#include "bridge/vardex_cli.hpp"

namespace vardex {

CliResult runServiceManager(const std::filesystem::path& program, const std::vector<std::string>& arguments) {
    auto run = VardexCli::runBinary(program, arguments);
    if (run) return std::move(run).value();
    return CliResult{1, {}, run.error().reason()};
}

}  // namespace vardex
