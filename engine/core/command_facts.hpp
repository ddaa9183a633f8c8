#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/secret_paths.hpp"
#include "protocol/action.hpp"

namespace vardex::engine {

// A path an action names, absolute and normalised.
struct PathUse {
    std::string path;
    bool writes = false;  // written, moved, deleted or otherwise changed rather than only read
    SecretKind secret = SecretKind::none;  // what kind of secret it names, for the home folder
};

// One simple command as the rules see it: the real program behind any wrappers.
struct CommandFacts {
    std::string program;  // last path component of the program, e.g. "rm"
    std::vector<std::string> args;
    std::vector<std::string> wrappers;  // e.g. "sudo", "env", "nohup"
    std::vector<std::string> env;       // leading NAME=value assignments
    std::vector<Redirect> redirects;
    // Paths named by the arguments, redirections and substitutions of this command.
    std::vector<PathUse> paths;
    // Programs run inside its "$( )" substitutions.
    std::vector<std::string> substitutionPrograms;
    // The text fed to its standard input, when the line shows it (an echo or printf before it,
    // a here-document).
    std::optional<std::string> input;
    // The folder it runs in, after any "cd" earlier in the line; empty when that cannot be known.
    std::string cwd;
    // The program comes from an expansion (a variable, a substitution, a wildcard) and cannot
    // be read from the line.
    bool computed = false;
    // A shell or interpreter that runs text fed to it (a pipe, a here-document, a file on its
    // input, xargs) rather than a script it names.
    bool runsFedText = false;
    // Runs a file written earlier in the same line; `runsFetchedFile` when it was downloaded.
    bool runsWrittenFile = false;
    bool runsFetchedFile = false;
    // An interpreter one-liner (python3 -c, perl -e, node -e, ...) whose effect cannot be read
    // from its text (see codeUnreadable).
    bool scriptTouches = false;
    // Sets up a program to run (a git pager, an editor command) that is a file the line does
    // not show.
    bool runsUnseenProgram = false;

    bool hasFlag(std::string_view longFlag, char shortFlag) const;
    // The values given to an option, as "-F v", "-Fv", "--form v" or "--form=v".
    std::vector<std::string_view> optionValues(std::string_view longFlag, char shortFlag) const;
    // The arguments that are not options (nor option values of the listed short options).
    std::vector<std::string_view> operands() const;
};

// A program that downloads ("curl", "wget", ...), and one that runs a command as another user
// ("sudo", "doas", ...): the rules, the facts and the question's breakdown share these lists.
bool fetchesFromNetwork(std::string_view program);
bool raisesPrivilege(std::string_view program);

}  // namespace vardex::engine
