#include "core/action_facts.hpp"

#include <algorithm>
#include <array>

#include "core/path_match.hpp"
#include "core/shell_parser.hpp"
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
constexpr std::array<std::string_view, 17> changingPrograms{
    "rm", "rmdir", "mv", "cp", "tee", "truncate", "shred", "chmod", "chown", "ln",
    "install", "touch", "unlink", "rsync", "dd", "mkdir", "srm"};
constexpr std::array<std::string_view, 15> networkPrograms{
    "curl", "wget", "ssh", "scp", "sftp", "rsync", "nc", "ncat", "netcat", "socat", "telnet", "ftp", "http",
    "https", "xh"};

// Programs that use a private key given with "-i" rather than read it out.
constexpr std::array<std::string_view, 5> sshFamily{"ssh", "scp", "sftp", "ssh-add", "ssh-copy-id"};

bool contains(const auto& set, std::string_view value) {
    return std::find(set.begin(), set.end(), value) != set.end();
}

// A nested shell body is parsed again; past this depth the body is left as it stands.
constexpr int maxNesting = 8;

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

class Collector {
public:
    explicit Collector(ActionFacts& facts) : facts_(facts) {}

    void walk(const ArgvTree& tree, int depth) {
        std::visit(Overloaded{
                       [&](const ArgvTree::Command& command) { facts_.pipelines.push_back({commandFacts(command, depth)}); },
                       [&](const ArgvTree::Pipeline& pipeline) {
                           std::vector<CommandFacts> stages;
                           for (const auto& stage : pipeline.commands) {
                               if (const auto* command = lone(stage)) {
                                   stages.push_back(commandFacts(*command, depth));
                               } else {
                                   walk(stage, depth);
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
        facts_.paths.push_back({absolutePath(text, facts_.home, facts_.cwd), writes});
    }

    void addUrl(std::string_view text) {
        facts_.urls.emplace_back(text);
        addHost(urlHost(text));
    }

    void addHost(std::string_view host) {
        if (!host.empty()) facts_.hosts.push_back(asciiLower(host));
    }

private:
    // The command a pipeline stage stands for when it is one command, bare or in a group.
    static const ArgvTree::Command* lone(const ArgvTree& tree) {
        if (const auto* command = std::get_if<ArgvTree::Command>(&tree.node)) return command;
        if (const auto* group = std::get_if<ArgvTree::Group>(&tree.node)) return lone(*group->body);
        return nullptr;
    }

    void rough(const std::string& raw) {
        facts_.unparsed = true;
        for (auto& words : roughCommands(raw)) {
            ArgvTree::Command command;
            command.argv = std::move(words);
            facts_.pipelines.push_back({commandFacts(command, maxNesting)});
        }
    }

    CommandFacts commandFacts(const ArgvTree::Command& command, int depth) {
        CommandFacts out;
        out.wrappers = command.wrappers;
        out.env = command.env;
        out.redirects = command.redirects;
        if (!command.argv.empty()) {
            out.program = std::string(baseName(command.argv.front()));
            out.args.assign(command.argv.begin() + 1, command.argv.end());
        }
        const auto firstPath = facts_.paths.size();
        const auto firstPipeline = facts_.pipelines.size();
        for (const auto& substitution : command.substitutions) walk(substitution, depth);
        for (auto i = firstPipeline; i < facts_.pipelines.size(); ++i) {
            for (const auto& inner : facts_.pipelines[i]) out.substitutionPrograms.push_back(inner.program);
        }
        for (const auto& redirect : command.redirects) {
            if (redirect.op == RedirectOp::dup || redirect.op == RedirectOp::hereDoc ||
                redirect.op == RedirectOp::hereString) {
                continue;
            }
            addPath(redirect.target, redirect.op != RedirectOp::read);
        }
        collectArguments(out);
        if (depth < maxNesting) nested(out, depth + 1);
        out.paths.assign(facts_.paths.begin() + static_cast<std::ptrdiff_t>(firstPath), facts_.paths.end());
        return out;
    }

    void collectArguments(const CommandFacts& command) {
        const bool changes = contains(changingPrograms, command.program) ||
                             (command.program == "sed" && command.hasFlag("in-place", 'i'));
        const bool network = contains(networkPrograms, command.program);
        for (std::size_t i = 0; i < command.args.size(); ++i) {
            std::string_view arg = command.args[i];
            if (i > 0 && command.args[i - 1] == "-i" && contains(sshFamily, command.program)) continue;
            if (arg.find("://") != std::string_view::npos) {
                addUrl(arg.substr(arg.find_first_not_of("'\"@=")));
                continue;
            }
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
            if (looksLikePath(arg)) {
                addPath(arg, changes);
            } else if (network && looksLikeHost(arg)) {
                auto host = arg;
                if (const auto at = host.find('@'); at != std::string_view::npos) host.remove_prefix(at + 1);
                addHost(host.substr(0, host.find(':')));
            }
        }
    }

    // `sh -c BODY` and `eval WORDS` run a line of their own: its commands count too.
    void nested(const CommandFacts& command, int depth) {
        if (contains(shells, command.program)) {
            for (std::size_t i = 0; i + 1 < command.args.size(); ++i) {
                const auto& arg = command.args[i];
                if (arg.size() >= 2 && arg.front() == '-' && arg.find('c') != std::string::npos && arg[1] != '-') {
                    walk(parseShell(command.args[i + 1]), depth);
                    return;
                }
            }
        }
        if (command.program == "eval" && !command.args.empty()) {
            std::string line;
            for (const auto& arg : command.args) line += (line.empty() ? "" : " ") + arg;
            walk(parseShell(line), depth);
        }
    }

    ActionFacts& facts_;
};

void collectMcpArguments(const nlohmann::json& value, Collector& collector, bool writes, int depth) {
    if (depth > json_form::maxDepth) return;
    if (value.is_array()) {
        for (const auto& element : value) collectMcpArguments(element, collector, writes, depth + 1);
        return;
    }
    if (!value.is_object()) return;
    static constexpr std::array<std::string_view, 7> pathKeys{"path",      "file_path", "filepath", "filename",
                                                              "file",      "directory", "dir"};
    for (const auto& [key, member] : value.items()) {
        if (member.is_string()) {
            const auto& text = member.get_ref<const std::string&>();
            const auto lower = asciiLower(key);
            if (lower == "url" || lower == "uri" || text.find("://") != std::string::npos) {
                collector.addUrl(text);
            } else if (contains(pathKeys, lower)) {
                collector.addPath(text, writes);
            }
        } else {
            collectMcpArguments(member, collector, writes, depth + 1);
        }
    }
}

bool toolChanges(std::string_view tool) {
    const auto lower = asciiLower(tool);
    for (std::string_view verb : {"write", "edit", "delete", "remove", "move", "create", "update", "rename"}) {
        if (lower.find(verb) != std::string::npos) return true;
    }
    return false;
}

}  // namespace

bool CommandFacts::hasFlag(std::string_view longFlag, char shortFlag) const {
    for (const auto& arg : args) {
        if (arg == "--") return false;
        if (arg.size() > 2 && arg[0] == '-' && arg[1] == '-') {
            if (std::string_view(arg).substr(2, longFlag.size()) == longFlag &&
                (arg.size() == 2 + longFlag.size() || arg[2 + longFlag.size()] == '=')) {
                return true;
            }
        } else if (arg.size() > 1 && arg[0] == '-' && arg.find(shortFlag, 1) != std::string::npos) {
            return true;
        }
    }
    return false;
}

std::vector<std::string_view> CommandFacts::optionValues(std::string_view longFlag, char shortFlag) const {
    std::vector<std::string_view> out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (arg == "--") break;
        const bool hasNext = i + 1 < args.size();
        if (arg.size() > 2 && arg.substr(0, 2) == "--") {
            const auto name = arg.substr(2);
            if (name == longFlag && hasNext) {
                out.push_back(args[++i]);
            } else if (name.substr(0, longFlag.size()) == longFlag && name.size() > longFlag.size() &&
                       name[longFlag.size()] == '=') {
                out.push_back(name.substr(longFlag.size() + 1));
            }
        } else if (shortFlag != 0 && arg.size() >= 2 && arg[0] == '-' && arg[1] == shortFlag) {
            if (arg.size() > 2) {
                out.push_back(arg.substr(2));
            } else if (hasNext) {
                out.push_back(args[++i]);
            }
        }
    }
    return out;
}

std::vector<std::string_view> CommandFacts::operands() const {
    std::vector<std::string_view> out;
    bool afterDashes = false;
    for (const auto& arg : args) {
        if (!afterDashes && arg == "--") {
            afterDashes = true;
        } else if (afterDashes || arg.empty() || arg.front() != '-') {
            out.push_back(arg);
        }
    }
    return out;
}

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
                           collector.walk(parseShell(shell.raw), 0);
                           for (auto flag : obfuscationFlags(shell.raw)) {
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
                       facts.raw = call.server + " " + call.tool + " " + facts.mcpArgs.dump();
                       collectMcpArguments(facts.mcpArgs, collector, toolChanges(call.tool), 0);
                   },
               },
               action.kind);
    return facts;
}

}  // namespace vardex::engine
