#include "core/builtin_rules.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <functional>
#include <regex>

#include "bridge/agent_stop.hpp"
#include "bridge/vardex_paths.hpp"
#include "core/action_facts.hpp"
#include "core/effect_rules.hpp"
#include "core/path_match.hpp"
#include "core/secret_paths.hpp"

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
const Names sendingPrograms{"curl", "wget", "nc", "ncat", "netcat", "socat", "scp", "rsync", "sftp", "ftp", "ssh",
                            "http", "https", "xh", "rclone", "aws", "gsutil"};
const Names rawSocketPrograms{"nc", "ncat", "netcat", "socat", "telnet"};

using PathTest = std::function<bool(const std::string&)>;

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

// Secret files of some kinds, as the facts classified them for the home folder.
using SecretTest = std::function<bool(const PathUse&)>;

SecretTest secretTest(std::initializer_list<SecretKind> kinds) {
    return [wanted = std::vector<SecretKind>(kinds)](const PathUse& use) {
        return std::find(wanted.begin(), wanted.end(), use.secret) != wanted.end();
    };
}

bool anySecret(const PathUse& use) { return use.secret != SecretKind::none; }

// Programs that name a secret file without reading what is in it.
const Names nonReaders{"ls", "mkdir", "chmod", "chown", "stat", "test", "[", "cd", "pushd", "du", "touch", "rmdir",
                       "ssh", "ssh-add", "ssh-keygen", "ssh-copy-id", "ssh-keyscan", "gpg"};

// A secret read: any path of the kind, except a whole secret folder that is only listed or
// created.
bool readsSecret(const ActionFacts& f, const SecretTest& test) {
    if (f.kind != "shell") return std::any_of(f.paths.begin(), f.paths.end(), test);
    for (const auto* command : f.commands()) {
        // A command that prints the secret reads it as surely as a cat of its file.
        if (test(PathUse{{}, false, printedSecret(command->program, command->args)})) return true;
        if (oneOf(command->program, nonReaders)) continue;
        for (const auto& use : command->paths) {
            if (test(use)) return true;
        }
    }
    return false;
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

bool isDiskDevice(std::string_view written) {
    // "/dev//sda" and "/dev/../dev/sda" name the same device.
    const auto path = absolutePath(written, "/", "/");
    for (std::string_view prefix : {"/dev/sd", "/dev/nvme", "/dev/disk", "/dev/rdisk", "/dev/hd", "/dev/vd",
                                    "/dev/xvd", "/dev/mmcblk", "/dev/mapper/", "/dev/dm-", "/dev/md", "/dev/loop",
                                    "/dev/mem", "/dev/kmem", "/dev/port"}) {
        if (startsWith(path, prefix)) return true;
    }
    return false;
}

bool erasesDisk(const CommandFacts& command) {
    const auto& program = command.program;
    if (startsWith(program, "mkfs") || oneOf(program, {"wipefs", "fdisk", "sfdisk", "parted", "blkdiscard", "mkswap", "sgdisk", "gdisk"})) {
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
    if (std::any_of(command.paths.begin(), command.paths.end(), [](const PathUse& u) { return u.writes && isDiskDevice(u.path); })) {
        return true;
    }
    return std::any_of(command.redirects.begin(), command.redirects.end(), [](const Redirect& r) {
        return r.op != RedirectOp::read && r.op != RedirectOp::dup && isDiskDevice(r.target);
    });
}

// The folder a deletion argument covers: "~/*" wipes what "~" holds. Relative operands are
// taken in the folder the command runs in, after any "cd" before it.
std::string deletionTarget(std::string_view operand, const ActionFacts& facts, const CommandFacts& command) {
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
    return absolutePath(operand, facts.home, command.cwd);
}

bool isHomeOrRoot(const std::string& target, const std::string& home) {
    if (target == "/" || target == home) return true;
    // A folder that holds the home folder holds everything in it.
    if (!target.empty() && target.front() == '/' && isUnder(home, target)) return true;
    // A top-level folder ("/usr", "/home", "/Users") is most of a disk.
    return target.size() > 1 && target.front() == '/' && target.find('/', 1) == std::string::npos;
}

// find with -delete, or running rm on what it finds: the starting points.
std::vector<std::string_view> findDeletionStarts(const CommandFacts& command) {
    if (command.program != "find") return {};
    const bool deletes = std::any_of(command.args.begin(), command.args.end(), [&](const std::string& a) {
        return a == "-delete";
    });
    bool execRemoves = false;
    for (std::size_t i = 0; i + 1 < command.args.size(); ++i) {
        if (oneOf(command.args[i], {"-exec", "-execdir", "-ok", "-okdir"}) &&
            oneOf(baseName(command.args[i + 1]), {"rm", "shred", "unlink", "srm"})) {
            execRemoves = true;
        }
    }
    if (!deletes && !execRemoves) return {};
    std::vector<std::string_view> starts;
    for (const auto& arg : command.args) {
        if (arg.empty() || arg.front() == '-' || arg == "(" || arg == "!") break;
        starts.push_back(arg);
    }
    if (starts.empty()) starts.push_back(".");
    return starts;
}

// find tests that narrow what it deletes to some files.
bool findFilters(const CommandFacts& command) {
    return std::any_of(command.args.begin(), command.args.end(), [](const std::string& a) {
        return oneOf(a, {"-name", "-iname", "-path", "-ipath", "-regex", "-iregex", "-newer", "-mtime", "-mmin",
                         "-atime", "-amin", "-ctime", "-cmin", "-size", "-empty", "-user", "-group", "-perm",
                         "-wholename", "-iwholename", "-links", "-inum", "-samefile", "-lname", "-ilname"});
    });
}

// The operands a command moves away or mirrors over: "mv X Y" empties X, "rsync --delete X Y"
// makes Y hold only what X holds.
std::vector<std::string_view> wipedByMoveOrMirror(const CommandFacts& command) {
    const auto operands = command.operands();
    if (command.program == "mv" && operands.size() >= 2) return {operands.begin(), operands.end() - 1};
    if (command.program == "rsync" && !operands.empty() &&
        std::any_of(command.args.begin(), command.args.end(), [](const std::string& a) { return startsWith(a, "--delete"); })) {
        return {operands.back()};
    }
    return {};
}

bool mentions(const CommandFacts& command, Names words) {
    return std::any_of(command.args.begin(), command.args.end(), [&](const std::string& a) {
        const auto lower = asciiLower(a);
        return std::any_of(words.begin(), words.end(), [&](std::string_view w) { return lower.find(w) != std::string::npos; });
    });
}

bool hasArg(const CommandFacts& command, Names words) {
    return std::any_of(command.args.begin(), command.args.end(), [&](const std::string& a) { return oneOf(a, words); });
}

// pkill and killall take patterns: "vard[e]x" or "v.rdex" still find the engine.
bool patternHitsEngine(const CommandFacts& command) {
    for (auto operand : command.operands()) {
        if (operand.size() > 64 || operand.find_first_of(".*[]?+(|\\^$") == std::string_view::npos) continue;
        try {
            const std::regex pattern(std::string(operand), std::regex::extended | std::regex::icase);
            for (const char* name : {"vardex", "vardex daemon", "vardex-bar"}) {
                if (std::regex_search(name, pattern)) return true;
            }
        } catch (const std::regex_error&) {
            // A pattern pkill would refuse kills nothing.
        }
    }
    return false;
}

bool tampersWithService(const CommandFacts& command, const ActionFacts& facts) {
    const auto& program = command.program;
    const Names engineNames{"vardex", "talvenor"};
    if (program == "vardex") {
        if (command.args.empty()) return false;
        const auto& sub = command.args.front();
        return oneOf(sub, {"uninstall", "daemon"}) || (sub == "protect" && hasArg(command, {"set"})) ||
               command.hasFlag("off", 0) || command.hasFlag("disconnect", 0);
    }
    // Another instance of the app could answer the engine's questions.
    if (startsWith(program, "vardex-bar") || program == "vardex_bar") return true;
    if (oneOf(program, {"pkill", "killall"})) return mentions(command, engineNames) || patternHitsEngine(command);
    if (program == "kill") {
        return asciiLower(facts.raw).find("vardex") != std::string::npos ||
               asciiLower(facts.raw).find("talvenor") != std::string::npos;
    }
    if (program == "systemctl") {
        if (hasArg(command, {"set-environment", "import-environment", "unset-environment"})) return true;
        return mentions(command, engineNames) &&
               hasArg(command, {"stop", "disable", "mask", "kill", "edit", "revert", "link", "restart", "reload",
                                "set-property", "daemon-reexec"});
    }
    // Environment planted for the user's services reaches the daemon at its next start: another
    // engine, socket or a preload. Over D-Bus it is one method call away.
    if (program == "dbus-update-activation-environment") return true;
    if (oneOf(program, {"busctl", "gdbus", "dbus-send", "qdbus"})) {
        return std::any_of(command.args.begin(), command.args.end(), [](const std::string& arg) {
            return arg.find("SetEnvironment") != std::string::npos ||
                   arg.find("UpdateActivationEnvironment") != std::string::npos;
        });
    }
    if (program == "launchctl") {
        return mentions(command, engineNames) &&
               hasArg(command, {"unload", "bootout", "remove", "disable", "kill", "stop", "setenv"});
    }
    // Programs that type or click for the user could answer the approval panel.
    return oneOf(program, {"xdotool", "ydotool", "wtype", "xte", "dotool", "dotoolc", "xvkbd", "xmacroplay",
                           "autokey-run", "ydotoold"});
}

// Attaching to a running process or preloading code into programs: either can reach into the
// engine or the app.
bool reachesIntoProcesses(const CommandFacts& command) {
    const auto preload = [](const std::string& assignment) { return startsWith(assignment, "LD_PRELOAD=") || startsWith(assignment, "LD_AUDIT="); };
    if (std::any_of(command.env.begin(), command.env.end(), preload)) return true;
    if (oneOf(command.program, {"export", "declare", "typeset", "env"}) &&
        std::any_of(command.args.begin(), command.args.end(), preload)) {
        return true;
    }
    if (oneOf(command.program, {"gdb", "strace", "ltrace", "perf", "gcore", "pstack", "lldb", "bpftrace", "frida"}) &&
        (command.hasFlag("pid", 'p') || hasArg(command, {"attach", "--attach", "-pid"}) ||
         // "gdb PROGRAM PID" attaches; "gdb PROGRAM CORE" reads a core file.
         (command.program == "gdb" && !hasArg(command, {"--args", "-args"}) && [&] {
             const auto operands = command.operands();
             return operands.size() >= 2 && std::all_of(operands.back().begin(), operands.back().end(),
                                                        [](char c) { return c >= '0' && c <= '9'; });
         }()))) {
        return true;
    }
    return oneOf(command.program, {"gdbserver", "reptyr", "injector"}) ||
           std::any_of(command.paths.begin(), command.paths.end(), [](const PathUse& u) {
               return u.writes && ((startsWith(u.path, "/proc/") && (endsWith(u.path, "/mem") || endsWith(u.path, "/environ"))) ||
                                   u.path == "/etc/ld.so.preload");
           });
}

// Places whose contents run at login, on a schedule, or when someone logs in over ssh.
PathTest persistenceTest(const std::string& home) {
    auto folders = inHome(home, {".config/autostart", "Library/LaunchAgents", ".config/systemd/user",
                                 ".config/fish/conf.d", ".config/environment.d", ".bashrc.d", ".profile.d"});
    for (const char* folder : {"/Library/LaunchAgents", "/Library/LaunchDaemons", "/etc/systemd/system", "/etc/cron.d",
                               "/etc/cron.daily", "/etc/cron.hourly", "/etc/cron.weekly", "/etc/cron.monthly",
                               "/etc/init.d", "/var/spool/cron", "/etc/profile.d", "/etc/xdg/autostart",
                               "/usr/lib/systemd", "/lib/systemd"}) {
        folders.emplace_back(folder);
    }
    auto files = inHome(home, {".bashrc", ".bash_profile", ".bash_login", ".bash_logout", ".profile", ".zshrc",
                               ".zprofile", ".zshenv", ".zlogin", ".zlogout", ".config/fish/config.fish", ".xprofile",
                               ".xinitrc", ".xsessionrc", ".pam_environment", ".kshrc", ".mkshrc", ".tcshrc", ".cshrc",
                               ".inputrc", ".ssh/rc", ".ssh/environment"});
    for (const char* file : {"/etc/crontab", "/etc/rc.local", "/etc/profile", "/etc/bash.bashrc", "/etc/environment",
                             "/etc/zsh/zshrc", "/etc/zshenv", "/etc/ld.so.preload"}) {
        files.emplace_back(file);
    }
    return either(underAny(std::move(folders)), oneOfFiles(std::move(files)));
}

// Files that let someone log in over ssh or reroute the user's connections.
bool isSshAccessFile(const std::string& path) {
    const auto name = baseName(path);
    const std::string_view whole = path;
    const auto parent = baseName(whole.substr(0, whole.size() - std::min(whole.size(), name.size() + 1)));
    return parent == ".ssh" && (startsWith(name, "authorized_keys") || name == "config" || name == "rc" ||
                                name == "environment");
}

bool persistsByCommand(const CommandFacts& command) {
    if (command.program == "crontab") {
        return !std::any_of(command.args.begin(), command.args.end(), [](const std::string& a) { return a == "-l"; });
    }
    if (oneOf(command.program, {"at", "batch"})) {
        return !hasArg(command, {"-l", "-c", "-r", "-d"}) && command.program != "atq";
    }
    // systemd-run can leave a unit or timer behind that outlives the line.
    if (command.program == "systemd-run" ||
        std::any_of(command.wrappers.begin(), command.wrappers.end(), [](const std::string& w) { return baseName(w) == "systemd-run"; })) {
        return true;
    }
    if (command.program == "systemctl") return hasArg(command, {"enable", "link", "edit", "preset", "add-wants", "add-requires"});
    if (command.program == "launchctl") return hasArg(command, {"load", "bootstrap", "enable", "submit"});
    if (command.program == "loginctl") return hasArg(command, {"enable-linger"});
    if (command.program == "osascript") {
        return std::any_of(command.args.begin(), command.args.end(),
                           [](const std::string& a) { return a.find("login item") != std::string::npos; });
    }
    return false;
}

// chmod u+s, chmod 4755 and setcap hand a program the owner's or extra rights for good.
bool grantsLastingPrivilege(const CommandFacts& command) {
    if (oneOf(command.program, {"setcap"})) return true;
    if (command.program == "install") {
        const auto modes = command.optionValues("mode", 'm');
        return std::any_of(modes.begin(), modes.end(), [](std::string_view m) {
            return (m.size() == 4 && (m[0] == '2' || m[0] == '4' || m[0] == '6' || m[0] == '7')) ||
                   (m.find('s') != std::string_view::npos && m.find_first_of("+=") != std::string_view::npos);
        });
    }
    if (command.program != "chmod") return false;
    return std::any_of(command.args.begin(), command.args.end(), [](const std::string& a) {
        if (a.empty() || a.front() == '-') return false;
        if (std::all_of(a.begin(), a.end(), [](char c) { return c >= '0' && c <= '7'; })) {
            return a.size() == 4 && (a[0] == '2' || a[0] == '4' || a[0] == '6' || a[0] == '7');
        }
        return a.find('s') != std::string::npos && a.find_first_of("+=") != std::string::npos;
    });
}

bool isSystemPath(const std::string& path) {
    for (std::string_view folder : {"/etc", "/usr", "/bin", "/sbin", "/lib", "/lib64", "/lib32", "/boot", "/var",
                                    "/opt", "/sys", "/proc", "/dev", "/root", "/srv", "/System", "/Library"}) {
        if (isUnder(path, folder)) return true;
    }
    return path == "/";
}

bool changesSystemOwnership(const CommandFacts& command) {
    if (!oneOf(command.program, {"chmod", "chown", "chgrp", "chattr", "setfacl"})) return false;
    return std::any_of(command.paths.begin(), command.paths.end(), [](const PathUse& u) { return isSystemPath(u.path); });
}

bool forcePushes(const CommandFacts& command) {
    if (command.program != "git") return false;
    const auto push = std::find(command.args.begin(), command.args.end(), "push");
    if (push == command.args.end()) return false;
    return std::any_of(push + 1, command.args.end(), [](const std::string& a) {
        return a == "-f" || startsWith(a, "--force") || a == "--mirror" || a == "--delete" || a == "-d" ||
               (a.size() > 1 && a.front() == '+') || (a.size() > 1 && a.front() == '-' && a[1] != '-' && a.find('f') != std::string::npos) ||
               (a.size() > 1 && a.front() == ':');
    });
}

// ":(){ :|:& };:" and its renamings: a function that pipes into itself in the background.
bool isForkBomb(std::string_view raw) {
    std::string text;
    for (char c : raw) {
        if (c != ' ' && c != '\t' && c != '\n') text += c;
    }
    for (auto at = text.find("(){"); at != std::string::npos; at = text.find("(){", at + 1)) {
        auto begin = at;
        while (begin > 0 && text[begin - 1] != ';' && text[begin - 1] != '&' && text[begin - 1] != '|' &&
               text[begin - 1] != '(' && text[begin - 1] != '{') {
            --begin;
        }
        auto name = std::string_view(text).substr(begin, at - begin);
        if (startsWith(name, "function")) name.remove_prefix(8);
        if (name.empty()) continue;
        const auto close = text.find('}', at);
        const auto body = std::string_view(text).substr(at + 3, close == std::string::npos ? std::string::npos : close - at - 3);
        if (body.find(std::string(name) + "|" + std::string(name)) != std::string_view::npos) return true;
    }
    return false;
}

bool unreadableProgram(const CommandFacts& command) {
    return command.computed || command.runsFedText || command.runsWrittenFile || command.scriptTouches ||
           command.runsUnseenProgram;
}

// nc fed a written-out HTTP request, without running or listening: an ordinary web request.
bool sendsPlainHttp(const CommandFacts& command) {
    if (!command.input || hasArg(command, {"-e", "-c", "--exec", "--sh-exec", "--lua-exec", "-l", "--listen", "-L"})) {
        return false;
    }
    static const std::regex request(R"(^(GET|HEAD|POST|PUT|DELETE|OPTIONS|PATCH) \S+ HTTP/[0-9.]+(\\r|\\n|\r|\n|$))");
    return std::regex_search(command.input->substr(0, 256), request);
}

bool opensRawSocket(const ActionFacts& facts) {
    if (facts.raw.find("/dev/tcp/") != std::string::npos || facts.raw.find("/dev/udp/") != std::string::npos) {
        return true;
    }
    if (facts.kind == "shell" && facts.raw.find("socket.socket(") != std::string::npos) return true;
    return anyCommand(facts, [](const CommandFacts& c) {
        return oneOf(c.program, rawSocketPrograms) && !sendsPlainHttp(c);
    });
}

// Each rule of this file is a built-in one.
constexpr auto rule = &Rule::builtIn;

}  // namespace

SelfPaths selfPaths(const std::string& home) {
    SelfPaths self;
    self.folders = {absolutePath(VardexPaths::userConfigDirectory().parent_path().string(), home, ""), absolutePath(VardexPaths::auditDirectory().string(), home, ""),
                    absolutePath(VardexPaths::supportDirectory().string(), home, ""),
                    absolutePath(VardexPaths::logsDirectory().string(), home, "")};
    const auto socket = absolutePath(VardexPaths::socketPath(), home, "");
    self.files = inHome(home, {".claude/settings.json", ".claude/settings.local.json", ".claude.json",
                               ".cursor/hooks.json", ".cursor/mcp.json", ".codex/hooks.json", ".codex/config.toml",
                               ".gemini/settings.json"});
    // The socket and the stop flag may be placed anywhere (VARDEX_SOCK, VARDEX_STATE_DIR): only
    // the files themselves are guarded, never a shared folder such as /tmp that holds them.
    self.files.push_back(socket);
    self.files.push_back(absolutePath(AgentStop::flagURL().string(), home, ""));
    return self;
}

std::vector<Rule> builtinRules(const std::string& home, const SelfPaths& self) {
    // The agents' settings files guard the agent wherever they are: a project's own
    // ".claude/settings.json" can switch the hook off as well as the one at home.
    const auto agentSettings = [](const std::string& path) {
        for (std::string_view suffix : {"/.claude/settings.json", "/.claude/settings.local.json", "/.cursor/hooks.json",
                                        "/.codex/hooks.json", "/.codex/config.toml", "/.gemini/settings.json", "/.mcp.json",
                                        "/.cursor/mcp.json"}) {
            if (endsWith(path, suffix)) return true;
        }
        return false;
    };
    const auto ownUnit = [home](const std::string& path) {
        return isUnder(path, home + "/.config/systemd/user") && asciiLower(baseName(path)).find("vardex") != std::string::npos;
    };
    auto selfPlaces = self.folders;
    selfPlaces.insert(selfPlaces.end(), self.files.begin(), self.files.end());
    selfPlaces.push_back(absolutePath(VardexPaths::userPolicyURL().string(), home, ""));
    const auto selfTest = [folders = underAny(self.folders), files = oneOfFiles(self.files), agentSettings, ownUnit,
                           selfPlaces](const std::string& path) {
        if (folders(path) || files(path) || agentSettings(path) || ownUnit(path)) return true;
        // "~/.config/talv*" names the policy folder as surely as its full name.
        if (path.find_first_of("*?[") == std::string::npos) return false;
        return std::any_of(selfPlaces.begin(), selfPlaces.end(), [&](const std::string& place) {
            return globMatch(path, place, true) || globMatch(path + "/**", place, true);
        });
    };
    std::vector<Rule> rules;

    // Sending a secret away is the worse story than reading it, so it is listed (and decides) first.
    rules.push_back(rule(
        "exfil.secret_to_network", "Sending a secret file over the network", Severity::critical, Outcome::deny,
        "An AI app tried to send a secret file to another computer.",
        "Never send key or credential files over the network.", [](const ActionFacts& f) {
            const auto inFacts = [&] { return std::any_of(f.paths.begin(), f.paths.end(), anySecret); };
            if (f.kind == "network") return inFacts();
            // Moving or copying a secret through a tool takes it out of its guarded place.
            if (f.kind == "mcp_tool_call") {
                const auto tool = asciiLower(f.mcpTool);
                return (tool.find("move") != std::string::npos || tool.find("copy") != std::string::npos ||
                        tool.find("upload") != std::string::npos || tool.find("send") != std::string::npos) &&
                       inFacts();
            }
            for (const auto& pipeline : f.pipelines) {
                bool sends = false;
                bool secretSeen = false;
                for (const auto& command : pipeline) {
                    sends = sends || oneOf(command.program, sendingPrograms);
                    secretSeen = secretSeen || std::any_of(command.paths.begin(), command.paths.end(), anySecret) ||
                                 printedSecret(command.program, command.args) != SecretKind::none;
                    // The environment holds the tokens the user exported.
                    secretSeen = secretSeen || (oneOf(command.program, {"env", "printenv", "set", "export"}) &&
                                                command.operands().empty());
                    // An archive or copy of the whole home folder takes every secret in it.
                    secretSeen = secretSeen ||
                                 (oneOf(command.program, {"tar", "zip", "7z", "rsync", "scp", "cp", "cpio", "rclone"}) &&
                                  std::any_of(command.paths.begin(), command.paths.end(),
                                              [&](const PathUse& u) { return isUnder(f.home, u.path); }));
                }
                if (sends && secretSeen) return true;
            }
            return false;
        }));
    rules.push_back(rule(
        "secrets.ssh_private_key", "Reading an SSH private key (anything in ~/.ssh but public keys and host lists)",
        Severity::critical, Outcome::deny, "An AI app tried to read a private SSH key.",
        "Do not read private SSH keys. Use the public key (.pub) or ask the user to run the ssh step themselves.",
        [test = secretTest({SecretKind::sshKey})](const ActionFacts& f) { return readsSecret(f, test); }));
    rules.push_back(rule("secrets.dotenv", "Reading a .env secrets file", Severity::high, Outcome::ask,
                         "An AI app wants to read a .env file, which often holds passwords and API keys.",
                         "Prefer .env.example or ask the user for the one value you need.",
                         [test = secretTest({SecretKind::dotenv})](const ActionFacts& f) {
                             // Writing a .env (from .env.example, say) or testing that it exists reveals nothing.
                             return readsSecret(f, [&](const PathUse& u) { return !u.writes && test(u); });
                         }));
    rules.push_back(rule("secrets.cloud_credentials", "Reading cloud credentials (AWS, Google Cloud, Azure, Kubernetes)",
                         Severity::critical, Outcome::deny, "An AI app tried to read your cloud account keys.",
                         "Do not read cloud credential files. Ask the user to run the cloud command themselves.",
                         [test = secretTest({SecretKind::cloud})](const ActionFacts& f) { return readsSecret(f, test); }));
    rules.push_back(rule("secrets.package_tokens", "Reading package or code-hosting tokens (.npmrc, .pypirc, .netrc, gh)",
                         Severity::high, Outcome::ask, "An AI app wants to read a sign-in token for your code accounts.",
                         "Avoid reading token files; ask the user to publish or authenticate themselves.",
                         [test = secretTest({SecretKind::packageToken})](const ActionFacts& f) {
                             return readsSecret(f, test);
                         }));
    rules.push_back(rule(
        "secrets.keychain", "Reading saved passwords (keychains, keyrings, password stores, GnuPG keys)",
        Severity::critical, Outcome::deny, "An AI app tried to read your saved passwords.",
        "Do not read saved passwords. Ask the user for the credential you need.",
        [test = secretTest({SecretKind::keychain})](const ActionFacts& f) {
            return readsSecret(f, test) || anyCommand(f, [](const CommandFacts& c) {
                       if (c.program == "security") {
                           return std::any_of(c.args.begin(), c.args.end(), [](const std::string& a) {
                               return oneOf(a, {"find-generic-password", "find-internet-password", "dump-keychain",
                                                "export"});
                           });
                       }
                       if (c.program == "gpg" || c.program == "gpg2") {
                           return hasArg(c, {"--export-secret-keys", "--export-secret-subkeys", "--export-ssh-key"});
                       }
                       return c.program == "secret-tool" && !c.args.empty() && oneOf(c.args.front(), {"lookup", "search"});
                   });
        }));
    rules.push_back(rule("secrets.browser_data", "Reading browser passwords, cookies or history", Severity::critical,
                         Outcome::deny, "An AI app tried to read your browser's passwords or cookies.",
                         "Do not read browser profiles. Ask the user to sign in for you instead.",
                         [test = secretTest({SecretKind::browser})](const ActionFacts& f) { return readsSecret(f, test); }));
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
        "rce.pipe_to_shell", "Downloading a program and running it in one step (curl | sh, curl -o x && sh x)",
        Severity::critical, Outcome::deny, "An AI app tried to download a program and run it straight away.",
        "Download the script to a file first and show it to the user before running it.", [](const ActionFacts& f) {
            const auto fetches = [](const CommandFacts& c) { return fetchesFromNetwork(c.program); };
            // What a download feeds could be any program when the line hides which one.
            const auto runs = [](const CommandFacts& c) { return runsShell(c) || c.runsFedText || c.computed; };
            if (anyPipeOrder(f, fetches, runs)) return true;
            return anyCommand(f, [](const CommandFacts& c) {
                if (c.runsFetchedFile) return true;
                return (runsShell(c) || c.runsFedText || c.computed || c.scriptTouches) &&
                       std::any_of(c.substitutionPrograms.begin(), c.substitutionPrograms.end(),
                                   [](const std::string& p) { return fetchesFromNetwork(p); });
            });
        }));
    auto hidden = rule(
        "rce.decode_and_exec", "Running a command the line hides (decoded text, a variable, text fed to a shell)",
        Severity::critical, Outcome::deny, "An AI app tried to run a scrambled command.",
        "Write the command out in plain text instead.", [](const ActionFacts& f) {
            if (f.unparsed) return true;
            if (anyPipeOrder(f, decodes, runsShell)) return true;
            const bool decoded = anyCommand(f, [](const CommandFacts& c) {
                return runsShell(c) && std::any_of(c.substitutionPrograms.begin(), c.substitutionPrograms.end(),
                                                   [](const std::string& p) { return oneOf(p, {"base64", "xxd", "openssl"}); });
            });
            const auto flagged = [&](ObfuscationFlag flag) {
                return std::find(f.obfuscation.begin(), f.obfuscation.end(), flag) != f.obfuscation.end();
            };
            return decoded || (flagged(ObfuscationFlag::evalDynamic) &&
                               (flagged(ObfuscationFlag::base64Decode) || flagged(ObfuscationFlag::hexEscape))) ||
                   anyCommand(f, unreadableProgram);
        });
    // A hidden program is asked about; it is blocked when the text was decoded first, or when
    // the arguments it is given would already wipe the home folder or the disk.
    hidden.decides = [](const ActionFacts& f) {
        if (anyPipeOrder(f, decodes, [](const CommandFacts& c) { return runsShell(c) || c.runsFedText || c.computed; })) {
            return Outcome::deny;
        }
        const auto flagged = [&](ObfuscationFlag flag) {
            return std::find(f.obfuscation.begin(), f.obfuscation.end(), flag) != f.obfuscation.end();
        };
        if ((flagged(ObfuscationFlag::base64Decode) || flagged(ObfuscationFlag::hexEscape)) &&
            (flagged(ObfuscationFlag::evalDynamic) || anyCommand(f, unreadableProgram))) {
            return Outcome::deny;
        }
        if (anyCommand(f, [](const CommandFacts& c) {
                return runsShell(c) && std::any_of(c.substitutionPrograms.begin(), c.substitutionPrograms.end(),
                                                   [](const std::string& p) { return oneOf(p, {"base64", "xxd", "openssl"}); });
            })) {
            return Outcome::deny;
        }
        const bool wipes = anyCommand(f, [&](const CommandFacts& c) {
            if (!c.computed) return false;
            const auto operands = c.operands();
            return std::any_of(operands.begin(), operands.end(),
                               [&](std::string_view op) { return isHomeOrRoot(deletionTarget(op, f, c), f.home); });
        });
        return wipes ? Outcome::deny : Outcome::ask;
    };
    rules.push_back(std::move(hidden));
    rules.push_back(rule(
        "destructive.rm_home_root", "Deleting or moving away the home folder or the whole disk (rm -rf ~, find ~ -delete)",
        Severity::critical, Outcome::deny, "An AI app tried to delete your home folder or whole disk.",
        "Delete only the specific files or folders inside the project you were asked to remove.",
        [](const ActionFacts& f) {
            if (f.kind == "file_delete") {
                return std::any_of(f.paths.begin(), f.paths.end(),
                                   [&](const PathUse& u) { return isHomeOrRoot(u.path, f.home); });
            }
            return anyCommand(f, [&](const CommandFacts& c) {
                const auto covers = [&](std::string_view op) { return isHomeOrRoot(deletionTarget(op, f, c), f.home); };
                if (isRecursiveRemove(c)) {
                    const auto operands = c.operands();
                    if (std::any_of(operands.begin(), operands.end(), covers)) return true;
                }
                const auto moved = wipedByMoveOrMirror(c);
                if (std::any_of(moved.begin(), moved.end(), covers)) return true;
                const auto starts = findDeletionStarts(c);
                return !findFilters(c) && std::any_of(starts.begin(), starts.end(), covers);
            });
        }));
    rules.push_back(rule(
        "destructive.rm_recursive_outside_ws", "Deleting folders outside the working folder (rm -r, find -delete)",
        Severity::high, Outcome::ask, "An AI app wants to delete files outside the project it is working in.",
        "Only delete inside the project folder, or ask the user to remove other folders.", [](const ActionFacts& f) {
            if (f.cwd.empty()) return false;
            // Scratch folders are fair game, unless the home folder itself lives there.
            const auto outside = [&](const std::string& target) {
                const bool scratch = (isUnder(target, "/tmp") || isUnder(target, "/var/tmp")) && !isUnder(target, f.home);
                return !isUnder(target, f.cwd) && !scratch;
            };
            // A target the line does not spell out (a variable, a substitution, what xargs
            // reads) could be anywhere.
            const auto unknown = [](std::string_view op) {
                std::string_view rest = op;
                for (std::string_view prefix : {"${HOME}", "$HOME"}) {
                    if (startsWith(rest, prefix)) rest.remove_prefix(prefix.size());
                }
                return rest.find_first_of("$`") != std::string_view::npos && !startsWith(op, "${HOME:");
            };
            return anyCommand(f, [&](const CommandFacts& c) {
                if (isRecursiveRemove(c)) {
                    const auto operands = c.operands();
                    const bool fedByXargs = std::find(c.wrappers.begin(), c.wrappers.end(), "xargs") != c.wrappers.end();
                    if ((fedByXargs && operands.empty()) || std::any_of(operands.begin(), operands.end(), unknown)) {
                        return true;
                    }
                }
                std::vector<std::string_view> targets;
                if (isRecursiveRemove(c)) targets = c.operands();
                const auto starts = findDeletionStarts(c);
                targets.insert(targets.end(), starts.begin(), starts.end());
                const auto moved = wipedByMoveOrMirror(c);
                if (c.program == "rsync") targets.insert(targets.end(), moved.begin(), moved.end());
                return std::any_of(targets.begin(), targets.end(),
                                   [&](std::string_view op) { return outside(deletionTarget(op, f, c)); });
            });
        }));
    rules.push_back(rule("destructive.disk", "Erasing or writing over a disk (mkfs, dd or cp to a device, diskutil erase)",
                         Severity::critical, Outcome::deny, "An AI app tried to erase a disk.",
                         "Do not touch disks or partitions; ask the user to do it.",
                         [](const ActionFacts& f) {
                             return anyCommand(f, erasesDisk) ||
                                    (f.kind != "shell" && f.kind != "file_read" &&
                                     std::any_of(f.paths.begin(), f.paths.end(),
                                                 [](const PathUse& u) { return u.writes && isDiskDevice(u.path); }));
                         }));
    rules.push_back(rule("destructive.fork_bomb", "A fork bomb (a function that starts copies of itself)",
                         Severity::critical, Outcome::deny, "An AI app tried to run a command that freezes the computer.",
                         "Do not run commands that start processes without end.",
                         [](const ActionFacts& f) { return f.kind == "shell" && isForkBomb(f.raw); }));
    auto tamper = rule("self.tamper", "Switching Vardex off, changing its files, or reaching into its processes",
                       Severity::critical, Outcome::deny, "An AI app tried to switch Vardex off or change its settings.",
                       "Do not change Vardex or the agents' hook settings; the user manages them in Vardex.",
                       [selfTest](const ActionFacts& f) {
                           return anyWrite(f, selfTest) ||
                                  anyCommand(f, [&](const CommandFacts& c) {
                                      return tampersWithService(c, f) || reachesIntoProcesses(c);
                                  });
                       });
    // Debuggers and preloads have everyday uses: they are asked about unless they aim at the
    // engine or the preload list every program reads.
    tamper.decides = [selfTest](const ActionFacts& f) {
        if (anyWrite(f, selfTest) || anyCommand(f, [&](const CommandFacts& c) { return tampersWithService(c, f); })) {
            return Outcome::deny;
        }
        const auto raw = asciiLower(f.raw);
        const bool aimed = raw.find("vardex") != std::string::npos || raw.find("talvenor") != std::string::npos ||
                           raw.find("ld.so.preload") != std::string::npos;
        return aimed ? Outcome::deny : Outcome::ask;
    };
    rules.push_back(std::move(tamper));
    auto privilege = rule("priv.sudo", "Running with administrator rights (sudo, doas, su, setuid, system files)",
                          Severity::high, Outcome::ask, "An AI app wants to run a command with administrator rights.",
                          "Try the step without administrator rights, or ask the user to run it.",
                          [](const ActionFacts& f) {
                              return anyCommand(f, [](const CommandFacts& c) {
                                  return raisesPrivilege(c.program) ||
                                         std::any_of(c.wrappers.begin(), c.wrappers.end(), [](const std::string& w) {
                                             return raisesPrivilege(baseName(w));
                                         }) ||
                                         grantsLastingPrivilege(c) || changesSystemOwnership(c);
                              });
                          });
    privilege.decides = [](const ActionFacts& f) {
        return anyCommand(f, grantsLastingPrivilege) ? Outcome::deny : Outcome::ask;
    };
    rules.push_back(std::move(privilege));
    auto persist = rule(
        "persist.autostart", "Changing what starts at login or who may log in (autostart, cron, at, shell profiles, authorized_keys)",
        Severity::high, Outcome::ask, "An AI app wants to change what starts when you log in.",
        "Do not add login items, scheduled jobs or ssh keys unless the user asked for one.",
        [test = persistenceTest(home)](const ActionFacts& f) {
            return anyWrite(f, test) || anyWrite(f, isSshAccessFile) || anyCommand(f, persistsByCommand);
        });
    // A key added to authorized_keys lets someone else log in: that is blocked, not asked.
    persist.decides = [](const ActionFacts& f) { return anyWrite(f, isSshAccessFile) ? Outcome::deny : Outcome::ask; };
    rules.push_back(std::move(persist));
    rules.push_back(rule("destructive.git_force_push", "Rewriting or deleting history on a remote (git push --force)",
                         Severity::high, Outcome::ask, "An AI app wants to overwrite history on a shared repository.",
                         "Push without --force, or ask the user to force the push themselves.",
                         [](const ActionFacts& f) { return anyCommand(f, forcePushes); }));
    rules.push_back(rule("net.raw_socket", "Opening a raw network connection (nc, socat, /dev/tcp)", Severity::high,
                         Outcome::deny, "An AI app tried to open a hidden connection to another computer.",
                         "Use an ordinary HTTP request to a site the user named instead of a raw connection.",
                         opensRawSocket));
    rules.push_back(rule("money_movement", "Calling a payment tool that moves money", Severity::high, Outcome::ask,
                         "An AI app wants to call a payment tool. Money only moves when you say so.",
                         "Wait for the user to approve the payment; do not retry it another way.",
                         [](const ActionFacts& f) { return f.kind == "mcp_tool_call" && moneyTool(f.mcpTool); }));
    auto effects = effectRules(home);
    std::move(effects.begin(), effects.end(), std::back_inserter(rules));
    return rules;
}

Rule Rule::builtIn(std::string id, std::string description, Severity severity, Outcome decision, std::string reasonUser,
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
