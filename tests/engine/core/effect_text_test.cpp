#include <gtest/gtest.h>

#include "core/configured_programs.hpp"
#include "core/embedded_commands.hpp"
#include "core/interpreter_code.hpp"
#include "core/path_match.hpp"
#include "core/secret_paths.hpp"
#include "core/shell_functions.hpp"
#include "core/shell_parser.hpp"
#include "core/text_pipeline.hpp"
#include "engine/row_name.hpp"

namespace vardex::engine {
namespace {

// Text-only substitutions give the text they print; anything that runs more gives nothing.
struct TextCase {
    const char* line;
    std::optional<std::string> text;
};

class TextPipeline : public ::testing::TestWithParam<TextCase> {};

TEST_P(TextPipeline, PrintsWhatTheShellWould) { EXPECT_EQ(evaluateText(GetParam().line), GetParam().text); }

INSTANTIATE_TEST_SUITE_P(Table, TextPipeline, ::testing::Values(
        TextCase{"echo 2e737368 | xxd -r -p", ".ssh"},
        TextCase{"echo -n a-b | tr -d -", "ab"},
        TextCase{"echo $HOME | rev", std::nullopt},
        TextCase{"curl -s https://x.example", std::nullopt},
        TextCase{"echo a | sh", std::nullopt},
        TextCase{"printf '%q' x", std::nullopt}), testing::byText<&TextCase::line>);

// The lines other programs are handed to run, and whether one of them is a file the line
// does not show.
struct EmbeddedCase {
    const char* line;
    std::vector<std::string> lines;
    bool unseen;
};

class Embedded : public ::testing::TestWithParam<EmbeddedCase> {};

TEST_P(Embedded, AreFoundInTheArguments) {
    const auto tree = parseShell(GetParam().line);
    const auto& command = std::get<ArgvTree::Command>(tree.node);
    CommandFacts facts;
    facts.program = std::string(baseName(command.argv.front()));
    facts.args.assign(command.argv.begin() + 1, command.argv.end());
    facts.env = command.env;
    const auto found = embeddedCommands(facts);
    EXPECT_EQ(found.lines, GetParam().lines);
    EXPECT_EQ(found.unseenProgram, GetParam().unseen);
}

INSTANTIATE_TEST_SUITE_P(Table, Embedded, ::testing::Values(
        EmbeddedCase{"sed -e '/x/ e date' -e 's/a/b/g' f", {"date"}, false},
        EmbeddedCase{"sed 's/.*/echo &/e' f", {}, true},
        EmbeddedCase{"sed -n '1,5p' README.md", {}, false},
        EmbeddedCase{"tmux send-keys -t 0 'ls' Enter", {"ls"}, false},
        EmbeddedCase{"tmux ls", {}, false},
        EmbeddedCase{"ssh -p 2222 -i k host 'ls -la'", {"ls -la"}, false},
        EmbeddedCase{"ssh -o ProxyCommand=/tmp/p host", {"/tmp/p"}, true},
        EmbeddedCase{"watch -n 5 make", {"make"}, false},
        EmbeddedCase{"git -c alias.st=status st", {}, false},
        EmbeddedCase{"git config diff.external /tmp/d", {"/tmp/d"}, true},
        EmbeddedCase{"git config user.name me", {}, false}), testing::byText<&EmbeddedCase::line>);

// The commands a file holds for the tool that runs it.
TEST(RunFiles, HoldTheirCommands) {
    EXPECT_EQ(linesOfRunFile("package.json", R"({"scripts":{"build":"tsc","test":"jest"},"name":"x"})"),
              (std::vector<std::string>{"tsc", "jest"}));
    EXPECT_EQ(linesOfRunFile("package.json", "{not json"), std::vector<std::string>{"{not json"});
    EXPECT_EQ(linesOfRunFile("Makefile", "all: x\n\t@cc -o x x.c\n\t-rm -f y\nz = 1\n"),
              (std::vector<std::string>{"cc -o x x.c", "rm -f y"}));
    EXPECT_EQ(linesOfRunFile("justfile", "build:\n    cargo build\n"), std::vector<std::string>{"cargo build"});
    EXPECT_EQ(linesOfRunFile(".envrc", "export A=1\n"), std::vector<std::string>{"export A=1\n"});
}

// A call is judged with the body of the function the line defined under its name.
TEST(ShellFunctions, AreFoundWithTheirBodies) {
    using Bodies = std::map<std::string, std::string>;
    EXPECT_EQ(shellFunctions(R"(f() { rm -rf "$1"; }; f ~)"), (Bodies{{"f", R"( rm -rf "$1"; )"}}));
    EXPECT_EQ(shellFunctions("function g { echo '}'; }\ng"), (Bodies{{"g", " echo '}'; "}}));
    EXPECT_EQ(shellFunctions("build () {\n make; }"), (Bodies{{"build", "\n make; "}}));
    EXPECT_EQ(shellFunctions("echo $(date) (x) { y }"), Bodies{});
    EXPECT_EQ(shellFunctions("f() { unclosed"), Bodies{});
}

// Interpreter code names the home folder in many ways; each reads as "~".
struct HomeCase {
    const char* code;
    const char* literal;  // a literal the spelled-out code must hold
};

class HomeInCode : public ::testing::TestWithParam<HomeCase> {};

TEST_P(HomeInCode, ReadsAsTilde) {
    const auto literals = stringLiterals(withHomeSpelled(GetParam().code));
    EXPECT_NE(std::find(literals.begin(), literals.end(), GetParam().literal), literals.end()) << withHomeSpelled(GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(Table, HomeInCode, ::testing::Values(
        HomeCase{R"(os.path.join(os.path.expanduser("~"), ".ssh"))", "~/.ssh"},
        HomeCase{R"(open(os.environ["HOME"] + "/.aws/credentials"))", "~/.aws/credentials"},
        HomeCase{R"(path.join(process.env.HOME, ".kube", "config"))", "~/.kube/config"}), testing::byText<&HomeCase::code>);

// Code is asked about only when its effect cannot be read from it.
TEST(InterpreterCode, IsUnreadableOnlyWhenItHidesItsEffect) {
    for (const char* readable : {R"(print(json.load(open("package.json"))["v"]))", R"(system("date"))",
                                 R"(shutil.rmtree("build"))", R"(require("fs").writeFileSync("a", "b"))"}) {
        EXPECT_FALSE(codeUnreadable(readable)) << readable;
    }
    for (const char* hidden : {"os.system(input())", "exec(sys.stdin.read())", "shutil.rmtree(sys.argv[1])",
                               R"(urllib.request.urlopen("https://x.example"))", "$PAYLOAD", "import ctypes"}) {
        EXPECT_TRUE(codeUnreadable(hidden)) << hidden;
    }
}

struct PrinterCase {
    const char* line;
    SecretKind kind;
};

class SecretPrinters : public ::testing::TestWithParam<PrinterCase> {};

TEST_P(SecretPrinters, NameTheKindTheyPrint) {
    const auto words = splitBlanks(GetParam().line);
    EXPECT_EQ(printedSecret(words.front(), {words.begin() + 1, words.end()}), GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(Table, SecretPrinters, ::testing::Values(
        PrinterCase{"gh auth status", SecretKind::none},
        PrinterCase{"kubectl config view", SecretKind::none},
        PrinterCase{"kubectl --context x config view --flatten", SecretKind::cloud},
        PrinterCase{"pass show mail/me", SecretKind::keychain}), testing::byText<&PrinterCase::line>);

}  // namespace
}  // namespace vardex::engine
