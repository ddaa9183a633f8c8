// Reads arbitrary bytes as a shell line an agent wants to run and decides it. Parsing, drawing
// the facts and running every rule must never crash, hang or run out of memory; the tree the
// parser keeps must be readable again from the wire; and a line the parser gives up on must
// never be allowed.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/engine_policy.hpp"
#include "core/evaluator.hpp"
#include "core/shell_parser.hpp"
#include "protocol/protocol_json.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vardex;
    static const engine::EnginePolicy policy =
        engine::makeEnginePolicy("/home/fuzz", UserPolicyFile::empty, "policy.yaml");
    const std::string_view line(reinterpret_cast<const char*>(data), size);

    Action action;
    action.context = AgentContext{AgentKind::claude, "s1", "/home/fuzz/project", false};
    action.kind = engine::shellAction(line, "/home/fuzz/project");
    const auto decision = engine::evaluate(action, policy);

    const auto& tree = std::get<ShellAction>(action.kind).argvTree;
    if (std::holds_alternative<ArgvTree::Unparsed>(tree.node) && decision.outcome == Outcome::allow) std::abort();
    // Text that is not UTF-8 may be refused on the way out; what goes out must come back in.
    const auto encoded = ProtocolJSON::encode(tree);
    if (encoded.ok() && !ProtocolJSON::decode<ArgvTree>(encoded.value()).ok()) std::abort();
    return 0;
}
