#include "bridge/command_line_installer.hpp"

#include "bridge/vardex_paths.hpp"
#include "strings/ui_strings.hpp"

namespace vardex::CommandLineInstaller {

namespace fs = std::filesystem;

fs::path destinationDirectory() {
    return VardexPaths::env("VARDEX_CLI_DIR").value_or("/usr/local/bin");
}

Result<fs::path, CliError> install() {
    const auto engine = VardexPaths::vardexBinary();
    if (!engine) return fail(CliError::binaryMissing());
    const auto folder = destinationDirectory();
    const auto target = folder / VardexPaths::engineFileName;
    const auto failed = [] { return fail(CliError::spawnFailed(std::string(UIStrings::cliInstallFailed))); };

    if (!VardexPaths::ensureDirectory(folder)) return failed();
    std::error_code code;
    // The engine found may be the installed copy itself (its folder first on the search path):
    // removing it would leave nothing to copy.
    if (fs::equivalent(*engine, target, code)) return target;
    code.clear();
    // Removed first so a copy that is running right now keeps its own file.
    fs::remove(target, code);
    if (code) return failed();
    fs::copy_file(*engine, target, code);
    if (code) return failed();
    fs::permissions(target,
                    fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                        fs::perms::others_exec,
                    fs::perm_options::replace, code);
    if (code) return failed();
    return target;
}

}  // namespace vardex::CommandLineInstaller
