#include "hooks/sandbox_route.hpp"

#include <memory>
#include <optional>

#include "sandbox/sandboxed_command.hpp"

namespace vardex::engine {

HookCore::CommandRewrite sandboxRewrite(const std::filesystem::path& vardex, const SandboxSettings& settings,
                                        std::function<SandboxAvailability()> probe) {
    auto found = std::make_shared<std::optional<SandboxAvailability>>();
    return [vardex, required = settings.required, probe = std::move(probe), found](const Action& shell) {
        if (!*found) *found = probe();
        const auto& availability = **found;
        if (!availability.available()) {
            return HookCore::ShellRoute{std::nullopt, !required,
                                        "Vardex runs shell commands only in a sandbox, and the sandbox is unavailable: " +
                                            availability.reason + ". " + availability.fix};
        }
        auto contained = sandboxedCommand(vardex, std::get<ShellAction>(shell.kind).raw);
        if (!contained) {
            return HookCore::ShellRoute{std::nullopt, false,
                                        "Vardex could not put this command in a sandbox (it holds a NUL byte), so it "
                                        "was blocked."};
        }
        // An agent whose hook cannot take the rewritten command runs it as it is, unless required.
        return HookCore::ShellRoute{std::move(contained), !required,
                                    "Vardex runs shell commands only in a sandbox, and this agent cannot be given "
                                    "one, so it was blocked."};
    };
}

}  // namespace vardex::engine
