#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/command_facts.hpp"

namespace vardex::engine {

// Interpreters that take their program as text on the command line (python -c, perl -e, ...).
bool isInterpreter(std::string_view program);
bool isAwk(std::string_view program);

// The program text an interpreter or awk is given on its command line.
std::vector<std::string> inlineCode(const CommandFacts& command);

// Code whose effect cannot be read from its text: it is computed by the shell, reaches the
// network, or runs, loads or deletes something its text does not spell out.
bool codeUnreadable(std::string_view code);
// Words in interpreter code that run programs or write files.
bool codeRunsPrograms(std::string_view code);
bool codeWrites(std::string_view code);

// The name of a module that runs programs or touches files ("child_process", "subprocess"),
// as code names it in an import.
bool isModuleName(std::string_view literal);

// The quoted string literals of a piece of code ('…', "…" and `…`).
std::vector<std::string> stringLiterals(std::string_view code);

// The code with the home folder's many spellings (Dir.home, os.homedir(), getenv("HOME"),
// expanduser("~"), ...) written as the literal "~", and literals joined by concatenation or a
// path join written as one: what the code names can then be read like a shell word.
std::string withHomeSpelled(std::string_view code);

// The shell lines with the effect of the code's deleting calls ("shutil.rmtree(p)" is
// "rm -rf p"), for the path literals it names.
std::vector<std::string> deletionsAsShell(std::string_view code);

}  // namespace vardex::engine
