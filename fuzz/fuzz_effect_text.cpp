// Reads arbitrary bytes as the texts the rules read for their effect: a substitution that may
// only build text, interpreter code, a file a tool runs, and an MCP tool's command argument.
// None may crash, hang or grow without bound, and a tool command the parser gives up on must
// never be allowed unless it is blank.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/configured_programs.hpp"
#include "core/engine_policy.hpp"
#include "core/evaluator.hpp"
#include "core/interpreter_code.hpp"
#include "core/shell_functions.hpp"
#include "core/shell_parser.hpp"
#include "core/text_pipeline.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vardex;
    static const engine::EnginePolicy policy =
        engine::makeEnginePolicy("/home/fuzz", UserPolicyFile::empty, "policy.yaml");
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    if (const auto printed = engine::evaluateText(text); printed && printed->size() > 4096) std::abort();
    const auto spelled = engine::withHomeSpelled(text);
    if (spelled.size() > text.size() + 16 * text.size() + 16) std::abort();
    (void)engine::codeUnreadable(spelled);
    (void)engine::deletionsAsShell(spelled);
    if (engine::shellFunctions(text).size() > 32) std::abort();
    for (const char* name : {"package.json", "Makefile", "justfile", ".envrc"}) (void)engine::linesOfRunFile(name, text);

    Action action;
    action.context = AgentContext{AgentKind::claude, "s1", "/home/fuzz/project", false};
    action.kind = McpToolCallAction{"shell", "run_command", JSONValue(JSONValue::Object{{"command", JSONValue(std::string(text))}})};
    const auto decision = engine::evaluate(action, policy);
    // A blank command runs nothing, so allowing it is right.
    const bool blank = text.find_first_not_of(" \t\n\r\f\v") == std::string_view::npos;
    if (!blank && std::holds_alternative<ArgvTree::Unparsed>(engine::parseShell(text).node) &&
        decision.outcome == Outcome::allow) {
        std::abort();
    }
    return 0;
}
