#include "core/machine_effects.hpp"

#include <algorithm>
#include <array>
#include <cctype>

#include "core/command_match.hpp"
#include "core/path_match.hpp"

namespace vardex::engine {
namespace {

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

bool isRecursiveRemove(const CommandFacts& command) {
    return command.program == "rm" && (command.hasFlag("recursive", 'r') || command.hasFlag("recursive", 'R'));
}

}  // namespace

bool destroysVolume(const CommandFacts& command) {
    const auto& p = command.program;
    if (isOneOf(p, {"mke2fs", "mkntfs", "mkdosfs", "mkexfatfs", "mkudffs", "sg_format", "badblocks", "lvremove",
                    "vgremove", "pvremove", "lvreduce", "flashrom"})) {
        return p != "badblocks" || command.hasFlag("", 'w');
    }
    if (p == "cryptsetup") {
        return commandStartsWith(command, "erase") || commandStartsWith(command, "luksErase") ||
               commandStartsWith(command, "luksFormat") || commandStartsWith(command, "luksKillSlot") ||
               commandStartsWith(command, "luksRemoveKey") || commandStartsWith(command, "reencrypt");
    }
    if (p == "zfs") return commandStartsWith(command, "destroy") || commandStartsWith(command, "rollback -r");
    if (p == "zpool") return commandStartsWith(command, "destroy") || commandStartsWith(command, "labelclear");
    if (p == "nvme") return commandStartsWith(command, "format") || commandStartsWith(command, "sanitize");
    if (p == "mdadm") return hasAnyArg(command, {"--zero-superblock"});
    if (p == "dmsetup") return commandStartsWith(command, "remove_all") || commandStartsWith(command, "wipe_table");
    if (p == "hdparm") {
        return std::any_of(command.args.begin(), command.args.end(), [](const std::string& a) {
            return startsWith(a, "--security-erase") || startsWith(a, "--trim-sector") || a == "--make-bad-sector" ||
                   a == "--write-sector" || a == "--fwdownload" || a == "--security-set-pass";
        });
    }
    return false;
}

bool stopsMachine(const CommandFacts& command) {
    const auto& p = command.program;
    if (isOneOf(p, {"poweroff", "reboot", "halt", "killall5"})) return true;
    if (p == "shutdown") return !hasAnyArg(command, {"-c", "--show"});
    if (p == "systemctl") {
        const auto operands = command.operands();
        return !operands.empty() && isOneOf(operands.front(), {"poweroff", "reboot", "halt", "kexec", "suspend",
                                                               "hibernate", "hybrid-sleep", "emergency", "rescue",
                                                               "soft-reboot", "isolate"});
    }
    if (p == "loginctl") {
        return commandStartsWith(command, "poweroff") || commandStartsWith(command, "reboot") ||
               commandStartsWith(command, "terminate-user") || commandStartsWith(command, "kill-user") ||
               commandStartsWith(command, "terminate-session") || commandStartsWith(command, "kill-session");
    }
    if (p == "init" || p == "telinit") return commandStartsWith(command, "0") || commandStartsWith(command, "6");
    if (p == "kill") {
        // "-1" as a target is every process the user may signal; as the first word it may be
        // a signal number instead.
        bool targets = false;
        for (std::size_t i = 0; i < command.args.size(); ++i) {
            const auto& a = command.args[i];
            if (a == "-s" || a == "-n") {
                ++i;
                continue;
            }
            if (a == "--") {
                targets = true;
                continue;
            }
            if (a == "-1" && (targets || i > 0)) return true;
            if (!a.empty() && a.front() != '-') targets = true;
        }
    }
    return std::any_of(command.paths.begin(), command.paths.end(),
                       [](const PathUse& u) { return u.writes && u.path == "/proc/sysrq-trigger"; }) ||
           std::any_of(command.redirects.begin(), command.redirects.end(), [](const Redirect& r) {
               return r.op != RedirectOp::read && r.target.find("sysrq-trigger") != std::string::npos;
           });
}

bool deletesProject(const CommandFacts& command, const std::string& home, const std::string& project) {
    if (project.empty() || !isRecursiveRemove(command)) return false;
    const auto cwd = command.cwd.empty() ? project : command.cwd;
    return std::any_of(command.args.begin(), command.args.end(), [&](const std::string& operand) {
        if (operand.empty() || operand.front() == '-') return false;
        const auto target = absolutePath(operand, home, cwd);
        if (target.empty() || target.front() != '/' || target == home || target == "/") return false;
        return isUnder(project, target) || target == project + "/.git";
    });
}

bool rewritesHistory(const CommandFacts& command) {
    if (command.program != "git") return false;
    if (commandStartsWith(command, "filter-branch") || commandStartsWith(command, "filter-repo") ||
        commandStartsWith(command, "reflog expire") || commandStartsWith(command, "reflog delete") ||
        commandStartsWith(command, "stash clear") || commandStartsWith(command, "update-ref -d")) {
        return true;
    }
    if (commandStartsWith(command, "gc")) return hasAnyArg(command, {"--prune=now", "--prune=all"});
    if (commandStartsWith(command, "branch")) {
        return hasAnyArg(command, {"-D"}) || (command.hasFlag("delete", 'd') && command.hasFlag("force", 'f'));
    }
    if (commandStartsWith(command, "reset --hard")) {
        // Back to a remote branch keeps what was pushed; back by a count or to a commit loses
        // whatever was not.
        const auto operands = command.operands();
        return std::any_of(operands.begin() + 1, operands.end(), [](std::string_view rev) {
            const bool hex = rev.size() >= 7 && std::all_of(rev.begin(), rev.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
            return hex || rev.find_first_of("~^") != std::string_view::npos || rev.find("@{") != std::string_view::npos;
        });
    }
    return false;
}

bool killsUserPrograms(const CommandFacts& command) {
    if (!isOneOf(command.program, {"pkill", "killall", "pgrep"}) || command.program == "pgrep") return false;
    if (command.hasFlag("user", 'u') || hasAnyArg(command, {"-U"})) return true;
    static constexpr std::array<std::string_view, 40> desktop{
        "firefox", "chrome", "chromium", "google-chrome", "brave", "brave-browser", "thunderbird", "evolution",
        "code", "slack", "discord", "signal-desktop", "telegram-desktop", "gnome-shell", "plasmashell", "kwin_x11",
        "kwin_wayland", "xorg", "xwayland", "sshd", "systemd", "dbus-daemon", "pulseaudio", "pipewire",
        "gpg-agent", "ssh-agent", "keepassxc", "1password", "bitwarden", "spotify", "zoom", "teams", "nautilus",
        "gnome-terminal-server", "konsole", "kitty", "alacritty", "emacs", "gnome-session", "xfce4-session"};
    return std::any_of(command.args.begin(), command.args.end(), [](const std::string& arg) {
        if (arg.empty() || arg.front() == '-') return false;
        const auto name = asciiLower(arg);
        return name == "." || name == ".*" || std::find(desktop.begin(), desktop.end(), name) != desktop.end();
    });
}

}  // namespace vardex::engine
