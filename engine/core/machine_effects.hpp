#pragma once

#include <string>

#include "core/command_facts.hpp"

namespace vardex::engine {

// Volume and disk tools that destroy what a volume holds: LUKS erase, LVM and ZFS removal,
// file-system makers, ATA and NVMe secure erase, RAID superblock wipes.
bool destroysVolume(const CommandFacts& command);

// Stops the machine or every program on it: power off, reboot, the kernel's magic keys,
// signals to every process.
bool stopsMachine(const CommandFacts& command);

// Deletes the project the agent works in (`project`), an ancestor of it (short of the home
// folder, which has its own rule), or the project's git history.
bool deletesProject(const CommandFacts& command, const std::string& home, const std::string& project);

// Rewrites or expires git history so that commits not pushed anywhere are lost.
bool rewritesHistory(const CommandFacts& command);

// Kills the user's other programs (browsers, mail, the desktop) by name, or all of a user's.
bool killsUserPrograms(const CommandFacts& command);

}  // namespace vardex::engine
