#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/command_facts.hpp"

namespace vardex::engine {

// The files, relative to the folder it runs in, whose commands a tool runs: npm, yarn, pnpm
// and bun run package.json's scripts, make a Makefile, just a justfile, direnv allow the
// .envrc, git the hooks under .git/hooks.
std::vector<std::string> filesRunBy(const CommandFacts& command);

// The shell lines a file of that kind holds (`name` is its last path component): package.json
// scripts, Makefile and justfile recipe lines, a whole .envrc or hook.
std::vector<std::string> linesOfRunFile(std::string_view name, std::string_view content);

}  // namespace vardex::engine
