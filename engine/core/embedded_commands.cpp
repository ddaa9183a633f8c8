#include "core/embedded_commands.hpp"

#include <algorithm>
#include <array>
#include <cctype>

#include "core/path_match.hpp"

namespace vardex::engine {
namespace {

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }
bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::string joined(const std::vector<std::string>& words, std::size_t from) {
    std::string out;
    for (auto i = from; i < words.size(); ++i) out += (out.empty() ? "" : " ") + words[i];
    return out;
}

// The index of the first operand, skipping options and the values of the listed short options.
std::size_t firstOperand(const std::vector<std::string>& args, std::size_t from, std::string_view valued) {
    for (auto i = from; i < args.size(); ++i) {
        const auto& arg = args[i];
        if (arg == "--") return i + 1;
        if (arg.size() < 2 || arg.front() != '-') return i;
        if (arg[1] != '-' && arg.size() == 2 && valued.find(arg[1]) != std::string_view::npos) ++i;
    }
    return args.size();
}

// sed runs the rest of an "e" command's line, and the pattern space with the "e" flag of "s".
void sedScript(std::string_view script, EmbeddedCommands& out) {
    std::size_t at = 0;
    while (at < script.size()) {
        auto end = script.find_first_of(";\n", at);
        if (end == std::string_view::npos) end = script.size();
        auto part = script.substr(at, end - at);
        at = end + 1;
        const auto start = part.find_first_not_of(" \t0123456789,$!");
        if (start == std::string_view::npos) continue;
        part.remove_prefix(start);
        if (part.front() == '/') {
            const auto close = part.find('/', 1);
            if (close == std::string_view::npos) continue;
            part.remove_prefix(close + 1);
            part.remove_prefix(std::min(part.size(), part.find_first_not_of(" \t,!")));
        }
        if (part.empty()) continue;
        if (part.front() == 'e' && (part.size() == 1 || part[1] == ' ' || part[1] == '\t')) {
            const auto line = part.substr(1);
            out.lines.emplace_back(line.substr(std::min(line.size(), line.find_first_not_of(" \t"))));
        } else if (part.front() == 's' && part.size() > 1) {
            // s/x/y/e runs what the substitution leaves: the line cannot tell what that is.
            const char delimiter = part[1];
            const auto flags = part.rfind(delimiter);
            if (flags > 1 && part.substr(flags + 1).find('e') != std::string_view::npos) out.unseenProgram = true;
        }
    }
}

void sed(const CommandFacts& command, EmbeddedCommands& out) {
    const auto& args = command.args;
    bool scriptGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if ((args[i] == "-e" || args[i] == "--expression") && i + 1 < args.size()) {
            sedScript(args[++i], out);
            scriptGiven = true;
        } else if (startsWith(args[i], "--expression=")) {
            sedScript(std::string_view(args[i]).substr(13), out);
            scriptGiven = true;
        } else if (args[i] == "-f" || args[i] == "--file") {
            return;
        }
    }
    if (scriptGiven) return;
    const auto first = firstOperand(args, 0, "lf");
    if (first < args.size()) sedScript(args[first], out);
}

// vim -c ':!cmd', +'!cmd' and ex's own commands run a shell line after a "!".
void editor(const CommandFacts& command, EmbeddedCommands& out) {
    const auto& args = command.args;
    const auto take = [&](std::string_view text) {
        text.remove_prefix(std::min(text.size(), text.find_first_not_of(" :")));
        if (!text.empty() && text.front() == '!') out.lines.emplace_back(text.substr(1));
        if (text.find("system(") != std::string_view::npos) out.unseenProgram = true;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        if ((args[i] == "-c" || args[i] == "--cmd") && i + 1 < args.size()) {
            take(args[++i]);
        } else if (args[i].size() > 1 && args[i].front() == '+') {
            take(std::string_view(args[i]).substr(1));
        }
    }
}

void tmux(const CommandFacts& command, EmbeddedCommands& out) {
    const auto& args = command.args;
    const auto sub = firstOperand(args, 0, "LSfc");
    if (sub >= args.size()) return;
    const auto& verb = args[sub];
    static constexpr std::array<std::string_view, 12> running{"new", "new-session", "new-window", "neww",
                                                              "split-window", "splitw", "run-shell", "run",
                                                              "respawn-pane", "respawn-window", "send-keys", "send"};
    if (std::find(running.begin(), running.end(), verb) == running.end()) return;
    const auto from = firstOperand(args, sub + 1, "scntxyeFlpfTN");
    auto words = std::vector<std::string>(args.begin() + static_cast<std::ptrdiff_t>(std::min(from, args.size())), args.end());
    if (startsWith(verb, "send")) {
        std::erase_if(words, [](const std::string& w) { return w == "Enter" || w == "C-m" || w == "KPEnter"; });
    }
    if (!words.empty()) out.lines.push_back(joined(words, 0));
}

void configuredProgram(std::string_view key, std::string_view value, EmbeddedCommands& out);

void ssh(const CommandFacts& command, EmbeddedCommands& out) {
    // ProxyCommand and LocalCommand name programs ssh runs here.
    for (const auto& arg : command.args) {
        const auto lower = asciiLower(arg);
        for (std::string_view option : {"proxycommand=", "localcommand="}) {
            const auto at = lower.find(option);
            if (at != std::string::npos) configuredProgram("core.proxy", std::string_view(arg).substr(at + option.size()), out);
        }
    }
    const auto host = firstOperand(command.args, 0, "bcDEeFIiJLlmOopQRSWwB");
    if (host + 1 < command.args.size()) out.lines.push_back(joined(command.args, host + 1));
}

// script -c LINE and watch WORDS run a line of their own.
void scriptOrWatch(const CommandFacts& command, EmbeddedCommands& out) {
    const auto& args = command.args;
    if (command.program == "script") {
        for (std::size_t i = 0; i + 1 < args.size(); ++i) {
            const auto& arg = args[i];
            const bool shortC = arg.size() > 1 && arg[0] == '-' && arg[1] != '-' && arg.back() == 'c';
            if (shortC || arg == "--command") {
                out.lines.push_back(args[i + 1]);
                return;
            }
        }
        return;
    }
    std::size_t i = 0;
    while (i < args.size() && args[i].size() > 1 && args[i].front() == '-') {
        if (args[i] == "-n" || args[i] == "--interval" || args[i] == "-d") ++i;
        ++i;
    }
    if (i < args.size()) out.lines.push_back(joined(args, i));
}

// Git settings whose value is a program git runs.
bool runsProgram(std::string_view key) {
    const auto lower = asciiLower(key);
    static constexpr std::array<std::string_view, 14> exact{
        "core.hookspath", "core.pager", "core.editor", "core.sshcommand", "core.fsmonitor", "core.askpass", "credential.helper",
        "diff.external", "sequence.editor", "gpg.program", "interactive.difffilter", "uploadpack.packobjectshook",
        "web.browser", "gpg.ssh.program"};
    if (std::find(exact.begin(), exact.end(), lower) != exact.end()) return true;
    if (startsWith(lower, "alias.") || startsWith(lower, "pager.") || startsWith(lower, "credential.")) {
        return startsWith(lower, "alias.") || startsWith(lower, "pager.") || endsWith(lower, ".helper");
    }
    for (std::string_view suffix : {".textconv", ".command", ".driver", ".clean", ".smudge", ".process", ".cmd",
                                    ".receivepack", ".uploadpack", ".proxy", ".tool"}) {
        if (endsWith(lower, suffix)) return true;
    }
    return false;
}

// A configured value: "!line" and most values are shell lines; a value naming a file elsewhere
// is a program the line does not show.
void configuredProgram(std::string_view key, std::string_view value, EmbeddedCommands& out) {
    if (!runsProgram(key) || value.empty()) return;
    const bool alias = startsWith(asciiLower(key), "alias.");
    if (alias && value.front() != '!') return;  // other aliases are git's own commands
    if (value.front() == '!') value.remove_prefix(1);
    const auto program = value.substr(0, value.find(' '));
    if (program.find('/') != std::string_view::npos && !startsWith(program, "/usr/") && !startsWith(program, "/bin/")) {
        out.unseenProgram = true;
    }
    out.lines.emplace_back(value);
}

void git(const CommandFacts& command, EmbeddedCommands& out) {
    const auto& args = command.args;
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] != "-c") continue;
        const auto& setting = args[i + 1];
        const auto equals = setting.find('=');
        if (equals != std::string::npos) configuredProgram(std::string_view(setting).substr(0, equals), std::string_view(setting).substr(equals + 1), out);
    }
    const auto config = std::find(args.begin(), args.end(), "config");
    if (config == args.end()) return;
    std::vector<std::string_view> operands;
    for (auto it = config + 1; it != args.end(); ++it) {
        if (it->empty() || it->front() != '-') operands.push_back(*it);
        if (*it == "--file" || *it == "-f") ++it;
        if (it == args.end()) break;
    }
    if (!operands.empty() && operands.front() == "set") operands.erase(operands.begin());
    if (operands.size() >= 2) configuredProgram(operands[0], operands[1], out);
}

// Environment that names a program git, ssh or a pager runs.
void environment(const CommandFacts& command, EmbeddedCommands& out) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 9> variables{{
        {"GIT_SSH_COMMAND", "core.sshcommand"}, {"GIT_SSH", "core.sshcommand"}, {"GIT_EXTERNAL_DIFF", "diff.external"},
        {"GIT_PAGER", "core.pager"}, {"GIT_EDITOR", "core.editor"}, {"GIT_ASKPASS", "core.askpass"},
        {"SSH_ASKPASS", "core.askpass"}, {"GIT_SEQUENCE_EDITOR", "sequence.editor"}, {"GIT_PROXY_COMMAND", "core.proxy"}}};
    for (const auto& assignment : command.env) {
        const auto equals = assignment.find('=');
        if (equals == std::string::npos) continue;
        const auto name = std::string_view(assignment).substr(0, equals);
        for (const auto& [variable, key] : variables) {
            if (name == variable) configuredProgram(key, std::string_view(assignment).substr(equals + 1), out);
        }
    }
}

}  // namespace

EmbeddedCommands embeddedCommands(const CommandFacts& command) {
    EmbeddedCommands out;
    const auto& program = command.program;
    environment(command, out);
    if (program == "sed" || program == "gsed") sed(command, out);
    if (program == "vim" || program == "vi" || program == "nvim" || program == "ex" || program == "view" || program == "gvim") {
        editor(command, out);
    }
    if (program == "tmux") tmux(command, out);
    if (program == "ssh") ssh(command, out);
    if (program == "script" || program == "watch") scriptOrWatch(command, out);
    if (program == "git") git(command, out);
    return out;
}

}  // namespace vardex::engine
