#include "core/host_access.hpp"

#include <algorithm>
#include <array>
#include <filesystem>

#include "core/command_match.hpp"
#include "core/path_match.hpp"
#include "core/secret_paths.hpp"

namespace vardex::engine {
namespace {

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }
bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The host side of "-v SRC:DST[:opts]" or "--mount type=bind,src=SRC,...".
std::string_view mountSource(std::string_view value, bool mountSyntax) {
    if (!mountSyntax) return value.substr(0, value.find(':'));
    while (!value.empty()) {
        const auto comma = value.find(',');
        const auto part = value.substr(0, comma);
        for (std::string_view key : {"src=", "source="}) {
            if (startsWith(part, key)) return part.substr(key.size());
        }
        value = comma == std::string_view::npos ? std::string_view{} : value.substr(comma + 1);
    }
    return {};
}

HostReach sourceReach(std::string_view source, const std::string& home) {
    // Named volumes and sources the line does not spell out ("$PWD") stay in the project.
    if (source.empty() || source.find('$') != std::string_view::npos || source.find('`') != std::string_view::npos) {
        return HostReach::none;
    }
    if (source.front() != '/' && source.front() != '~') return HostReach::none;
    const auto path = absolutePath(source, home, "/");
    if (path == "/" || isUnder(home, path) || secretKind(path, home) != SecretKind::none) return HostReach::secrets;
    if (endsWith(path, ".sock")) return HostReach::privileged;
    for (std::string_view folder : {"/etc", "/root", "/var", "/proc", "/sys", "/dev", "/boot", "/usr", "/run"}) {
        if (isUnder(path, folder)) return HostReach::privileged;
    }
    return HostReach::none;
}

}  // namespace

HostReach containerHostReach(const CommandFacts& command, const std::string& home) {
    const auto entersNamespaces = [](const std::string& w) { return baseName(w) == "nsenter"; };
    if (command.program == "nsenter" || std::any_of(command.wrappers.begin(), command.wrappers.end(), entersNamespaces)) {
        return HostReach::privileged;
    }
    if (!isOneOf(command.program, {"docker", "podman", "nerdctl", "finch"})) return HostReach::none;
    const auto operands = command.operands();
    const bool runs = !operands.empty() && (isOneOf(operands[0], {"run", "create"}) ||
                                            (operands[0] == "container" && operands.size() > 1 &&
                                             isOneOf(operands[1], {"run", "create"})));
    if (!runs) return HostReach::none;
    auto reach = HostReach::none;
    const auto widen = [&](HostReach r) { reach = std::max(reach, r); };
    for (auto value : command.optionValues("volume", 'v')) widen(sourceReach(mountSource(value, false), home));
    for (auto value : command.optionValues("mount", 0)) widen(sourceReach(mountSource(value, true), home));
    if (hasAnyArg(command, {"--privileged", "--pid=host", "--userns=host", "--ipc=host", "--uts=host"})) {
        widen(HostReach::privileged);
    }
    for (auto value : command.optionValues("pid", 0)) {
        if (value == "host") widen(HostReach::privileged);
    }
    for (auto value : command.optionValues("cap-add", 0)) {
        if (isOneOf(asciiLower(value), {"all", "sys_admin", "sys_ptrace", "sys_module", "dac_read_search"})) widen(HostReach::privileged);
    }
    for (auto value : command.optionValues("security-opt", 0)) {
        if (value.find("unconfined") != std::string_view::npos) widen(HostReach::privileged);
    }
    if (!command.optionValues("device", 0).empty()) widen(HostReach::privileged);
    return reach;
}

bool changesGroups(const CommandFacts& command) {
    const auto& p = command.program;
    if (p == "usermod") return command.hasFlag("groups", 'G') || command.hasFlag("append", 'a') || hasAnyArg(command, {"-o"});
    if (p == "gpasswd") return command.hasFlag("add", 'a') || command.hasFlag("members", 'M') || command.hasFlag("administrators", 'A');
    if (p == "adduser" || p == "addgroup") return command.operands().size() >= 2;
    if (p == "groupmod" || p == "groupadd") return hasAnyArg(command, {"-U", "--users"});
    return false;
}

bool isAccountFile(const std::string& path) {
    for (std::string_view file : {"/etc/passwd", "/etc/shadow", "/etc/group", "/etc/gshadow", "/etc/sudoers",
                                  "/etc/doas.conf", "/etc/subuid", "/etc/subgid"}) {
        if (path == file) return true;
    }
    return isUnder(path, "/etc/sudoers.d") || isUnder(path, "/etc/polkit-1") || isUnder(path, "/etc/pam.d") ||
           isUnder(path, "/etc/security");
}

bool isPathShim(const std::string& path, const std::string& home, bool& alarming) {
    static constexpr std::array<std::string_view, 10> pathFolders{
        ".local/bin", "bin", ".bin", ".cargo/bin", "go/bin", ".npm-global/bin", ".yarn/bin", ".deno/bin",
        ".bun/bin", ".volta/bin"};
    const auto name = std::string(baseName(path));
    const auto folder = std::string_view(path).substr(0, path.size() - std::min(path.size(), name.size() + 1));
    const bool inPath = std::any_of(pathFolders.begin(), pathFolders.end(),
                                    [&](std::string_view f) { return folder == home + "/" + std::string(f); });
    if (!inPath || name.empty()) return false;
    alarming = isOneOf(name, {"sudo", "su", "doas", "pkexec", "run0", "passwd", "ssh", "gpg", "git-credential-store"}) ||
               startsWith(asciiLower(name), "vardex") || startsWith(asciiLower(name), "talvenor");
    if (alarming) return true;
    std::error_code error;
    for (std::string_view system : {"/usr/bin/", "/bin/", "/usr/sbin/", "/usr/local/bin/"}) {
        if (std::filesystem::exists(std::string(system) + name, error)) return true;
    }
    return false;
}

bool isPythonStartupFile(const std::string& path) {
    const auto name = baseName(path);
    if (name == "usercustomize.py" || name == "sitecustomize.py") return true;
    return endsWith(name, ".pth") &&
           (path.find("/site-packages/") != std::string::npos || path.find("/dist-packages/") != std::string::npos);
}

bool isProcessEnvironment(const std::string& path) {
    return startsWith(path, "/proc/") && endsWith(path, "/environ") && path != "/proc/self/environ" &&
           path != "/proc/thread-self/environ";
}

}  // namespace vardex::engine
