#include "core/effect_rules.hpp"

#include <algorithm>

#include "core/action_facts.hpp"
#include "core/host_access.hpp"
#include "core/machine_effects.hpp"
#include "core/remote_effects.hpp"

namespace vardex::engine {
namespace {

using CommandTest = std::function<bool(const CommandFacts&)>;

bool anyCommand(const ActionFacts& facts, const CommandTest& test) {
    for (const auto& pipeline : facts.pipelines) {
        for (const auto& command : pipeline) {
            if (test(command)) return true;
        }
    }
    return false;
}

bool anyPath(const ActionFacts& facts, const std::function<bool(const PathUse&)>& test) {
    return std::any_of(facts.paths.begin(), facts.paths.end(), test);
}

// Each rule of this file is a built-in one.
constexpr auto rule = &Rule::builtIn;

}  // namespace

std::vector<Rule> effectRules(const std::string& home) {
    std::vector<Rule> rules;
    const auto reach = [home](const ActionFacts& f) {
        auto most = HostReach::none;
        anyCommand(f, [&](const CommandFacts& c) {
            most = std::max(most, containerHostReach(c, home));
            return false;
        });
        return most;
    };
    auto container = rule("priv.container_host", "A container that reaches into this machine (the disk, the home folder, privileged mode)",
                          Severity::critical, Outcome::deny,
                          "An AI app wants to start a container with access to this computer itself.",
                          "Mount only the project folder into containers, without --privileged or host namespaces.",
                          [reach](const ActionFacts& f) { return reach(f) != HostReach::none; });
    container.decides = [reach](const ActionFacts& f) {
        return reach(f) == HostReach::secrets ? Outcome::deny : Outcome::ask;
    };
    rules.push_back(std::move(container));

    rules.push_back(rule("priv.accounts", "Changing who may log in or act as administrator (groups, sudoers, passwd)",
                         Severity::critical, Outcome::deny,
                         "An AI app tried to change user accounts or administrator rights.",
                         "Do not change accounts or groups; ask the user to do it.", [](const ActionFacts& f) {
                             return anyCommand(f, changesGroups) ||
                                    anyPath(f, [](const PathUse& u) { return u.writes && isAccountFile(u.path); });
                         }));

    const auto shim = [home](const ActionFacts& f, bool wantAlarming) {
        return anyPath(f, [&](const PathUse& u) {
            bool alarming = false;
            return u.writes && isPathShim(u.path, home, alarming) && (!wantAlarming || alarming);
        });
    };
    auto shadow = rule("persist.program_shadow", "Placing a program that shadows a real one, or code every Python start runs",
                       Severity::high, Outcome::ask,
                       "An AI app wants to put a program in your PATH that would run instead of a real one.",
                       "Run tools from the project instead of placing them in the user's PATH.",
                       [shim](const ActionFacts& f) {
                           return shim(f, false) ||
                                  anyPath(f, [](const PathUse& u) { return u.writes && isPythonStartupFile(u.path); });
                       });
    // A fake sudo or ssh catches the passwords typed into it; a fake vardex answers for the engine.
    shadow.decides = [shim](const ActionFacts& f) { return shim(f, true) ? Outcome::deny : Outcome::ask; };
    rules.push_back(std::move(shadow));

    rules.push_back(rule("destructive.machine", "Erasing a volume or stopping the machine (LUKS erase, zfs destroy, power off, kill -9 -1)",
                         Severity::critical, Outcome::deny,
                         "An AI app tried to erase a volume or stop the whole computer.",
                         "Do not touch volumes, power or other programs; ask the user to do it.",
                         [](const ActionFacts& f) {
                             return anyCommand(f, [](const CommandFacts& c) { return destroysVolume(c) || stopsMachine(c); });
                         }));

    rules.push_back(rule("destructive.project_history", "Deleting the project or its history (rm -rf of the project or .git, history rewrites)",
                         Severity::high, Outcome::ask,
                         "An AI app wants to delete the project itself or work that may not be saved anywhere else.",
                         "Delete only files inside the project, and keep commits; ask the user before rewriting history.",
                         [](const ActionFacts& f) {
                             return anyCommand(f, [&](const CommandFacts& c) { return deletesProject(c, f.home, f.cwd) || rewritesHistory(c); });
                         }));

    rules.push_back(rule("remote.accounts_infrastructure", "Acting on accounts or shared infrastructure (publishing, tokens, destroying, draining)",
                         Severity::high, Outcome::ask,
                         "An AI app wants to change something beyond this computer: a package, an account or shared infrastructure.",
                         "Leave publishing, account changes and infrastructure teardown to the user.",
                         [](const ActionFacts& f) {
                             return anyCommand(f, [](const CommandFacts& c) { return actsOnRemoteAccount(c) || killsUserPrograms(c); });
                         }));

    rules.push_back(rule("secrets.password_in_args", "A password written into a command line (mysql -p..., sshpass -p, user:pass@)",
                         Severity::high, Outcome::ask,
                         "A command has a password written into it, where other programs and the history can see it.",
                         "Let the program ask for the password, or read it from a file or variable the user set up.",
                         [](const ActionFacts& f) { return anyCommand(f, passwordInArgs); }));

    rules.push_back(rule("secrets.process_environment", "Reading another program's environment (/proc/PID/environ)",
                         Severity::high, Outcome::ask,
                         "An AI app wants to read the settings and tokens another program was started with.",
                         "Read only this session's own environment.", [](const ActionFacts& f) {
                             return anyPath(f, [](const PathUse& u) { return !u.writes && isProcessEnvironment(u.path); });
                         }));
    return rules;
}

}  // namespace vardex::engine
