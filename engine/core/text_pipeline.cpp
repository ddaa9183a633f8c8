#include "core/text_pipeline.hpp"

#include <algorithm>
#include <variant>

#include "core/path_match.hpp"
#include "core/shell_parser.hpp"

namespace vardex::engine {
namespace {

// Outputs beyond this are not followed: a name is short.
constexpr std::size_t maxText = 4096;

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> printfOutput(const std::vector<std::string>& args) {
    if (args.empty()) return std::nullopt;
    const auto format = unescapePrintf(args.front());
    std::string out;
    std::size_t next = 1;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 >= format.size()) {
            out += format[i];
            continue;
        }
        const char conversion = format[++i];
        if (conversion == '%') {
            out += '%';
        } else if (conversion == 's' || conversion == 'b' || conversion == 'd' || conversion == 'c') {
            const std::string value = next < args.size() ? args[next++] : "";
            out += conversion == 'b' ? unescapePrintf(value) : conversion == 'c' ? value.substr(0, 1) : value;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

std::optional<std::string> echoOutput(const std::vector<std::string>& args) {
    std::string out;
    bool escapes = false;
    bool newline = true;
    std::size_t i = 0;
    for (; i < args.size() && args[i].size() > 1 && args[i].front() == '-' &&
           args[i].find_first_not_of("neE", 1) == std::string::npos;
         ++i) {
        escapes = escapes || args[i].find('e') != std::string::npos;
        newline = newline && args[i].find('n') == std::string::npos;
    }
    for (; i < args.size(); ++i) out += (out.empty() ? "" : " ") + (escapes ? unescapePrintf(args[i]) : args[i]);
    return newline ? out + "\n" : out;
}

// tr's sets with a-z style ranges written out.
std::string trSet(std::string_view set) {
    std::string out;
    for (std::size_t i = 0; i < set.size(); ++i) {
        if (i + 2 < set.size() && set[i + 1] == '-' && set[i] <= set[i + 2]) {
            for (char c = set[i]; c <= set[i + 2] && out.size() < 256; ++c) out += c;
            i += 2;
        } else {
            out += set[i];
        }
    }
    return out;
}

std::optional<std::string> base64Decode(std::string_view text) {
    std::string out;
    int bits = 0;
    unsigned value = 0;
    for (char c : text) {
        int digit = -1;
        if (c >= 'A' && c <= 'Z') digit = c - 'A';
        if (c >= 'a' && c <= 'z') digit = c - 'a' + 26;
        if (c >= '0' && c <= '9') digit = c - '0' + 52;
        if (c == '+' || c == '-') digit = 62;
        if (c == '/' || c == '_') digit = 63;
        if (c == '=' || c == '\n' || c == ' ') continue;
        if (digit < 0) return std::nullopt;
        value = (value << 6) | static_cast<unsigned>(digit);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((value >> bits) & 0xFF);
        }
    }
    return out;
}

std::optional<std::string> filter(const std::string& program, const std::vector<std::string>& args, std::string text) {
    if (program == "rev") {
        // rev turns each line around.
        const bool newline = !text.empty() && text.back() == '\n';
        if (newline) text.pop_back();
        std::reverse(text.begin(), text.end());
        return newline ? text + "\n" : text;
    }
    if (program == "tr") {
        if (args.size() == 2 && args[0] == "-d") {
            const auto gone = trSet(args[1]);
            std::erase_if(text, [&](char c) { return gone.find(c) != std::string::npos; });
            return text;
        }
        if (args.size() != 2) return std::nullopt;
        const auto from = trSet(args[0]);
        const auto to = trSet(args[1]);
        if (to.empty()) return std::nullopt;
        for (auto& c : text) {
            const auto at = from.find(c);
            if (at != std::string::npos) c = to[std::min(at, to.size() - 1)];
        }
        return text;
    }
    if (program == "base64" && !args.empty() && (args[0] == "-d" || args[0] == "--decode" || args[0] == "-D")) {
        return base64Decode(text);
    }
    if (program == "xxd" && std::find(args.begin(), args.end(), "-r") != args.end()) {
        std::string out;
        int high = -1;
        for (char c : text) {
            const int v = hexValue(c);
            if (v < 0) continue;
            if (high < 0) {
                high = v;
            } else {
                out += static_cast<char>(high * 16 + v);
                high = -1;
            }
        }
        return out;
    }
    return std::nullopt;
}

const ArgvTree::Command* plainCommand(const ArgvTree& tree) {
    const auto* command = std::get_if<ArgvTree::Command>(&tree.node);
    if (!command || command->argv.empty() || !command->substitutions.empty() || !command->redirects.empty() ||
        !command->wrappers.empty()) {
        return nullptr;
    }
    for (const auto& word : command->argv) {
        if (word.find_first_of("$`*?") != std::string::npos) return nullptr;
    }
    return command;
}

}  // namespace

std::string unescapePrintf(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        if (c == 'n') {
            out += '\n';
        } else if (c == 't') {
            out += '\t';
        } else if (c == 'r') {
            out += '\r';
        } else if (c == 'x' && i + 1 < text.size() && hexValue(text[i + 1]) >= 0) {
            int value = hexValue(text[++i]);
            if (i + 1 < text.size() && hexValue(text[i + 1]) >= 0) value = value * 16 + hexValue(text[++i]);
            out += static_cast<char>(value);
        } else if (c >= '0' && c <= '7') {
            int value = c - '0';
            for (int n = 0; n < 2 && i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '7'; ++n) {
                value = value * 8 + (text[++i] - '0');
            }
            out += static_cast<char>(value);
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<std::string> evaluateText(std::string_view line) {
    if (line.size() > maxText) return std::nullopt;
    const auto tree = parseShell(line);
    std::vector<const ArgvTree*> stages;
    if (const auto* pipeline = std::get_if<ArgvTree::Pipeline>(&tree.node)) {
        for (const auto& stage : pipeline->commands) stages.push_back(&stage);
    } else {
        stages.push_back(&tree);
    }
    std::optional<std::string> text;
    for (std::size_t i = 0; i < stages.size(); ++i) {
        const auto* command = plainCommand(*stages[i]);
        if (!command) return std::nullopt;
        const auto program = std::string(baseName(command->argv.front()));
        const std::vector<std::string> args(command->argv.begin() + 1, command->argv.end());
        if (i == 0) {
            text = program == "echo" ? echoOutput(args) : program == "printf" ? printfOutput(args) : std::nullopt;
        } else {
            text = filter(program, args, std::move(*text));
        }
        if (!text || text->size() > maxText) return std::nullopt;
    }
    // The shell drops the trailing line breaks of a substitution.
    while (text && !text->empty() && text->back() == '\n') text->pop_back();
    return text;
}

}  // namespace vardex::engine
