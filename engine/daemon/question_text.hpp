#pragma once

#include <cstddef>
#include <string>

#include "daemon/daemon_limits.hpp"
#include "protocol/action.hpp"

namespace vardex::engine {

// Beyond this many bytes an MCP tool's arguments are cut in a question, with a line saying so:
// enough for any amount, recipient or query a person should weigh, small enough for every UI.
inline constexpr std::size_t questionArgumentsCap = 4096;

// The arguments of an MCP tool call as a person reads them: indented JSON, cut after `cap`
// bytes (never inside a character) with a line that says how much is left out.
std::string mcpArgumentsText(const JSONValue& arguments, std::size_t cap = questionArgumentsCap);

// `text` as a question or a decision shows it: whole up to `cap` bytes; longer, its beginning and
// its end with a line between them saying how many bytes are left out, never cutting inside a
// character. The end stays in view because whatever follows a harmless start is what matters.
std::string shownText(std::string text, std::size_t cap = shownTextBytes);

// What a question shows of an action: its one-line summary, and for an MCP tool call the tool's
// arguments below it, since "mcp payments.send" alone says nothing of the amount or recipient.
std::string questionText(const Action& action);

}  // namespace vardex::engine
