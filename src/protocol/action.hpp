#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "common/indirect.hpp"
#include "protocol/agent_context.hpp"
#include "protocol/json_value.hpp"
#include "protocol/wire_enum.hpp"

namespace vardex {

enum class RedirectOp { read, write, append, readWrite, hereDoc, hereString, dup };
enum class ListOp { andOp, orOp, then, background };
// Signs of a disguised command.
enum class ObfuscationFlag { base64Decode, hexEscape, varIndirection, evalDynamic };

template <>
struct WireNames<RedirectOp> {
    static constexpr std::array<std::pair<RedirectOp, std::string_view>, 7> table{{
        {RedirectOp::read, "read"},
        {RedirectOp::write, "write"},
        {RedirectOp::append, "append"},
        {RedirectOp::readWrite, "read_write"},
        {RedirectOp::hereDoc, "here_doc"},
        {RedirectOp::hereString, "here_string"},
        {RedirectOp::dup, "dup"},
    }};
};

template <>
struct WireNames<ListOp> {
    static constexpr std::array<std::pair<ListOp, std::string_view>, 4> table{{
        {ListOp::andOp, "and"},
        {ListOp::orOp, "or"},
        {ListOp::then, "then"},
        {ListOp::background, "background"},
    }};
};

template <>
struct WireNames<ObfuscationFlag> {
    static constexpr std::array<std::pair<ObfuscationFlag, std::string_view>, 4> table{{
        {ObfuscationFlag::base64Decode, "base64_decode"},
        {ObfuscationFlag::hexEscape, "hex_escape"},
        {ObfuscationFlag::varIndirection, "var_indirection"},
        {ObfuscationFlag::evalDynamic, "eval_dynamic"},
    }};
};

struct Redirect {
    std::optional<std::uint32_t> fd;
    RedirectOp op = RedirectOp::read;
    std::string target;
    // The content of a here-document or here-string.
    std::optional<std::string> body;

    friend bool operator==(const Redirect&, const Redirect&) = default;
};

// The parsed shell command: a tree that mirrors the shell's grammar.
struct ArgvTree {
    struct Command {
        std::vector<std::string> argv;
        std::vector<Redirect> redirects;
        std::vector<ArgvTree> substitutions;  // command substitutions inside the command
        std::vector<std::string> env;         // assignments before the command
        std::vector<std::string> wrappers;    // wrapper commands in front of the real one
        friend bool operator==(const Command&, const Command&) = default;
    };
    struct Pipeline {
        std::vector<ArgvTree> commands;
        friend bool operator==(const Pipeline&, const Pipeline&) = default;
    };
    struct List {
        ListOp op = ListOp::andOp;
        Indirect<ArgvTree> left;
        Indirect<ArgvTree> right;
        friend bool operator==(const List&, const List&) = default;
    };
    struct Group {
        Indirect<ArgvTree> body;
        friend bool operator==(const Group&, const Group&) = default;
    };
    struct Unparsed {
        std::string raw;
        friend bool operator==(const Unparsed&, const Unparsed&) = default;
    };

    std::variant<Command, Pipeline, List, Group, Unparsed> node;

    // The "node" wire text of the case.
    std::string_view nodeName() const;

    friend bool operator==(const ArgvTree&, const ArgvTree&) = default;
};

// Where a network request's body comes from.
struct BodySource {
    struct File {
        std::string path;
        friend bool operator==(const File&, const File&) = default;
    };
    struct Inline {
        std::string text;
        friend bool operator==(const Inline&, const Inline&) = default;
    };
    struct Stdin {
        friend bool operator==(const Stdin&, const Stdin&) = default;
    };

    std::variant<File, Inline, Stdin> source;

    friend bool operator==(const BodySource&, const BodySource&) = default;
};

struct ShellAction {
    ArgvTree argvTree;
    std::string raw;  // the command as typed
    std::string cwd;
    std::vector<ObfuscationFlag> obfuscation;
    friend bool operator==(const ShellAction&, const ShellAction&) = default;
};
struct FileReadAction {
    std::string path;
    friend bool operator==(const FileReadAction&, const FileReadAction&) = default;
};
struct FileWriteAction {
    std::string path;
    friend bool operator==(const FileWriteAction&, const FileWriteAction&) = default;
};
struct FileDeleteAction {
    std::string path;
    friend bool operator==(const FileDeleteAction&, const FileDeleteAction&) = default;
};
struct NetworkAction {
    std::optional<std::string> url;
    std::optional<std::string> host;
    std::optional<std::string> method;
    std::optional<BodySource> bodySource;
    friend bool operator==(const NetworkAction&, const NetworkAction&) = default;
};
struct McpToolCallAction {
    std::string server;
    std::string tool;
    JSONValue argsJson;
    friend bool operator==(const McpToolCallAction&, const McpToolCallAction&) = default;
};

using ActionKind = std::variant<ShellAction, FileReadAction, FileWriteAction, FileDeleteAction,
                                NetworkAction, McpToolCallAction>;

// The "kind" wire text: "shell", "file_read", "file_write", "file_delete", "network",
// "mcp_tool_call".
std::string_view actionKindName(const ActionKind& kind);

// One thing an agent wants to do.
struct Action {
    AgentContext context;
    ActionKind kind;

    friend bool operator==(const Action&, const Action&) = default;
};

}  // namespace vardex
