#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

#include "activity/log_head.hpp"
#include "bridge/vardex_paths.hpp"
#include "cli/commands.hpp"
#include "core/audit_log.hpp"
#include "core/command_breakdown.hpp"
#include "core/engine_policy.hpp"
#include "core/evaluator.hpp"
#include "core/policy_validation.hpp"
#include "core/shell_parser.hpp"
#include "protocol/protocol_json.hpp"

namespace vardex::engine {
namespace {

struct CheckOptions {
    bool json = false;
    std::string shell;
    std::string read;
    std::vector<std::string> mcp;
};

struct RulesOptions {
    bool json = false;
    std::string path;
    std::string as = "user";
};

// Texts from the user's policy file may hold bytes that are not UTF-8; they are replaced
// rather than let the output fail.
std::string printable(const nlohmann::json& document) {
    return document.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string currentFolder() {
    std::error_code ignored;
    auto cwd = std::filesystem::current_path(ignored);
    return cwd.string();
}

Result<Action, std::string> checkedAction(const CheckOptions& options) {
    Action action;
    action.context.agent = AgentKind::shim;
    action.context.sessionId = "check";
    action.context.cwd = currentFolder();
    if (!options.mcp.empty()) {
        const auto tree = nlohmann::json::parse(options.mcp[2], nullptr, false);
        if (tree.is_discarded()) return fail(std::string("The tool details are not valid JSON."));
        auto args = ProtocolJSON::fromTree<JSONValue>(tree);
        if (!args) return fail("The tool details could not be read: " + args.error().description());
        action.kind = McpToolCallAction{options.mcp[0], options.mcp[1], std::move(args).value()};
    } else if (!options.read.empty()) {
        action.kind = FileReadAction{options.read};
    } else {
        action.kind = shellAction(options.shell, action.context.cwd);
    }
    return action;
}

int runCheck(const CheckOptions& options) {
    if (options.shell.empty() && options.read.empty() && options.mcp.empty()) {
        std::cerr << "Say what to check: --shell COMMAND, --read PATH or --mcp SERVER TOOL JSON.\n";
        return 1;
    }
    auto policy = loadEnginePolicy();
    if (!policy) {
        std::cerr << policy.error() << "\n";
        return 1;
    }
    auto action = checkedAction(options);
    if (!action) {
        std::cerr << action.error() << "\n";
        return 1;
    }
    const auto decision = evaluate(*action, *policy);
    const auto logged = appendAuditRecord(VardexPaths::auditLogURL(),
                                          auditRecordFor(*action, decision, std::nullopt, std::chrono::system_clock::now()));
    if (!logged) std::cerr << "The check was not recorded: " << logged.error() << "\n";
    if (options.json) {
        auto out = json_form::toJson(decision);
        if (auto parts = commandBreakdown(*action, *policy, decision); !parts.empty()) out["breakdown"] = json_form::toJson(parts);
        std::cout << printable(out) << "\n";
    } else {
        std::cout << wireText(decision.outcome);
        if (decision.ruleId) std::cout << " (" << *decision.ruleId << ")";
        std::cout << ": " << decision.reasonUser << "\n";
    }
    return 0;
}

nlohmann::json listing(const EnginePolicy& policy) {
    nlohmann::json out = nlohmann::json::object();
    out["defaults"] = {
        {"ask_timeout_seconds", policy.askTimeoutSeconds},
        {"ask_threshold", policy.askThreshold},
        {"unmatched", std::string(wireText(policy.unmatched))},
        {"on_timeout", std::string(wireText(policy.onTimeout))},
        {"on_no_ui", std::string(wireText(policy.onNoUi))},
    };
    out["rules"] = nlohmann::json::array();
    for (const auto& rule : policy.rules) {
        out["rules"].push_back({{"id", rule.id},
                                {"description", rule.description},
                                {"severity", std::string(wireText(rule.severity))},
                                {"decision", std::string(wireText(rule.decision))},
                                {"layer", rule.layer},
                                {"source", rule.source}});
    }
    out["disabled"] = nlohmann::json::array();
    for (const auto& disabled : policy.disabled) {
        out["disabled"].push_back({{"id", disabled.id}, {"layer", disabled.layer}, {"source", disabled.source}});
    }
    return out;
}

int runRulesList(const RulesOptions& options) {
    auto policy = loadEnginePolicy();
    if (!policy) {
        std::cerr << policy.error() << "\n";
        return 1;
    }
    if (options.json) {
        std::cout << printable(listing(*policy)) << "\n";
        return 0;
    }
    for (const auto& rule : policy->rules) {
        std::cout << rule.id << "  " << wireText(rule.severity) << " " << wireText(rule.decision) << "  "
                  << rule.description << "\n";
    }
    for (const auto& disabled : policy->disabled) std::cout << disabled.id << "  (switched off)\n";
    return 0;
}

int runRulesValidate(const RulesOptions& options) {
    std::ifstream in(options.path, std::ios::binary);
    if (!in) {
        std::cerr << "Could not read " << options.path << ".\n";
        return 1;
    }
    std::ostringstream text;
    text << in.rdbuf();
    auto checked = validateUserPolicy(text.str(), options.path);
    if (!checked) {
        std::cerr << checked.error() << "\n";
        return 1;
    }
    std::cout << options.path << " is a valid user policy (" << checked->rules.size()
              << (checked->rules.size() == 1 ? " rule" : " rules") << ").\n";
    return 0;
}

// Without a head: is the chain whole. With one, copied from a receipt: is the chain whole and
// does it still hold the entry the receipt ended with.
int runLogVerify(const std::string& headText) {
    std::optional<LogHead> head;
    if (!headText.empty()) {
        head = parseLogHead(headText);
        if (!head) {
            std::cerr << "\"" << headText << "\" is not a log head: a receipt names it as the count of entries and "
                      << "the first " << logHeadHashLength << " characters of the last one's fingerprint, like "
                      << "1204:3fa9c2b1e0d4.\n";
            return 2;
        }
    }
    const auto report = verifyAuditLog(VardexPaths::auditLogURL(), head ? std::optional(head->entries) : std::nullopt);
    if (!report) {
        std::cerr << report.error() << "\n";
        return 1;
    }
    std::cout << report->message() << "\n";
    if (!report->intact()) return 1;
    if (!head) return 0;
    const auto shown = logHeadText(*head);
    if (report->hashAtAsked.empty()) {
        std::cout << "It does not hold the head " << shown << ": it has " << report->entries
                  << (report->entries == 1 ? " entry." : " entries.") << "\n";
        return 1;
    }
    if (!report->hashAtAsked.starts_with(head->hashPrefix)) {
        std::cout << "It does not hold the head " << shown << ": entry " << head->entries << " has the fingerprint "
                  << report->hashAtAsked.substr(0, logHeadHashLength) << ".\n";
        return 1;
    }
    std::cout << "It still holds the head " << shown << ".\n";
    return 0;
}

}  // namespace

void addCoreCommands(CLI::App& app, CommandContext& context) {
    auto checkOptions = std::make_shared<CheckOptions>();
    auto* check = app.add_subcommand("check", "Show what Vardex would decide for an action, and record it");
    check->add_flag("--json", checkOptions->json, "Print the decision as JSON");
    auto* shell = check->add_option("--shell", checkOptions->shell, "A shell command line");
    auto* read = check->add_option("--read", checkOptions->read, "A file to read");
    auto* mcp = check->add_option("--mcp", checkOptions->mcp, "An MCP tool call: SERVER TOOL JSON")->expected(3);
    shell->excludes(read)->excludes(mcp);
    read->excludes(mcp);
    check->callback([checkOptions, &context] { context.exitCode = runCheck(*checkOptions); });

    auto rulesOptions = std::make_shared<RulesOptions>();
    auto* rules = app.add_subcommand("rules", "The rules Vardex enforces");
    rules->require_subcommand(1);
    auto* list = rules->add_subcommand("list", "List the built-in rules and your own");
    list->add_flag("--json", rulesOptions->json, "Print the listing as JSON");
    list->callback([rulesOptions, &context] { context.exitCode = runRulesList(*rulesOptions); });
    auto* validate = rules->add_subcommand("validate", "Check a policy file before it is used");
    validate->add_option("path", rulesOptions->path, "The policy file")->required();
    validate->add_option("--as", rulesOptions->as, "The layer the file is for")->check(CLI::IsMember({"user"}));
    validate->callback([rulesOptions, &context] { context.exitCode = runRulesValidate(*rulesOptions); });

    auto* log = app.add_subcommand("log", "The activity log");
    log->require_subcommand(1);
    auto* verify = log->add_subcommand("verify", "Check that no line of the activity log was changed");
    auto verifyHead = std::make_shared<std::string>();
    verify->add_option("--head", *verifyHead, "A head from a daily receipt (COUNT:FINGERPRINT) the log must still hold");
    verify->callback([verifyHead, &context] { context.exitCode = runLogVerify(*verifyHead); });
}

}  // namespace vardex::engine
