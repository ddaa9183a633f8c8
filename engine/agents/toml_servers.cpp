#include "agents/toml_servers.hpp"

#include <cstdint>

namespace vardex::engine {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::size_t skipBlanks(std::string_view text, std::size_t i) {
    while (i < text.size() && isBlank(text[i])) ++i;
    return i;
}

bool isBareKeyChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

void appendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// One basic ("...") or literal ('...') string starting at `i`; `i` moves past it. Multi-line
// strings are not read.
std::optional<std::string> readString(std::string_view text, std::size_t& i) {
    if (i >= text.size()) return std::nullopt;
    const char quote = text[i];
    if (quote != '"' && quote != '\'') return std::nullopt;
    if (text.substr(i, 3) == "\"\"\"" || text.substr(i, 3) == "'''") return std::nullopt;
    std::string value;
    ++i;
    while (i < text.size()) {
        const char c = text[i++];
        if (c == quote) return value;
        if (c != '\\' || quote == '\'') {
            value += c;
            continue;
        }
        if (i >= text.size()) return std::nullopt;
        const char escape = text[i++];
        switch (escape) {
            case 'b': value += '\b'; break;
            case 't': value += '\t'; break;
            case 'n': value += '\n'; break;
            case 'f': value += '\f'; break;
            case 'r': value += '\r'; break;
            case '"': value += '"'; break;
            case '\\': value += '\\'; break;
            case 'u':
            case 'U': {
                const std::size_t digits = escape == 'u' ? 4 : 8;
                if (i + digits > text.size()) return std::nullopt;
                std::uint32_t code = 0;
                for (std::size_t k = 0; k < digits; ++k) {
                    const char h = text[i++];
                    code <<= 4;
                    if (h >= '0' && h <= '9') code |= static_cast<std::uint32_t>(h - '0');
                    else if (h >= 'a' && h <= 'f') code |= static_cast<std::uint32_t>(h - 'a' + 10);
                    else if (h >= 'A' && h <= 'F') code |= static_cast<std::uint32_t>(h - 'A' + 10);
                    else return std::nullopt;
                }
                if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return std::nullopt;
                appendUtf8(value, code);
                break;
            }
            default: return std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<std::string> readKey(std::string_view text, std::size_t& i) {
    if (i < text.size() && (text[i] == '"' || text[i] == '\'')) return readString(text, i);
    const std::size_t start = i;
    while (i < text.size() && isBareKeyChar(text[i])) ++i;
    if (i == start) return std::nullopt;
    return std::string(text.substr(start, i - start));
}

// The dotted key of a table header "[a.b]"; nothing for other lines and for "[[...]]".
std::optional<std::vector<std::string>> tableHeader(std::string_view line) {
    std::size_t i = skipBlanks(line, 0);
    if (i >= line.size() || line[i] != '[' || line.substr(i, 2) == "[[") return std::nullopt;
    ++i;
    std::vector<std::string> keys;
    for (;;) {
        i = skipBlanks(line, i);
        auto key = readKey(line, i);
        if (!key) return std::nullopt;
        keys.push_back(std::move(*key));
        i = skipBlanks(line, i);
        if (i < line.size() && line[i] == '.') {
            ++i;
            continue;
        }
        if (i < line.size() && line[i] == ']') return keys;
        return std::nullopt;
    }
}

bool isAnyHeader(std::string_view line) {
    const std::size_t i = skipBlanks(line, 0);
    return i < line.size() && line[i] == '[';
}

// Only blanks and a comment may follow a value.
bool onlyCommentFrom(std::string_view line, std::size_t i) {
    i = skipBlanks(line, i);
    return i >= line.size() || line[i] == '#';
}

struct Assignment {
    std::string key;
    std::size_t valueStart = 0;
};

std::optional<Assignment> assignment(std::string_view line) {
    std::size_t i = skipBlanks(line, 0);
    auto key = readKey(line, i);
    if (!key) return std::nullopt;
    i = skipBlanks(line, i);
    if (i >= line.size() || line[i] != '=') return std::nullopt;
    return Assignment{std::move(*key), skipBlanks(line, i + 1)};
}

std::optional<std::vector<std::string>> readStringList(std::string_view line, std::size_t i) {
    if (i >= line.size() || line[i] != '[') return std::nullopt;
    ++i;
    std::vector<std::string> items;
    for (;;) {
        i = skipBlanks(line, i);
        if (i < line.size() && line[i] == ']') return onlyCommentFrom(line, i + 1) ? std::optional(items) : std::nullopt;
        auto item = readString(line, i);
        if (!item) return std::nullopt;
        items.push_back(std::move(*item));
        i = skipBlanks(line, i);
        if (i < line.size() && line[i] == ',') ++i;
        else if (i >= line.size() || line[i] != ']') return std::nullopt;
    }
}

std::string quoted(std::string_view value) {
    std::string out = "\"";
    for (const char c : value) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            case '\r': out += "\\r"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                    static constexpr char hex[] = "0123456789ABCDEF";
                    out += "\\u00";
                    out += hex[(c >> 4) & 0xF];
                    out += hex[c & 0xF];
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string listText(const std::vector<std::string>& items) {
    std::string out = "[";
    for (std::size_t k = 0; k < items.size(); ++k) {
        if (k > 0) out += ", ";
        out += quoted(items[k]);
    }
    return out + "]";
}

std::string indentOf(std::string_view line) { return std::string(line.substr(0, skipBlanks(line, 0))); }

}  // namespace

TomlServers::TomlServers(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find('\n', start);
        Line line;
        if (end == std::string_view::npos) {
            line.content = std::string(text.substr(start));
            start = text.size();
        } else {
            line.content = std::string(text.substr(start, end - start));
            line.ending = "\n";
            start = end + 1;
        }
        if (!line.content.empty() && line.content.back() == '\r') {
            line.content.pop_back();
            line.ending.insert(0, "\r");
        }
        lines_.push_back(std::move(line));
    }

    // The server table being read; `active` is false outside any [mcp_servers.NAME] table.
    bool active = false;
    bool hasCommand = false;
    bool editable = true;
    Server server;
    const auto finish = [&] {
        if (active && hasCommand && editable) servers_.push_back(server);
        active = false;
    };
    for (std::size_t n = 0; n < lines_.size(); ++n) {
        const std::string_view line = lines_[n].content;
        if (isAnyHeader(line)) {
            finish();
            auto keys = tableHeader(line);
            if (keys && keys->size() == 2 && (*keys)[0] == "mcp_servers") {
                active = true;
                hasCommand = false;
                editable = true;
                server = Server{};
                server.name = (*keys)[1];
            }
            continue;
        }
        if (!active) continue;
        auto set = assignment(line);
        if (!set) continue;
        if (set->key == "command") {
            std::size_t i = set->valueStart;
            auto command = readString(line, i);
            if (!command || !onlyCommentFrom(line, i) || hasCommand) {
                editable = false;
                continue;
            }
            server.command = std::move(*command);
            server.commandLine = n;
            hasCommand = true;
        } else if (set->key == "args") {
            auto args = readStringList(line, set->valueStart);
            if (!args || server.argsLine) {
                editable = false;
                continue;
            }
            server.args = std::move(*args);
            server.argsLine = n;
        }
    }
    finish();
}

void TomlServers::setLaunch(Server& server, const std::string& command, const std::vector<std::string>& args) {
    auto& commandLine = lines_[server.commandLine];
    const std::string indent = indentOf(commandLine.content);
    commandLine.content = indent + "command = " + quoted(command);
    const std::string argsText = indent + "args = " + listText(args);
    if (server.argsLine) {
        auto& line = lines_[*server.argsLine];
        line.removed = args.empty();
        line.content = argsText;
    } else if (!args.empty()) {
        // The new line takes the command line's ending, so the file keeps one style of breaks.
        const std::string ending = commandLine.ending.empty() ? "\n" : commandLine.ending;
        commandLine.content += ending + argsText;
    }
    server.command = command;
    server.args = args;
}

std::string TomlServers::text() const {
    std::string out;
    for (const auto& line : lines_) {
        if (line.removed) continue;
        out += line.content;
        out += line.ending;
    }
    return out;
}

}  // namespace vardex::engine
