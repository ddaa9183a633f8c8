#include "policy/user_policy_writer.hpp"

#include "bridge/vardex_cli.hpp"
#include "bridge/vardex_paths.hpp"
#include "policy/text_file.hpp"

namespace vardex::UserPolicyWriter {
namespace {

// Failures here are ignored: the caller is already reporting why the save failed.
void restore(const std::filesystem::path& path, const std::optional<std::string>& previous) {
    if (previous) {
        (void)writeTextFileAtomically(path, *previous);
    } else {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }
}

}  // namespace

Result<void, PolicyWriteError> save(const UserPolicyFile& policy, std::chrono::milliseconds timeLimit) {
    const std::filesystem::path path = VardexPaths::userPolicyURL();
    // Kept as raw bytes, not only as UTF-8 text, so that whatever was there comes back unchanged.
    std::optional<std::string> previous;
    if (auto bytes = readFileBytes(path)) previous = std::move(*bytes);

    if (!policy.writeToHome()) return fail(PolicyWriteError::invalid("Could not write the policy file."));

    const auto engine = VardexPaths::vardexBinary();
    if (!engine) return {};
    const auto run = VardexCli::runBinary(*engine, {"rules", "validate", path.string(), "--as", "user"}, std::nullopt, timeLimit);
    if (run) {
        if (run->ok()) return {};
        restore(path, previous);
        const std::string output = run->combined();
        return fail(PolicyWriteError::invalid(output.empty() ? "The policy file is not valid." : output));
    }
    if (run.error().kind() == CliError::Kind::binaryMissing) return {};
    restore(path, previous);
    return fail(PolicyWriteError::invalid(run.error().description()));
}

}  // namespace vardex::UserPolicyWriter
