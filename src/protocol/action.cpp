#include "protocol/action.hpp"

namespace vardex {

std::string_view ArgvTree::nodeName() const {
    static constexpr std::string_view names[] = {"command", "pipeline", "list", "group", "unparsed"};
    static_assert(std::size(names) == std::variant_size_v<decltype(node)>);
    return names[node.index()];
}

std::string_view actionKindName(const ActionKind& kind) {
    static constexpr std::string_view names[] = {"shell",       "file_read", "file_write",
                                                 "file_delete", "network",   "mcp_tool_call"};
    static_assert(std::size(names) == std::variant_size_v<ActionKind>);
    return names[kind.index()];
}

}  // namespace vardex
