#include "core/builtin_rules.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <functional>

#include "bridge/vardex_paths.hpp"
#include "core/action_facts.hpp"
#include "core/path_match.hpp"

namespace vardex::engine {
namespace {

using Names = std::initializer_list<std::string_view>;

bool oneOf(std::string_view value, Names names) {
    return std::find(names.begin(), names.end(), value) != names.end();
}

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }
bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

const Names shellPrograms{"sh", "bash", "zsh", "dash", "ksh", "fish", "ash"};
const Names fetchPrograms{"curl", "wget", "fetch", "http", "https", "xh", "aria2c"};
const Names sendingPrograms{"curl", "wget", "nc", "ncat", "netcat", "socat", "scp", "rsync", "sftp", "ftp",
                            "http", "https", "xh", "rclone", "aws", "gsutil"};
const Names rawSocketPrograms{"nc", "ncat", "netcat", "socat", "telnet"};
const Names privilegePrograms{"sudo", "doas", "su", "pkexec", "run0"};

using PathTest = std::function<bool(const std::string&)>;

// True when a path the action names passes the test. Commands of the listed programs are
// passed over: they use such files for what they are meant for.
bool anyPath(const ActionFacts& facts, const PathTest& test, Names skipped = {}) {
    if (facts.kind != "shell") {
        return std::any_of(facts.paths.begin(), facts.paths.end(), [&](const PathUse& use) { return test(use.path); });
    }
    for (const auto* command : facts.commands()) {
        if (oneOf(command->program, skipped)) continue;
        for (const auto& use : command->paths) {
            if (test(use.path)) return true;
        }
    }
    return false;
}

bool anyWrite(const ActionFacts& facts, const PathTest& test) {
    return std::any_of(facts.paths.begin(), facts.paths.end(),
                       [&](const PathUse& use) { return use.writes && test(use.path); });
}

bool anyCommand(const ActionFacts& facts, const std::function<bool(const CommandFacts&)>& test) {
    for (const auto& pipeline : facts.pipelines) {
        for (const auto& command : pipeline) {
            if (test(command)) return true;
        }
    }
    return false;
}

// True when some pipeline runs a stage passing `first` before a later stage passing `then`.
bool anyPipeOrder(const ActionFacts& facts, const std::function<bool(const CommandFacts&)>& first,
                  const std::function<bool(const CommandFacts&)>& then) {
    for (const auto& pipeline : facts.pipelines) {
        bool seen = false;
        for (const auto& command : pipeline) {
            if (seen && then(command)) return true;
            seen = seen || first(command);
        }
    }
    return false;
}

PathTest underAny(std::vector<std::string> folders) {
    return [folders = std::move(folders)](const std::string& path) {
        return std::any_of(folders.begin(), folders.end(), [&](const std::string& f) { return isUnder(path, f); });
    };
}

PathTest oneOfFiles(std::vector<std::string> files) {
    return [files = std::move(files)](const std::string& path) {
        return std::find(files.begin(), files.end(), path) != files.end();
    };
}

PathTest either(PathTest a, PathTest b) {
    return [a = std::move(a), b = std::move(b)](const std::string& path) { return a(path) || b(path); };
}

std::vector<std::string> inHome(const std::string& home, Names relative) {
    std::vector<std::string> out;
    for (auto r : relative) out.push_back(home + "/" + std::string(r));
    return out;
}

// Secret files, each test for the home folder it was made for.
PathTest sshKeyTest(const std::string& home) {
    return [sshDir = home + "/.ssh"](const std::string& path) {
        const auto name = baseName(path);
        if (isUnder(path, sshDir) && startsWith(name, "id_") && !endsWith(name, ".pub")) return true;
        return isUnder(path, "/etc/ssh") && startsWith(name, "ssh_host_") && endsWith(name, "_key");
    };
}

bool isDotenv(const std::string& path) {
    const auto name = baseName(path);
    if (name == ".env") return true;
    if (startsWith(name, ".env.")) {
        return !oneOf(name.substr(5), {"example", "sample", "template", "dist", "defaults", "schema"});
    }
    return endsWith(name, ".env") && name.size() > 4;
}

PathTest cloudTest(const std::string& home) {
    return either(oneOfFiles(inHome(home, {".aws/credentials", ".aws/config", ".kube/config"})),
                  underAny(inHome(home, {".config/gcloud", ".azure", ".oci"})));
}

PathTest packageTokenTest(const std::string& home) {
    return oneOfFiles(inHome(home, {".npmrc", ".pypirc", ".netrc", ".git-credentials", ".config/gh/hosts.yml",
                                    ".docker/config.json", ".cargo/credentials", ".cargo/credentials.toml",
                                    ".gem/credentials", ".config/hub", ".yarnrc.yml", ".composer/auth.json"}));
}

PathTest keychainTest(const std::string& home) {
    auto folders = inHome(home, {"Library/Keychains", ".local/share/keyrings", ".password-store",
                                 ".gnupg/private-keys-v1.d"});
    folders.push_back("/Library/Keychains");
    return underAny(std::move(folders));
}

PathTest browserTest(const std::string& home) {
    return underAny(inHome(home, {".mozilla", ".config/google-chrome", ".config/chromium", ".config/BraveSoftware",
                                  ".config/microsoft-edge", ".config/vivaldi", "snap/firefox",
                                  "Library/Application Support/Google/Chrome", "Library/Application Support/Firefox",
                                  "Library/Application Support/BraveSoftware", "Library/Cookies", "Library/Safari"}));
}

PathTest anySecretTest(const std::string& home) {
    return [ssh = sshKeyTest(home), cloud = cloudTest(home), tokens = packageTokenTest(home),
            keychain = keychainTest(home), browser = browserTest(home)](const std::string& path) {
        return ssh(path) || isDotenv(path) || cloud(path) || tokens(path) || keychain(path) || browser(path);
    };
}

// Secrets written straight into a command: well-known token shapes.
struct TokenShape {
    std::string_view prefix;
    std::size_t minimumTail;
    bool allowDash;
};
constexpr std::array<TokenShape, 13> tokenShapes{{
    {"AKIA", 16, false},
    {"ASIA", 16, false},
    {"ghp_", 30, false},
    {"gho_", 30, false},
    {"ghs_", 30, false},
    {"github_pat_", 22, false},
    {"glpat-", 20, true},
    {"sk-", 20, true},
    {"sk_live_", 20, false},
    {"rk_live_", 20, false},
    {"xoxb-", 10, true},
    {"xoxp-", 10, true},
    {"AIza", 35, true},
}};

bool isTokenChar(char c, bool allowDash) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || (allowDash && c == '-');
}

bool containsSecret(std::string_view text) {
    if (text.find("PRIVATE KEY-----") != std::string_view::npos) return true;
    for (const auto& shape : tokenShapes) {
        for (auto at = text.find(shape.prefix); at != std::string_view::npos; at = text.find(shape.prefix, at + 1)) {
            if (at > 0 && isTokenChar(text[at - 1], false)) continue;
            std::size_t tail = 0;
            for (auto i = at + shape.prefix.size(); i < text.size() && isTokenChar(text[i], shape.allowDash); ++i) {
                ++tail;
            }
            if (tail >= shape.minimumTail) return true;
        }
    }
    return false;
}

bool isRecursiveRemove(const CommandFacts& command) {
    return command.program == "rm" && (command.hasFlag("recursive", 'r') || command.hasFlag("recursive", 'R'));
}

bool decodes(const CommandFacts& command) {
    if (command.program == "base64" || command.program == "gbase64") {
        return command.hasFlag("decode", 'd') || command.hasFlag("decode", 'D');
    }
    if (command.program == "xxd") return command.hasFlag("revert", 'r');
    if (command.program == "openssl") {
        return std::any_of(command.args.begin(), command.args.end(), [](const auto& a) { return a == "-d"; });
    }
    return false;
}

bool runsShell(const CommandFacts& command) {
    return oneOf(command.program, shellPrograms) || command.program == "eval" || command.program == "source" ||
           command.program == ".";
}

bool sendsFile(const CommandFacts& command) {
    const auto fileValue = [](std::string_view value) {
        const auto at = value.find('@');
        return at != std::string_view::npos && at + 1 < value.size() && value.substr(at + 1) != "-";
    };
    if (command.program == "curl") {
        if (!command.optionValues("upload-file", 'T').empty()) return true;
        for (auto [longFlag, shortFlag] : std::initializer_list<std::pair<std::string_view, char>>{
                 {"form", 'F'}, {"data", 'd'}, {"data-binary", 0}, {"data-raw", 0}, {"data-urlencode", 0}}) {
            for (auto value : command.optionValues(longFlag, shortFlag)) {
                if (fileValue(value)) return true;
            }
        }
        return false;
    }
    if (command.program == "wget") {
        return !command.optionValues("post-file", 0).empty() || !command.optionValues("body-file", 0).empty();
    }
    const auto operands = command.operands();
    const auto isRemote = [](std::string_view operand) {
        const auto colon = operand.find(':');
        return colon != std::string_view::npos && colon > 0 && operand.find('/') > colon;
    };
    if (command.program == "scp" || command.program == "rsync") {
        return operands.size() >= 2 && isRemote(operands.back()) &&
               std::any_of(operands.begin(), operands.end() - 1, [&](auto op) { return !isRemote(op); });
    }
    if (command.program == "aws" || command.program == "gsutil") {
        return operands.size() >= 3 && oneOf(operands[1], {"cp", "mv", "sync"}) &&
               (startsWith(operands.back(), "s3://") || startsWith(operands.back(), "gs://"));
    }
    if (command.program == "rclone") {
        return operands.size() >= 3 && oneOf(operands[0], {"copy", "sync", "move", "copyto"}) &&
               isRemote(operands.back());
    }
    return false;
}

bool moneyTool(std::string_view tool) {
    std::vector<std::string> words;
    std::string word;
    for (char c : tool) {
        // camelCase splits too: "createPayment" is "create" and "payment".
        if (std::isupper(static_cast<unsigned char>(c)) && !word.empty()) words.push_back(std::move(word)), word.clear();
        if (std::isalnum(static_cast<unsigned char>(c))) {
            word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        } else if (!word.empty()) {
            words.push_back(std::move(word));
            word.clear();
        }
    }
    if (!word.empty()) words.push_back(std::move(word));
    const Names movingVerbs{"pay", "charge", "transfer", "refund", "payout", "purchase", "buy", "withdraw",
                            "checkout", "wire", "remit", "tip", "donate"};
    const Names moneyNouns{"payment", "payments", "charge", "charges", "transfer", "transfers", "payout", "payouts",
                           "money", "funds", "invoice", "order", "subscription"};
    const Names startingVerbs{"create", "send", "make", "execute", "submit", "initiate", "confirm", "capture",
                              "place", "finalize", "approve"};
    bool starting = false;
    for (const auto& w : words) {
        if (oneOf(w, movingVerbs)) return true;
        if (starting && oneOf(w, moneyNouns)) return true;
        starting = starting || oneOf(w, startingVerbs);
    }
    return false;
}

bool isDiskDevice(std::string_view path) {
    for (std::string_view prefix : {"/dev/sd", "/dev/nvme", "/dev/disk", "/dev/rdisk", "/dev/hd", "/dev/vd",
                                    "/dev/xvd", "/dev/mmcblk", "/dev/mapper/"}) {
        if (startsWith(path, prefix)) return true;
    }
    return false;
}

bool erasesDisk(const CommandFacts& command) {
    const auto& program = command.program;
    if (startsWith(program, "mkfs") || oneOf(program, {"wipefs", "fdisk", "sfdisk", "parted", "blkdiscard", "mkswap"})) {
        return true;
    }
    if (program == "diskutil") {
        return std::any_of(command.args.begin(), command.args.end(), [](const std::string& a) {
            return oneOf(asciiLower(a), {"erasedisk", "erasevolume", "partitiondisk", "zerodisk", "randomdisk",
                                         "secureerase", "reformat"});
        });
    }
    if (program == "dd") {
        return std::any_of(command.args.begin(), command.args.end(),
                           [](const std::string& a) { return startsWith(a, "of=") && isDiskDevice(a.substr(3)); });
    }
    if (program == "shred") {
        return std::any_of(command.args.begin(), command.args.end(), [](const std::string& a) { return isDiskDevice(a); });
    }
    return std::any_of(command.redirects.begin(), command.redirects.end(), [](const Redirect& r) {
        return r.op != RedirectOp::read && r.op != RedirectOp::dup && isDiskDevice(r.target);
    });
}

// The folder a deletion argument covers: "~/*" wipes what "~" holds.
std::string deletionTarget(std::string_view operand, const ActionFacts& facts) {
    for (;;) {
        if (endsWith(operand, "/.*")) {
            operand.remove_suffix(3);
        } else if (endsWith(operand, "/*")) {
            operand.remove_suffix(2);
        } else {
            break;
        }
    }
    if (operand == "*" || operand == ".*") operand = ".";
    if (operand.empty()) operand = "/";
    return absolutePath(operand, facts.home, facts.cwd);
}

bool isHomeOrRoot(const std::string& target, const std::string& home) {
    if (target == "/" || target == home) return true;
    // A top-level folder ("/usr", "/home", "/Users") is most of a disk.
    return target.size() > 1 && target.find('/', 1) == std::string::npos;
}

bool tampersWithService(const CommandFacts& command) {
    const auto names = [&](Names words) {
        return std::any_of(command.args.begin(), command.args.end(), [&](const std::string& a) {
            const auto lower = asciiLower(a);
            return std::any_of(words.begin(), words.end(),
                               [&](std::string_view w) { return lower.find(w) != std::string::npos; });
        });
    };
    const auto& program = command.program;
    if (program == "vardex") {
        return !command.args.empty() &&
               (command.args.front() == "uninstall" || command.hasFlag("off", 0) || command.hasFlag("disconnect", 0));
    }
    if (oneOf(program, {"pkill", "killall"})) return names({"vardex"});
    if (program == "systemctl") {
        return names({"vardex"}) && std::any_of(command.args.begin(), command.args.end(), [](const std::string& a) {
                   return oneOf(a, {"stop", "disable", "mask", "kill"});
               });
    }
    if (program == "launchctl") {
        return names({"vardex", "talvenor"}) && std::any_of(command.args.begin(), command.args.end(), [](const std::string& a) {
                   return oneOf(a, {"unload", "bootout", "remove", "disable", "kill", "stop"});
               });
    }
    return false;
}

// Places whose contents run at login or on a schedule.
PathTest persistenceTest(const std::string& home) {
    auto folders = inHome(home, {".config/autostart", "Library/LaunchAgents", ".config/systemd/user"});
    for (const char* folder : {"/Library/LaunchAgents", "/Library/LaunchDaemons", "/etc/systemd/system", "/etc/cron.d",
                               "/etc/cron.daily", "/etc/cron.hourly", "/etc/init.d", "/var/spool/cron"}) {
        folders.emplace_back(folder);
    }
    auto files = inHome(home, {".bashrc", ".bash_profile", ".bash_login", ".profile", ".zshrc", ".zprofile", ".zshenv",
                               ".zlogin", ".config/fish/config.fish"});
    files.emplace_back("/etc/crontab");
    files.emplace_back("/etc/rc.local");
    return either(underAny(std::move(folders)), oneOfFiles(std::move(files)));
}

bool persistsByCommand(const CommandFacts& command) {
    if (command.program == "crontab") {
        return !std::any_of(command.args.begin(), command.args.end(), [](const std::string& a) { return a == "-l"; });
    }
    const auto hasArg = [&](Names words) {
        return std::any_of(command.args.begin(), command.args.end(), [&](const std::string& a) { return oneOf(a, words); });
    };
    if (command.program == "systemctl") return hasArg({"enable", "link"});
    if (command.program == "launchctl") return hasArg({"load", "bootstrap", "enable", "submit"});
    if (command.program == "loginctl") return hasArg({"enable-linger"});
    if (command.program == "osascript") {
        return std::any_of(command.args.begin(), command.args.end(),
                           [](const std::string& a) { return a.find("login item") != std::string::npos; });
    }
    return false;
}

bool opensRawSocket(const ActionFacts& facts) {
    if (facts.raw.find("/dev/tcp/") != std::string::npos || facts.raw.find("/dev/udp/") != std::string::npos) {
        return true;
    }
    if (facts.kind == "shell" && facts.raw.find("socket.socket(") != std::string::npos) return true;
    return anyCommand(facts, [](const CommandFacts& c) { return oneOf(c.program, rawSocketPrograms); });
}

Rule rule(std::string id, std::string description, Severity severity, Outcome decision, std::string reasonUser,
          std::string instead, std::function<bool(const ActionFacts&)> matches) {
    Rule r;
    r.id = std::move(id);
    r.description = std::move(description);
    r.severity = severity;
    r.decision = decision;
    r.source = "built-in";
    r.reasonUser = std::move(reasonUser);
    r.reasonAgent = std::move(instead);
    r.matches = std::move(matches);
    return r;
}

}  // namespace

SelfPaths selfPaths(const std::string& home) {
    SelfPaths self;
    self.folders = {home + "/.config/talvenor", absolutePath(VardexPaths::auditDirectory().string(), home, ""),
                    absolutePath(VardexPaths::supportDirectory().string(), home, "")};
    self.files = inHome(home, {".claude/settings.json", ".cursor/hooks.json", ".codex/hooks.json"});
    return self;
}

std::vector<Rule> builtinRules(const std::string& home, const SelfPaths& self) {
    const auto secret = anySecretTest(home);
    const auto selfTest = either(underAny(self.folders), oneOfFiles(self.files));
    std::vector<Rule> rules;

    // Sending a secret away is the worse story than reading it, so it is listed (and decides) first.
    rules.push_back(rule(
        "exfil.secret_to_network", "Sending a secret file over the network", Severity::critical, Outcome::deny,
        "An AI app tried to send a secret file to another computer.",
        "Never send key or credential files over the network.", [secret](const ActionFacts& f) {
            if (f.kind == "network") return anyPath(f, secret);
            for (const auto& pipeline : f.pipelines) {
                bool sends = false;
                bool secretSeen = false;
                for (const auto& command : pipeline) {
                    sends = sends || oneOf(command.program, sendingPrograms);
                    secretSeen = secretSeen || std::any_of(command.paths.begin(), command.paths.end(),
                                                           [&](const PathUse& u) { return secret(u.path); });
                }
                if (sends && secretSeen) return true;
            }
            return false;
        }));
    rules.push_back(rule(
        "secrets.ssh_private_key", "Reading an SSH private key (~/.ssh/id_*, not the .pub half)", Severity::critical,
        Outcome::deny, "An AI app tried to read a private SSH key.",
        "Do not read private SSH keys. Use the public key (.pub) or ask the user to run the ssh step themselves.",
        [test = sshKeyTest(home)](const ActionFacts& f) {
            return anyPath(f, test, {"ssh", "ssh-add", "ssh-keygen", "ssh-copy-id"});
        }));
    rules.push_back(rule("secrets.dotenv", "Reading a .env secrets file", Severity::high, Outcome::ask,
                         "An AI app wants to read a .env file, which often holds passwords and API keys.",
                         "Prefer .env.example or ask the user for the one value you need.",
                         [](const ActionFacts& f) { return anyPath(f, isDotenv); }));
    rules.push_back(rule("secrets.cloud_credentials", "Reading cloud credentials (AWS, Google Cloud, Azure, Kubernetes)",
                         Severity::critical, Outcome::deny, "An AI app tried to read your cloud account keys.",
                         "Do not read cloud credential files. Ask the user to run the cloud command themselves.",
                         [test = cloudTest(home)](const ActionFacts& f) { return anyPath(f, test); }));
    rules.push_back(rule("secrets.package_tokens", "Reading package or code-hosting tokens (.npmrc, .pypirc, .netrc, gh)",
                         Severity::high, Outcome::ask, "An AI app wants to read a sign-in token for your code accounts.",
                         "Avoid reading token files; ask the user to publish or authenticate themselves.",
                         [test = packageTokenTest(home)](const ActionFacts& f) { return anyPath(f, test); }));
    rules.push_back(rule(
        "secrets.keychain", "Reading saved passwords (keychains, keyrings, password stores)", Severity::critical,
        Outcome::deny, "An AI app tried to read your saved passwords.",
        "Do not read saved passwords. Ask the user for the credential you need.",
        [test = keychainTest(home)](const ActionFacts& f) {
            return anyPath(f, test) || anyCommand(f, [](const CommandFacts& c) {
                       if (c.program == "security") {
                           return std::any_of(c.args.begin(), c.args.end(), [](const std::string& a) {
                               return oneOf(a, {"find-generic-password", "find-internet-password", "dump-keychain",
                                                "export"});
                           });
                       }
                       return c.program == "secret-tool" && !c.args.empty() && oneOf(c.args.front(), {"lookup", "search"});
                   });
        }));
    rules.push_back(rule("secrets.browser_data", "Reading browser passwords, cookies or history", Severity::critical,
                         Outcome::deny, "An AI app tried to read your browser's passwords or cookies.",
                         "Do not read browser profiles. Ask the user to sign in for you instead.",
                         [test = browserTest(home)](const ActionFacts& f) { return anyPath(f, test); }));
    rules.push_back(rule("secrets.content_in_args", "A key or token written into a command or tool call",
                         Severity::high, Outcome::ask, "A command looks like it contains a secret key or token.",
                         "Do not paste secrets into commands; read them from the environment the user set up.",
                         [](const ActionFacts& f) {
                             return (f.kind == "shell" || f.kind == "mcp_tool_call" || f.kind == "network") &&
                                    containsSecret(f.raw);
                         }));
    rules.push_back(rule("exfil.upload_file", "Uploading a local file", Severity::high, Outcome::ask,
                         "An AI app wants to upload a file from this computer.",
                         "Only upload files the user asked you to send.", [](const ActionFacts& f) {
                             if (f.kind == "network") return !f.paths.empty();
                             return anyCommand(f, sendsFile);
                         }));
    rules.push_back(rule(
        "rce.pipe_to_shell", "Downloading a script and running it in one step (curl | sh)", Severity::critical,
        Outcome::deny, "An AI app tried to download a program and run it straight away.",
        "Download the script to a file first and show it to the user before running it.", [](const ActionFacts& f) {
            const auto fetches = [](const CommandFacts& c) { return oneOf(c.program, fetchPrograms); };
            if (anyPipeOrder(f, fetches, runsShell)) return true;
            return anyCommand(f, [](const CommandFacts& c) {
                return runsShell(c) && std::any_of(c.substitutionPrograms.begin(), c.substitutionPrograms.end(),
                                                   [](const std::string& p) { return oneOf(p, fetchPrograms); });
            });
        }));
    rules.push_back(rule(
        "rce.decode_and_exec", "Decoding hidden text and running it (base64 -d | sh, eval)", Severity::critical,
        Outcome::deny, "An AI app tried to run a scrambled command.", "Write the command out in plain text instead.",
        [](const ActionFacts& f) {
            if (anyPipeOrder(f, decodes, runsShell)) return true;
            const bool hidden = anyCommand(f, [](const CommandFacts& c) {
                return runsShell(c) && std::any_of(c.substitutionPrograms.begin(), c.substitutionPrograms.end(),
                                                   [](const std::string& p) { return oneOf(p, {"base64", "xxd", "openssl"}); });
            });
            const auto flagged = [&](ObfuscationFlag flag) {
                return std::find(f.obfuscation.begin(), f.obfuscation.end(), flag) != f.obfuscation.end();
            };
            return hidden || (flagged(ObfuscationFlag::evalDynamic) &&
                              (flagged(ObfuscationFlag::base64Decode) || flagged(ObfuscationFlag::hexEscape)));
        }));
    rules.push_back(rule(
        "destructive.rm_home_root", "Deleting the home folder or the whole disk (rm -rf ~, $HOME, /)", Severity::critical,
        Outcome::deny, "An AI app tried to delete your home folder or whole disk.",
        "Delete only the specific files or folders inside the project you were asked to remove.",
        [](const ActionFacts& f) {
            if (f.kind == "file_delete") {
                return std::any_of(f.paths.begin(), f.paths.end(),
                                   [&](const PathUse& u) { return isHomeOrRoot(u.path, f.home); });
            }
            return anyCommand(f, [&](const CommandFacts& c) {
                if (!isRecursiveRemove(c)) return false;
                const auto operands = c.operands();
                return std::any_of(operands.begin(), operands.end(),
                                   [&](std::string_view op) { return isHomeOrRoot(deletionTarget(op, f), f.home); });
            });
        }));
    rules.push_back(rule(
        "destructive.rm_recursive_outside_ws", "Deleting folders outside the working folder (rm -r)", Severity::high,
        Outcome::ask, "An AI app wants to delete files outside the project it is working in.",
        "Only delete inside the project folder, or ask the user to remove other folders.", [](const ActionFacts& f) {
            if (f.cwd.empty()) return false;
            // Scratch folders are fair game, unless the home folder itself lives there.
            const auto outside = [&](const std::string& target) {
                const bool scratch = (isUnder(target, "/tmp") || isUnder(target, "/var/tmp")) && !isUnder(target, f.home);
                return !isUnder(target, f.cwd) && !scratch;
            };
            return anyCommand(f, [&](const CommandFacts& c) {
                if (!isRecursiveRemove(c)) return false;
                const auto operands = c.operands();
                return std::any_of(operands.begin(), operands.end(),
                                   [&](std::string_view op) { return outside(deletionTarget(op, f)); });
            });
        }));
    rules.push_back(rule("destructive.disk", "Erasing or repartitioning a disk (mkfs, dd to a device, diskutil erase)",
                         Severity::critical, Outcome::deny, "An AI app tried to erase a disk.",
                         "Do not touch disks or partitions; ask the user to do it.",
                         [](const ActionFacts& f) {
                             return anyCommand(f, erasesDisk) ||
                                    (f.kind != "shell" && f.kind != "file_read" &&
                                     std::any_of(f.paths.begin(), f.paths.end(),
                                                 [](const PathUse& u) { return u.writes && isDiskDevice(u.path); }));
                         }));
    rules.push_back(rule("self.tamper", "Switching Vardex off or changing its files", Severity::critical,
                         Outcome::deny, "An AI app tried to switch Vardex off or change its settings.",
                         "Do not change Vardex or the agents' hook settings; the user manages them in Vardex.",
                         [selfTest](const ActionFacts& f) {
                             return anyWrite(f, selfTest) || anyCommand(f, tampersWithService);
                         }));
    rules.push_back(rule("priv.sudo", "Running with administrator rights (sudo, doas, su)", Severity::high,
                         Outcome::ask, "An AI app wants to run a command with administrator rights.",
                         "Try the step without administrator rights, or ask the user to run it.",
                         [](const ActionFacts& f) {
                             return anyCommand(f, [](const CommandFacts& c) {
                                 return oneOf(c.program, privilegePrograms) ||
                                        std::any_of(c.wrappers.begin(), c.wrappers.end(), [](const std::string& w) {
                                            return oneOf(baseName(w), privilegePrograms);
                                        });
                             });
                         }));
    rules.push_back(rule(
        "persist.autostart", "Changing what starts at login (autostart, launch agents, cron, shell profiles)",
        Severity::high, Outcome::ask, "An AI app wants to change what starts when you log in.",
        "Do not add login items or scheduled jobs unless the user asked for one.",
        [test = persistenceTest(home)](const ActionFacts& f) {
            return anyWrite(f, test) || anyCommand(f, persistsByCommand);
        }));
    rules.push_back(rule("net.raw_socket", "Opening a raw network connection (nc, socat, /dev/tcp)", Severity::high,
                         Outcome::deny, "An AI app tried to open a hidden connection to another computer.",
                         "Use an ordinary HTTP request to a site the user named instead of a raw connection.",
                         opensRawSocket));
    rules.push_back(rule("money_movement", "Calling a payment tool that moves money", Severity::high, Outcome::ask,
                         "An AI app wants to call a payment tool. Money only moves when you say so.",
                         "Wait for the user to approve the payment; do not retry it another way.",
                         [](const ActionFacts& f) { return f.kind == "mcp_tool_call" && moneyTool(f.mcpTool); }));
    return rules;
}

double severityRisk(Severity severity) {
    switch (severity) {
        case Severity::info: return 0.1;
        case Severity::low: return 0.3;
        case Severity::medium: return 0.5;
        case Severity::high: return 0.8;
        case Severity::critical: return 0.95;
    }
    return 0.5;
}

}  // namespace vardex::engine
