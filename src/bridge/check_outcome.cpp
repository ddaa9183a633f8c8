#include "bridge/check_outcome.hpp"

#include <vector>

#include "bridge/engine_json.hpp"
#include "bridge/vardex_cli.hpp"
#include "protocol/protocol_json.hpp"
#include "strings/ui_strings.hpp"

namespace vardex {
namespace {

CheckOutcome message(std::string text, std::int32_t exitCode = 0) {
    return CheckOutcome{std::nullopt, exitCode, std::move(text), {}};
}

}  // namespace

std::string_view title(CheckKind kind) {
    switch (kind) {
    case CheckKind::shell:
        return UIStrings::checkKindShell;
    case CheckKind::read:
        return "Read a file";
    case CheckKind::mcp:
        return "AI tool";
    }
    return {};
}

CheckOutcome CheckOutcome::run(CheckKind kind, std::string_view shell, std::string_view read, std::string_view server,
                               std::string_view tool, std::string_view json, std::chrono::milliseconds timeLimit) {
    std::vector<std::string> arguments{"check", "--json"};
    switch (kind) {
    case CheckKind::shell: {
        auto command = engine_json::trimmed(shell);
        if (command.empty()) return message(std::string(UIStrings::checkNeedsShell));
        arguments.insert(arguments.end(), {"--shell", std::move(command)});
        break;
    }
    case CheckKind::read: {
        auto path = engine_json::trimmed(read);
        if (path.empty()) return message(std::string(UIStrings::checkNeedsPath));
        arguments.insert(arguments.end(), {"--read", std::move(path)});
        break;
    }
    case CheckKind::mcp: {
        auto serverName = engine_json::trimmed(server);
        auto toolName = engine_json::trimmed(tool);
        auto details = engine_json::trimmed(json);
        if (serverName.empty() || toolName.empty() || details.empty()) {
            return message("Type the tool name and details to test.");
        }
        arguments.insert(arguments.end(), {"--mcp", std::move(serverName), std::move(toolName), std::move(details)});
        break;
    }
    }

    auto outcome = VardexCli::run(arguments, std::nullopt, timeLimit);
    if (!outcome) return message(outcome.error().description());
    auto decision = ProtocolJSON::decode<Decision>(outcome->stdout);
    if (decision) {
        CheckOutcome checked{std::move(*decision), outcome->exitCode, std::nullopt, {}};
        // Decoding succeeded, so the text is one JSON object.
        const auto tree = nlohmann::json::parse(outcome->stdout, nullptr, false);
        if (const auto parts = tree.find("breakdown"); parts != tree.end()) {
            checked.breakdown = json_form::breakdownFromJson(*parts);
        }
        return checked;
    }
    const std::string words = outcome->combined();
    return message(words.empty() ? "No decision was returned." : words, outcome->exitCode);
}

}  // namespace vardex
