#include "core/action_facts.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <iterator>
#include <map>
#include <optional>

#include "core/interpreter_code.hpp"
#include "core/configured_programs.hpp"
#include "core/embedded_commands.hpp"
#include "core/path_match.hpp"
#include "core/shell_parser.hpp"
#include "core/shell_functions.hpp"
#include "core/shell_quote.hpp"
#include "core/text_pipeline.hpp"
#include "protocol/protocol_json.hpp"

namespace vardex::engine {
namespace {

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

constexpr std::array<std::string_view, 8> shells{"sh", "bash", "zsh", "dash", "ksh", "fish", "ash", "busybox"};
// Programs whose path arguments are changed rather than read.
constexpr std::array<std::string_view, 18> changingPrograms{
    "rm", "rmdir", "mv", "cp", "tee", "truncate", "shred", "chmod", "chown", "ln",
    "install", "touch", "unlink", "rsync", "dd", "mkdir", "srm", "sponge"};
// Of these, only the last operand is changed; the others are read.
constexpr std::array<std::string_view, 4> copyingPrograms{"cp", "install", "rsync", "ln"};
constexpr std::array<std::string_view, 15> networkPrograms{
    "curl", "wget", "ssh", "scp", "sftp", "rsync", "nc", "ncat", "netcat", "socat", "telnet", "ftp", "http",
    "https", "xh"};

// Programs that use a private key or configuration given with "-i" or "-F" rather than read it out.
constexpr std::array<std::string_view, 5> sshFamily{"ssh", "scp", "sftp", "ssh-add", "ssh-copy-id"};

// Programs whose `eval "$(program ...)"` output is the usual way to set up a shell.
constexpr std::array<std::string_view, 17> shellSetupPrograms{
    "ssh-agent", "direnv", "pyenv", "rbenv", "nodenv", "goenv", "jenv", "fnm", "zoxide", "starship",
    "brew", "opam", "conda", "mise", "rtx", "keychain", "dircolors"};

bool contains(const auto& set, std::string_view value) {
    return std::find(set.begin(), set.end(), value) != set.end();
}

// A nested shell body is parsed again; past this depth the body is left as it stands.
constexpr int maxNesting = 8;
// Paths that exist are followed through links; past this many in one action the rest are taken
// as written, so a huge line costs no more file-system calls than this.
constexpr std::size_t maxResolved = 256;

bool looksLikePath(std::string_view text) {
    if (text.empty()) return false;
    if (text.find("://") != std::string_view::npos) return false;
    return text.find('/') != std::string_view::npos || text.front() == '~' || text.front() == '.' ||
           text.substr(0, 5) == "$HOME" || text.substr(0, 7) == "${HOME}";
}

bool looksLikeHost(std::string_view text) {
    if (text.find('.') == std::string_view::npos || text.front() == '.' || text.back() == '.') return false;
    return std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
               c == ':';
    });
}

// True for a shell or interpreter that takes its program from standard input: no script named,
// no program given as text.
bool readsProgramFromStdin(const CommandFacts& command) {
    const bool shell = contains(shells, command.program);
    if (!shell && !isInterpreter(command.program)) return false;
    if (!inlineCode(command).empty()) return false;
    const auto& args = command.args;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const auto& arg = args[i];
        if (arg == "-" || arg == "-s" || arg == "--") return true;
        if (arg.size() > 1 && (arg[0] == '-' || arg[0] == '+')) {
            if (shell && arg.find('c') != std::string::npos && arg[1] != '-') return false;
            if (!shell && (arg == "-m" || arg == "-c")) return false;
            if (arg == "-o" || arg == "+o" || arg == "-O" || arg == "+O" || arg == "--rcfile" || arg == "--init-file" ||
                arg == "-W" || arg == "-X") {
                ++i;
            }
            continue;
        }
        return false;
    }
    return true;
}

// "TOOL completion bash)", "TOOL shell-hook)", "TOOL env activate)": a named tool printing the
// set-up code for a shell, the usual thing to source or eval. The text is the inside of a "<("
// or "$(" substitution.
bool isShellSetup(std::string_view text) {
    const auto close = text.find(')');
    if (close == std::string_view::npos || text.find_first_of("$`|;&<>(\"'") < close) return false;
    const auto words = splitBlanks(text.substr(0, close));
    if (words.size() < 2 || words.front().find('/') != std::string::npos || fetchesFromNetwork(words.front())) {
        return false;
    }
    static constexpr std::array<std::string_view, 10> setupWords{"completion", "completions", "shell-hook", "hook",
                                                                 "init", "activate", "shellenv", "env",
                                                                 "shell-completion", "generate-shell-completion"};
    return std::any_of(words.begin() + 1, words.end(), [](const std::string& w) { return contains(setupWords, w); });
}

std::string joined(const std::vector<std::string>& words, std::size_t from) {
    std::string out;
    for (auto i = from; i < words.size(); ++i) out += (out.empty() ? "" : " ") + words[i];
    return out;
}

// The path part of a URL ("https://x/a/b.sh?x=1" gives "/a/b.sh").
std::string urlPath(std::string_view url) {
    const auto scheme = url.find("://");
    auto rest = url.substr(scheme + 3);
    const auto slash = rest.find('/');
    if (slash == std::string_view::npos) return {};
    rest = rest.substr(slash);
    return std::string(rest.substr(0, rest.find_first_of("?#")));
}

// A program word that comes from an expansion: a variable, a substitution, a wildcard, or a
// brace list the shell would turn into other words.
bool isComputedWord(std::string_view word) {
    for (std::string_view home : {"${HOME}", "$HOME"}) {
        if (word.substr(0, home.size()) == home) word.remove_prefix(home.size());
    }
    if (word.empty() || word == "[" || word == "[[") return false;
    return word.find_first_of("$`*?[") != std::string_view::npos || word.front() == '{' || word.substr(0, 2) == "<(";
}

// "{rm,-rf,~}" and "pre{a,b}post": the words the shell makes of a brace list.
std::vector<std::string> braceExpansion(const std::string& word) {
    const auto open = word.find('{');
    if (open == std::string::npos) return {word};
    int depth = 0;
    std::size_t close = std::string::npos;
    std::vector<std::size_t> commas;
    for (auto i = open; i < word.size(); ++i) {
        if (word[i] == '{') ++depth;
        if (word[i] == '}' && --depth == 0) {
            close = i;
            break;
        }
        if (word[i] == ',' && depth == 1) commas.push_back(i);
    }
    if (close == std::string::npos || commas.empty()) return {word};
    std::vector<std::string> out;
    auto from = open + 1;
    commas.push_back(close);
    for (auto comma : commas) {
        out.push_back(word.substr(0, open) + word.substr(from, comma - from) + word.substr(close + 1));
        from = comma + 1;
    }
    return out;
}

class Collector {
public:
    explicit Collector(ActionFacts& facts) : facts_(facts), cwd_(facts.cwd) {}

    void walk(const ArgvTree& tree, int depth) {
        std::visit(Overloaded{
                       [&](const ArgvTree::Command& command) {
                           facts_.pipelines.push_back({commandFacts(command, depth, Feed{})});
                       },
                       [&](const ArgvTree::Pipeline& pipeline) {
                           std::vector<CommandFacts> stages;
                           Feed feed;
                           for (std::size_t i = 0; i < pipeline.commands.size(); ++i) {
                               const auto& stage = pipeline.commands[i];
                               feed.fed = i > 0;
                               if (const auto* command = lone(stage)) {
                                   stages.push_back(commandFacts(*command, depth, feed));
                                   feed.text = feedText(*command, stages.back());
                                   feed.fetched = feed.fetched || fetchesFromNetwork(stages.back().program);
                               } else {
                                   walk(stage, depth);
                                   feed.text.reset();
                               }
                           }
                           if (!stages.empty()) facts_.pipelines.push_back(std::move(stages));
                       },
                       [&](const ArgvTree::List& list) {
                           walk(*list.left, depth);
                           walk(*list.right, depth);
                       },
                       [&](const ArgvTree::Group& group) { walk(*group.body, depth); },
                       [&](const ArgvTree::Unparsed& unparsed) { rough(unparsed.raw); },
                   },
                   tree.node);
    }

    void addPath(std::string_view text, bool writes) {
        if (text.empty()) return;
        auto path = absolutePath(throughProc(text), facts_.home, cwd_);
        // A link is judged by what it points at as well as by its own name.
        if (resolved_ < maxResolved && !path.empty() && path.front() == '/' &&
            path.find_first_of("*?[$`") == std::string::npos) {
            ++resolved_;
            std::error_code error;
            const auto real = std::filesystem::weakly_canonical(path, error);
            if (!error && real.string() != path) {
                facts_.paths.push_back({real.string(), writes, secretKind(real.string(), facts_.home)});
            }
        }
        const auto secret = secretKind(path, facts_.home);
        facts_.paths.push_back({std::move(path), writes, secret});
    }

    // "/proc/self/root/x" is "/x" and "/proc/self/cwd/x" is "x" in the working folder, for any
    // process: the kernel's view of a process's folders reaches the same files.
    std::string throughProc(std::string_view text) const {
        if (text.substr(0, 6) != "/proc/") return std::string(text);
        const auto slash = text.find('/', 6);
        if (slash == std::string_view::npos) return std::string(text);
        const auto rest = text.substr(slash + 1);
        for (std::string_view link : {"root", "cwd"}) {
            if (rest.substr(0, link.size()) != link || (rest.size() > link.size() && rest[link.size()] != '/' && rest[link.size()] != '$')) {
                continue;
            }
            const auto after = rest.substr(link.size());
            if (link == "root") return after.empty() ? std::string("/") : std::string(after);
            return (cwd_.empty() ? std::string(".") : cwd_) + std::string(after);
        }
        return std::string(text);
    }

    // A bare name that is a link in the working folder counts as a path: "cat notes.txt" may
    // read a key the link points at.
    bool isLinkHere(std::string_view name) {
        if (cwd_.empty() || resolved_ >= maxResolved || name.find_first_of("*?[$`") != std::string_view::npos) return false;
        ++resolved_;
        std::error_code error;
        return std::filesystem::is_symlink(std::filesystem::path(cwd_) / name, error);
    }

    void addUrl(std::string_view text) {
        facts_.urls.emplace_back(text);
        addHost(urlHost(text));
        if (text.substr(0, 7) == "file://") addPath(text.substr(7), false);
    }

    void addHost(std::string_view host) {
        if (!host.empty()) facts_.hosts.push_back(asciiLower(host));
    }

private:
    // What a pipeline stage passes on to the next one.
    struct Feed {
        bool fed = false;                 // its input comes from an earlier stage
        bool fetched = false;             // an earlier stage downloads
        std::optional<std::string> text;  // the text it receives, when the line shows it
    };

    // The command a pipeline stage stands for when it is one command, bare or in a group.
    static const ArgvTree::Command* lone(const ArgvTree& tree) {
        if (const auto* command = std::get_if<ArgvTree::Command>(&tree.node)) return command;
        if (const auto* group = std::get_if<ArgvTree::Group>(&tree.node)) return lone(*group->body);
        return nullptr;
    }

    // The text a command writes out, when the line shows it: echo and printf arguments, the
    // here-document a cat passes on.
    static std::optional<std::string> feedText(const ArgvTree::Command& command, const CommandFacts& facts) {
        if (facts.program == "echo" || facts.program == "printf") {
            std::string text;
            for (const auto& arg : facts.args) {
                if (!text.empty() || arg.empty() || arg.front() != '-') text += (text.empty() ? "" : " ") + arg;
            }
            return text;
        }
        if (facts.program == "cat" || command.argv.empty()) return hereText(command);
        return std::nullopt;
    }

    static std::optional<std::string> hereText(const ArgvTree::Command& command) {
        for (const auto& redirect : command.redirects) {
            if ((redirect.op == RedirectOp::hereDoc || redirect.op == RedirectOp::hereString) && redirect.body) {
                return *redirect.body;
            }
        }
        return std::nullopt;
    }

    void rough(const std::string& raw) {
        facts_.unparsed = true;
        for (auto& words : roughCommands(raw)) {
            ArgvTree::Command command;
            command.argv = std::move(words);
            facts_.pipelines.push_back({commandFacts(command, maxNesting, Feed{})});
        }
    }

    // Replaces variables the line set earlier ("X=rm; $X -rf ~") and "${IFS}" separators, and
    // expands a brace list in command position, so the rules see what would run.
    std::vector<std::string> expandWords(const std::vector<std::string>& argv) const {
        std::vector<std::string> out;
        for (std::size_t i = 0; i < argv.size(); ++i) {
            bool split = false;
            auto word = substituteVariables(argv[i], split);
            auto words = split ? splitBlanks(word) : std::vector<std::string>{word};
            if (i == 0 && !words.empty()) {
                if (const auto alias = aliases_.find(words.front()); alias != aliases_.end()) {
                    auto replaced = splitBlanks(alias->second);
                    words.erase(words.begin());
                    words.insert(words.begin(), replaced.begin(), replaced.end());
                }
                if (words.empty()) continue;
                auto expanded = braceExpansion(words.front());
                words.erase(words.begin());
                words.insert(words.begin(), expanded.begin(), expanded.end());
            }
            std::move(words.begin(), words.end(), std::back_inserter(out));
        }
        return out;
    }

    // The end of a substitution opened before `from`: the matching ")" or back quote.
    static std::size_t closing(const std::string& word, std::size_t from, char close) {
        int depth = 0;
        for (auto i = from; i < word.size(); ++i) {
            const char c = word[i];
            if (c == '\'' || c == '"') {
                const auto end = word.find(c, i + 1);
                if (end == std::string::npos) return std::string::npos;
                i = end;
            } else if (c == close && depth == 0) {
                return i;
            } else if (close == ')' && c == '(') {
                ++depth;
            } else if (close == ')' && c == ')') {
                --depth;
            }
        }
        return std::string::npos;
    }

    // "$(echo WORDS)", "$(echo hss. | rev)" and "$(printf '\x2essh')" stand for the text they
    // print.
    static std::string substituteTexts(std::string word, bool& split) {
        for (const auto& [open, close] : {std::pair<std::string_view, char>{"$(", ')'}, {"`", '`'}}) {
            for (auto at = word.find(open); at != std::string::npos; at = word.find(open, at)) {
                const auto end = closing(word, at + open.size(), close);
                if (end == std::string::npos) break;
                const auto text = evaluateText(std::string_view(word).substr(at + open.size(), end - at - open.size()));
                if (!text) {
                    at = end;
                    continue;
                }
                word.replace(at, end + 1 - at, *text);
                split = true;
                at += text->size();
            }
        }
        return word;
    }

    std::string substituteVariables(const std::string& original, bool& split) const {
        if (original.find_first_of("$`") == std::string::npos) return original;
        const auto word = substituteTexts(original, split);
        if (word.find('$') == std::string::npos) return word;
        std::string out;
        for (std::size_t i = 0; i < word.size(); ++i) {
            if (word[i] != '$' || i + 1 >= word.size()) {
                out += word[i];
                continue;
            }
            std::size_t end = i + 1;
            std::string name;
            if (word[end] == '{') {
                const auto close = word.find('}', end);
                if (close == std::string::npos) {
                    out += word[i];
                    continue;
                }
                name = word.substr(end + 1, close - end - 1);
                end = close + 1;
            } else {
                while (end < word.size() && (std::isalnum(static_cast<unsigned char>(word[end])) || word[end] == '_')) ++end;
                // "$@" and "$*" are the positional words "set --" gave.
                if (end == i + 1 && (word[end] == '@' || word[end] == '*')) ++end;
                name = word.substr(i + 1, end - i - 1);
            }
            // "${!x}" is the variable x names: "x=HOME; ${!x}" is "$HOME".
            if (name.size() > 1 && name.front() == '!' && name.find_first_of("@*") == std::string::npos) {
                const auto target = variables_.find(name.substr(1));
                if (target != variables_.end()) {
                    const auto value = variables_.find(target->second);
                    out += value != variables_.end() ? value->second : "${" + target->second + "}";
                    i = end - 1;
                    continue;
                }
            }
            if (name == "@[@]" || name == "@[*]") name = "@";
            const auto known = variables_.find(name);
            if (name == "IFS" || name.starts_with("IFS:") || name.starts_with("IFS%")) {
                out += ' ';
                split = true;
            } else if (known != variables_.end()) {
                out += known->second;
                split = true;
            } else {
                out.append(word, i, end - i);
            }
            i = end - 1;
        }
        return out;
    }

    // A call of a function the line defines runs its body with the call's arguments as "$1",
    // "$2", ... and "$@"; the body was already read as it stands, where they are unknown.
    void callFunction(const CommandFacts& command, int depth) {
        if (!functions_) functions_ = shellFunctions(facts_.raw);
        const auto found = functions_->find(command.program);
        if (found == functions_->end()) return;
        const auto saved = variables_;
        std::vector<std::string> positional{"@=" + joined(command.args, 0)};
        for (std::size_t i = 0; i < command.args.size() && i < 9; ++i) {
            positional.push_back(std::to_string(i + 1) + "=" + command.args[i]);
        }
        rememberAssignments(positional);
        walk(parseShell(found->second), depth);
        variables_ = saved;
    }

    // "declare -n r=HOME": later "$r" is "$HOME".
    void rememberNameReferences(const std::vector<std::string>& args) {
        for (const auto& arg : args) {
            const auto equals = arg.find('=');
            if (equals == std::string::npos || equals == 0 || variables_.size() >= 64) continue;
            variables_[arg.substr(0, equals)] = "${" + arg.substr(equals + 1) + "}";
        }
    }

    // "alias ll='rm -rf ~'": a later command "ll" runs that text.
    void rememberAliases(const std::vector<std::string>& args) {
        for (const auto& arg : args) {
            const auto equals = arg.find('=');
            if (equals == std::string::npos || equals == 0 || aliases_.size() >= 64) continue;
            aliases_[arg.substr(0, equals)] = arg.substr(equals + 1);
        }
    }

    // Plain assignments ("X=rm", "export X=rm") that later words of the line may use.
    void rememberAssignments(const std::vector<std::string>& assignments) {
        for (const auto& assignment : assignments) {
            const auto equals = assignment.find('=');
            if (equals == std::string::npos || equals == 0) continue;
            bool split = false;
            auto value = substituteVariables(assignment.substr(equals + 1), split);
            const auto name = assignment.substr(0, equals);
            if (value.find_first_of("$`") != std::string::npos) {
                variables_.erase(name);
            } else if (variables_.size() < 64 || variables_.count(name)) {
                variables_[name] = std::move(value);
            }
        }
    }

    CommandFacts commandFacts(const ArgvTree::Command& command, int depth, const Feed& feed) {
        CommandFacts out;
        out.wrappers = command.wrappers;
        out.env = command.env;
        out.redirects = command.redirects;
        out.cwd = cwd_;
        out.input = feed.text ? feed.text : hereText(command);
        auto words = expandWords(command.argv);
        // xargs hands what it reads to its command as more arguments.
        if (feed.text && std::find(command.wrappers.begin(), command.wrappers.end(), "xargs") != command.wrappers.end()) {
            auto extra = splitBlanks(*feed.text);
            if (extra.size() <= 256) std::move(extra.begin(), extra.end(), std::back_inserter(words));
        }
        // busybox and toybox run the applet their first operand names.
        while (words.size() > 1 && (baseName(words.front()) == "busybox" || baseName(words.front()) == "toybox") &&
               !words[1].empty() && words[1].front() != '-') {
            words.erase(words.begin());
        }
        if (!words.empty()) {
            out.computed = isComputedWord(words.front());
            out.program = std::string(baseName(words.front()));
            out.args.assign(words.begin() + 1, words.end());
        }
        const auto firstPath = facts_.paths.size();
        const auto firstPipeline = facts_.pipelines.size();
        for (const auto& substitution : command.substitutions) walk(substitution, depth);
        for (auto i = firstPipeline; i < facts_.pipelines.size(); ++i) {
            for (const auto& inner : facts_.pipelines[i]) out.substitutionPrograms.push_back(inner.program);
        }
        bool inputRedirected = false;
        for (const auto& redirect : command.redirects) {
            if (redirect.op == RedirectOp::hereDoc || redirect.op == RedirectOp::hereString) inputRedirected = true;
            if (redirect.op == RedirectOp::dup || redirect.op == RedirectOp::hereDoc ||
                redirect.op == RedirectOp::hereString) {
                continue;
            }
            if (redirect.op == RedirectOp::read && (!redirect.fd || *redirect.fd == 0)) inputRedirected = true;
            addPath(redirect.target, redirect.op != RedirectOp::read);
        }
        collectArguments(out);
        if (words.empty()) rememberAssignments(command.env);
        if (oneOf(out.program, {"export", "declare", "typeset", "readonly", "local"})) {
            if (out.hasFlag("", 'n')) {
                rememberNameReferences(out.args);
            } else {
                rememberAssignments(out.args);
            }
        }
        if (out.program == "alias") rememberAliases(out.args);
        if (out.program == "set" && !out.args.empty() && (out.args.front() == "--" || out.args.front() == "-")) {
            rememberAssignments({"@=" + joined(out.args, 1)});
        }
        // A loop variable stands for every word of its list.
        if (out.program == "for" && out.args.size() >= 3 && out.args[1] == "in") {
            std::string values;
            for (std::size_t i = 2; i < out.args.size(); ++i) values += (values.empty() ? "" : " ") + out.args[i];
            rememberAssignments({out.args[0] + "=" + values});
        }

        const bool fedByXargs = std::find(out.wrappers.begin(), out.wrappers.end(), "xargs") != out.wrappers.end();
        const bool interpreter = contains(shells, out.program) || isInterpreter(out.program);
        if (readsProgramFromStdin(out) && (feed.fed || inputRedirected)) out.runsFedText = true;
        // xargs hands a shell with a "-c" body of its own only arguments; the body is read below.
        if (fedByXargs && (interpreter || out.computed || out.program == "eval") && !hasShellBody(out)) out.runsFedText = true;
        if ((runsScripts(out) || isInterpreter(out.program)) && !out.args.empty() && out.args.front().substr(0, 2) == "<(" &&
            !isShellSetup(out.args.front().substr(2))) {
            out.runsFedText = true;
        }
        if (!words.empty()) checkWrittenFileRun(out, words.front());
        if (depth < maxNesting) {
            callFunction(out, depth + 1);
            nested(out, depth + 1);
            auto embedded = embeddedCommands(out);
            out.runsUnseenProgram = embedded.unseenProgram;
            for (const auto& line : embedded.lines) walk(parseShell(line), depth + 1);
            if (out.runsFedText && contains(shells, out.program)) {
                if (auto text = hereText(command)) walk(parseShell(*text), depth + 1);
                if (feed.text) walk(parseShell(*feed.text), depth + 1);
            }
            if (isInterpreter(out.program) || isAwk(out.program)) {
                auto code = inlineCode(out);
                if (out.runsFedText) {
                    if (auto text = hereText(command)) code.push_back(*text);
                    if (feed.text) code.push_back(*feed.text);
                }
                for (const auto& text : code) script(out, text, depth + 1);
            }
            if (out.program == "find") findExec(out, depth + 1);
        }
        rememberWrites(out, feed);
        rememberWrittenText(command, out);
        if (depth < maxNesting) runWrittenFiles(out, depth + 1);
        followDirectory(out);
        out.paths.assign(facts_.paths.begin() + static_cast<std::ptrdiff_t>(firstPath), facts_.paths.end());
        return out;
    }

    static bool oneOf(std::string_view value, std::initializer_list<std::string_view> names) {
        return std::find(names.begin(), names.end(), value) != names.end();
    }

    static bool hasShellBody(const CommandFacts& command) {
        if (!contains(shells, command.program)) return false;
        return std::any_of(command.args.begin(), command.args.end(), [](const std::string& arg) {
            return arg.size() >= 2 && arg.front() == '-' && arg[1] != '-' && arg.find('c') != std::string::npos;
        });
    }

    static bool runsScripts(const CommandFacts& command) {
        return contains(shells, command.program) || command.program == "source" || command.program == ".";
    }

    // Interpreter code: the paths it names count, and the commands it hands to a shell are
    // parsed as shell lines.
    void script(CommandFacts& command, const std::string& original, int depth) {
        const auto code = withHomeSpelled(original);
        for (const auto& line : deletionsAsShell(code)) walk(parseShell(line), depth);
        // Code that is itself computed ("python3 -c "$(curl ...)"") could do anything.
        if (codeUnreadable(code)) command.scriptTouches = true;
        const bool writes = codeWrites(code);
        const auto literals = stringLiterals(code);
        for (const auto& literal : literals) {
            if (looksLikePath(literal) && literal.find(' ') == std::string::npos) addPath(literal, writes);
        }
        if (!codeRunsPrograms(code)) return;
        // The words given to a program in turn ("spawnSync('rm', ['-rf', p])") form its line; the
        // names of the modules that run it are not part of it.
        std::string joined;
        std::size_t words = 0;
        for (const auto& literal : literals) {
            walk(parseShell(literal), depth);
            if (isModuleName(literal)) continue;
            joined += (joined.empty() ? "" : " ") + literal;
            ++words;
        }
        if (words > 1) walk(parseShell(joined), depth);
    }

    // find's -exec, -execdir, -ok and -okdir run a command for each file found; "{}" stands for
    // a file below the first starting point.
    void findExec(const CommandFacts& command, int depth) {
        std::string start = ".";
        for (const auto& arg : command.args) {
            if (arg.empty() || arg.front() == '-' || arg == "(" || arg == "!") break;
            start = arg;
            break;
        }
        const auto& args = command.args;
        for (std::size_t i = 0; i < args.size(); ++i) {
            if (!oneOf(args[i], {"-exec", "-execdir", "-ok", "-okdir"})) continue;
            ArgvTree::Command inner;
            for (++i; i < args.size() && args[i] != ";" && args[i] != "+"; ++i) {
                auto word = args[i];
                for (auto at = word.find("{}"); at != std::string::npos; at = word.find("{}", at + start.size() + 3)) {
                    word.replace(at, 2, start + "/{}");
                }
                inner.argv.push_back(std::move(word));
            }
            if (inner.argv.empty()) continue;
            unwrapWrappers(inner);
            if (inner.argv.empty()) continue;
            auto facts = commandFacts(inner, depth, Feed{});
            if (inner.argv.front().find("{}") != std::string::npos) facts.computed = true;
            facts_.pipelines.push_back({std::move(facts)});
        }
    }

    // The text a command writes into a file, when the line shows it, so that a tool that runs
    // that file later in the line (npm with a package.json, make with a Makefile) is judged by it.
    void rememberWrittenText(const ArgvTree::Command& command, const CommandFacts& facts) {
        if (writtenText_.size() >= 64) return;
        auto text = feedText(command, facts);
        if (!text) return;
        if (facts.program == "printf" || (facts.program == "echo" && facts.hasFlag("", 'e'))) text = unescapePrintf(*text);
        for (const auto& redirect : command.redirects) {
            if (redirect.op != RedirectOp::write && redirect.op != RedirectOp::append) continue;
            auto& stored = writtenText_[absolutePath(redirect.target, facts_.home, cwd_)];
            stored = redirect.op == RedirectOp::append ? stored + *text : *text;
            if (stored.size() > 65536) stored.resize(65536);
        }
    }

    void runWrittenFiles(const CommandFacts& command, int depth) {
        if (writtenText_.empty() || cwd_.empty()) return;
        for (const auto& name : filesRunBy(command)) {
            const auto path = absolutePath(name, facts_.home, cwd_);
            for (const auto& [written, text] : writtenText_) {
                const bool folder = name.ends_with("/");
                if (folder ? !isUnder(written, path.substr(0, path.size())) : written != path) continue;
                for (const auto& line : linesOfRunFile(baseName(written), text)) walk(parseShell(line), depth);
            }
        }
    }

    // Files this command writes, so that running one later in the line is noticed.
    void rememberWrites(const CommandFacts& command, const Feed& feed) {
        const bool fetches = feed.fetched || fetchesFromNetwork(command.program);
        const auto remember = [&](std::string_view path) {
            if (path.empty() || path == "-" || written_.size() >= 256) return;
            auto& fetched = written_[absolutePath(path, facts_.home, cwd_)];
            fetched = fetched || fetches;
        };
        for (const auto& redirect : command.redirects) {
            if (redirect.op == RedirectOp::write || redirect.op == RedirectOp::append) remember(redirect.target);
        }
        const auto urlNames = [&] {
            for (const auto& arg : command.args) {
                if (arg.find("://") == std::string::npos) continue;
                auto path = urlPath(arg);
                if (!path.empty()) remember(baseName(path));
            }
        };
        if (command.program == "curl") {
            for (auto value : command.optionValues("output", 'o')) remember(value);
            if (command.hasFlag("remote-name", 'O') || command.hasFlag("remote-name-all", 0)) urlNames();
        }
        if (command.program == "wget") {
            const auto named = command.optionValues("output-document", 'O');
            for (auto value : named) remember(value);
            if (named.empty()) urlNames();
        }
        if (command.program == "tee") {
            for (auto operand : command.operands()) remember(operand);
        }
        if (contains(copyingPrograms, command.program) || command.program == "mv") {
            const auto operands = command.operands();
            if (operands.size() >= 2) remember(operands.back());
        }
    }

    void checkWrittenFileRun(CommandFacts& command, std::string_view programWord) {
        if (written_.empty()) return;
        const auto check = [&](std::string_view path) {
            const auto found = written_.find(absolutePath(path, facts_.home, cwd_));
            if (found == written_.end()) return;
            command.runsWrittenFile = true;
            command.runsFetchedFile = command.runsFetchedFile || found->second;
        };
        if (programWord.find('/') != std::string_view::npos) check(programWord);
        if (runsScripts(command) || isInterpreter(command.program)) {
            const auto operands = command.operands();
            if (!operands.empty()) check(operands.front());
        }
    }

    // "cd DIR" changes the folder the rest of the line works in.
    void followDirectory(const CommandFacts& command) {
        if (command.program == "popd") {
            cwd_.clear();
            return;
        }
        if (command.program != "cd" && command.program != "pushd") return;
        const auto operands = command.operands();
        if (operands.empty()) {
            cwd_ = facts_.home;
            return;
        }
        const auto target = operands.front();
        if (target == "-" || target.find_first_of("`*?[") != std::string_view::npos ||
            (target.find('$') != std::string_view::npos && target.substr(0, 5) != "$HOME" && target.substr(0, 7) != "${HOME}")) {
            cwd_.clear();
            return;
        }
        auto next = absolutePath(target, facts_.home, cwd_);
        cwd_ = !next.empty() && next.front() == '/' ? std::move(next) : std::string();
    }

    void collectArguments(const CommandFacts& command) {
        const bool findDeletes = command.program == "find" &&
                                 std::any_of(command.args.begin(), command.args.end(), [](const std::string& a) {
                                     return a == "-delete" || a == "-exec" || a == "-execdir";
                                 });
        const bool changes = contains(changingPrograms, command.program) || findDeletes ||
                             (command.program == "sed" && command.hasFlag("in-place", 'i')) ||
                             (command.program == "perl" && command.hasFlag("in-place", 'i'));
        const bool copies = contains(copyingPrograms, command.program);
        const bool network = contains(networkPrograms, command.program);
        std::size_t lastOperand = command.args.size();
        for (std::size_t i = 0; i < command.args.size(); ++i) {
            if (!command.args[i].empty() && command.args[i].front() != '-') lastOperand = i;
        }
        for (std::size_t i = 0; i < command.args.size(); ++i) {
            std::string_view arg = command.args[i];
            if (i > 0 && (command.args[i - 1] == "-i" || command.args[i - 1] == "-F") && contains(sshFamily, command.program)) {
                continue;
            }
            if (arg.find("://") != std::string_view::npos) {
                const auto start = arg.find_first_not_of("'\"@=");
                if (start != std::string_view::npos) addUrl(arg.substr(start));
                continue;
            }
            bool writes = changes && (!copies || i == lastOperand);
            if (command.program == "dd" && arg.substr(0, 3) == "if=") writes = false;
            // "--file=x", "of=x" and curl's "@x" carry a path after their marker.
            if (const auto equals = arg.find('='); equals != std::string_view::npos && arg.front() != '/') {
                arg = arg.substr(equals + 1);
            }
            if (!arg.empty() && arg.front() == '@') arg.remove_prefix(1);
            if (arg.empty() || arg.front() == '-') continue;
            // scp and rsync name remote places as host:path.
            if (const auto colon = arg.find(':'); network && colon != std::string_view::npos && colon > 0 &&
                                                  arg.find('/') > colon) {
                auto host = arg.substr(0, colon);
                if (const auto at = host.find('@'); at != std::string_view::npos) host.remove_prefix(at + 1);
                addHost(host);
                continue;
            }
            // After a "cd" out of the project, bare names are files in that other folder.
            if (looksLikePath(arg) || (cwd_ != facts_.cwd && !isUnder(cwd_, facts_.cwd)) || isLinkHere(arg)) {
                addPath(arg, writes);
            } else if (network && looksLikeHost(arg)) {
                auto host = arg;
                if (const auto at = host.find('@'); at != std::string_view::npos) host.remove_prefix(at + 1);
                addHost(host.substr(0, host.find(':')));
            }
        }
    }

    // `sh -c BODY`, `su -c BODY`, `watch BODY` and `eval WORDS` run a line of their own: its
    // commands count too.
    void nested(const CommandFacts& command, int depth) {
        if (contains(shells, command.program) || command.program == "su" || command.program == "runuser") {
            for (std::size_t i = 0; i + 1 < command.args.size(); ++i) {
                const auto& arg = command.args[i];
                if ((arg.size() >= 2 && arg.front() == '-' && arg.find('c') != std::string::npos && arg[1] != '-') ||
                    arg == "--command") {
                    walk(parseShell(command.args[i + 1]), depth);
                    return;
                }
            }
        }
        if (command.program == "eval" && !command.args.empty()) {
            // `eval "$(ssh-agent -s)"` sets up the shell the usual way.
            const bool setup = (!command.substitutionPrograms.empty() &&
                                std::all_of(command.substitutionPrograms.begin(), command.substitutionPrograms.end(),
                                            [](const std::string& p) { return contains(shellSetupPrograms, p); })) ||
                               (command.args.size() == 1 && command.args.front().starts_with("$(") &&
                                isShellSetup(std::string_view(command.args.front()).substr(2)));
            if (setup) return;
            std::string line;
            for (const auto& arg : command.args) line += (line.empty() ? "" : " ") + arg;
            walk(parseShell(line), depth);
        }
    }

    ActionFacts& facts_;
    std::string cwd_;
    std::map<std::string, std::string> variables_;
    std::map<std::string, std::string> aliases_;
    std::optional<std::map<std::string, std::string>> functions_;  // read from the line when first needed
    std::map<std::string, bool> written_;
    std::map<std::string, std::string> writtenText_;
    std::size_t resolved_ = 0;
};

// Every string anywhere in the arguments is looked at: a URL, a path under a path-like key, or
// any text that starts like an absolute or home path.
void collectMcpArguments(const nlohmann::json& value, Collector& collector, bool writes, int depth,
                         std::string_view key) {
    if (depth > json_form::maxDepth) return;
    static constexpr std::array<std::string_view, 11> pathKeys{
        "path", "file_path", "filepath", "filename", "file", "directory", "dir", "source", "destination", "paths",
        "target"};
    if (value.is_array()) {
        for (const auto& element : value) collectMcpArguments(element, collector, writes, depth + 1, key);
        return;
    }
    if (value.is_object()) {
        for (const auto& [name, member] : value.items()) collectMcpArguments(member, collector, writes, depth + 1, name);
        return;
    }
    if (!value.is_string()) return;
    const auto& text = value.get_ref<const std::string&>();
    const auto lower = asciiLower(key);
    if (lower == "url" || lower == "uri" || text.find("://") != std::string::npos) {
        collector.addUrl(text);
    } else if (contains(pathKeys, lower) || (!text.empty() && (text.front() == '/' || text.front() == '~')) ||
               text.starts_with("$HOME")) {
        collector.addPath(text, writes);
    }
}

// Tool arguments that hold a command: a line under a command-like key, or an argv.
void mcpCommandLines(const nlohmann::json& value, int depth, std::vector<std::string>& lines) {
    if (depth > json_form::maxDepth || !value.is_object()) return;
    static constexpr std::array<std::string_view, 12> lineKeys{"command", "cmd", "commandline", "command_line", "script",
                                                               "shell", "bash", "sh", "keys", "text_to_run", "run",
                                                               "exec"};
    const auto words = [](const nlohmann::json& array) {
        std::string line;
        for (const auto& word : array) {
            if (word.is_string()) line += (line.empty() ? "" : " ") + shellQuoted(word.get_ref<const std::string&>());
        }
        return line;
    };
    std::string program;
    for (const auto& [name, member] : value.items()) {
        const auto key = asciiLower(name);
        if (member.is_object()) mcpCommandLines(member, depth + 1, lines);
        if (member.is_string() && contains(lineKeys, key)) program = member.get<std::string>();
        if (member.is_array() && (key == "argv" || contains(lineKeys, key))) lines.push_back(words(member));
    }
    if (program.empty()) return;
    // {"command": "bash", "args": ["-c", "..."]} runs the program with those arguments.
    for (std::string_view key : {"args", "arguments", "argv"}) {
        const auto found = value.find(std::string(key));
        if (found != value.end() && found->is_array()) {
            lines.push_back(shellQuoted(program) + " " + words(*found));
            return;
        }
    }
    lines.push_back(program);
}

bool toolChanges(std::string_view tool) {
    const auto lower = asciiLower(tool);
    for (std::string_view verb : {"write", "edit", "delete", "remove", "move", "create", "update", "rename", "copy"}) {
        if (lower.find(verb) != std::string::npos) return true;
    }
    return false;
}

}  // namespace

std::vector<const CommandFacts*> ActionFacts::commands() const {
    std::vector<const CommandFacts*> out;
    for (const auto& pipeline : pipelines) {
        for (const auto& command : pipeline) out.push_back(&command);
    }
    return out;
}

std::string urlHost(std::string_view url) {
    const auto scheme = url.find("://");
    if (scheme == std::string_view::npos) return {};
    auto rest = url.substr(scheme + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (const auto at = rest.rfind('@'); at != std::string_view::npos) rest.remove_prefix(at + 1);
    if (!rest.empty() && rest.front() == '[') {
        rest = rest.substr(1, rest.find(']') - 1);
    } else {
        rest = rest.substr(0, rest.find(':'));
    }
    return asciiLower(rest);
}

ActionFacts factsOf(const Action& action, const std::string& home) {
    ActionFacts facts;
    facts.kind = actionKindName(action.kind);
    facts.home = home;
    facts.cwd = action.context.cwd;
    Collector collector(facts);
    std::visit(Overloaded{
                   [&](const ShellAction& shell) {
                       if (!shell.cwd.empty()) facts.cwd = shell.cwd;
                       facts.raw = shell.raw;
                       facts.obfuscation = shell.obfuscation;
                       // The agent's own tree is not trusted: the line is parsed here again.
                       if (!shell.raw.empty()) {
                           const auto tree = parseShell(shell.raw);
                           collector.walk(tree, 0);
                           for (auto flag : obfuscationFlags(shell.raw, tree)) {
                               if (!std::count(facts.obfuscation.begin(), facts.obfuscation.end(), flag)) {
                                   facts.obfuscation.push_back(flag);
                               }
                           }
                       } else {
                           collector.walk(shell.argvTree, 0);
                       }
                   },
                   [&](const FileReadAction& file) {
                       facts.raw = file.path;
                       collector.addPath(file.path, false);
                   },
                   [&](const FileWriteAction& file) {
                       facts.raw = file.path;
                       collector.addPath(file.path, true);
                   },
                   [&](const FileDeleteAction& file) {
                       facts.raw = file.path;
                       collector.addPath(file.path, true);
                   },
                   [&](const NetworkAction& network) {
                       if (network.url) {
                           facts.raw = *network.url;
                           collector.addUrl(*network.url);
                       }
                       if (network.host) {
                           if (facts.raw.empty()) facts.raw = *network.host;
                           collector.addHost(*network.host);
                       }
                       if (network.bodySource) {
                           if (const auto* file = std::get_if<BodySource::File>(&network.bodySource->source)) {
                               collector.addPath(file->path, false);
                           }
                       }
                   },
                   [&](const McpToolCallAction& call) {
                       facts.mcpServer = call.server;
                       facts.mcpTool = call.tool;
                       facts.mcpArgs = json_form::toJson(call.argsJson);
                       // Arguments that are not UTF-8 are read with the bad bytes replaced, not thrown on.
                       facts.raw = call.server + " " + call.tool + " " +
                                   facts.mcpArgs.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
                       collectMcpArguments(facts.mcpArgs, collector, toolChanges(call.tool), 0, "");
                       std::vector<std::string> lines;
                       mcpCommandLines(facts.mcpArgs, 0, lines);
                       for (const auto& line : lines) collector.walk(parseShell(line), 0);
                   },
               },
               action.kind);
    return facts;
}

}  // namespace vardex::engine
