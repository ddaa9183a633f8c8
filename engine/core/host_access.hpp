#pragma once

#include <string>

#include "core/command_facts.hpp"

namespace vardex::engine {

// How far a container reaches into the machine that runs it.
enum class HostReach {
    none,
    privileged,  // privileged mode, the host's process space, the container socket, system folders
    secrets,     // the whole disk, the home folder or a secret place mounted inside
};

HostReach containerHostReach(const CommandFacts& command, const std::string& home);

// Adds the user to a group (usermod -aG, gpasswd -a, adduser USER GROUP): sudo, docker or
// wheel membership is administrator rights for good.
bool changesGroups(const CommandFacts& command);

// The files that say who may log in and who may act as administrator.
bool isAccountFile(const std::string& path);

// A program placed in a folder of the user's PATH under the home folder shadows the real one
// of that name. `alarming` is set for names that handle passwords or the engine.
bool isPathShim(const std::string& path, const std::string& home, bool& alarming);

// Files every Python start runs (usercustomize, sitecustomize, .pth files in site-packages).
bool isPythonStartupFile(const std::string& path);

// Another process's environment, where the tokens it was started with live.
bool isProcessEnvironment(const std::string& path);

}  // namespace vardex::engine
