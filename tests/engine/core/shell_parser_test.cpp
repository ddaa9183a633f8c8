#include <gtest/gtest.h>

#include <string>

#include "core/shell_parser.hpp"
#include "engine/row_name.hpp"

namespace vardex::engine {
namespace {

// A compact rendering of a tree, so the table below reads like the shell it came from:
// cmd[argv] with env=, wrap=, redirections and $(...) substitutions, and
// pipe(...), and(...), or(...), then(...), bg(...), group(...), unparsed.
std::string render(const ArgvTree& tree);

std::string join(const std::vector<std::string>& words) {
    std::string out;
    for (const auto& w : words) out += (out.empty() ? "" : " ") + w;
    return out;
}

std::string render(const ArgvTree::Command& c) {
    std::string out;
    if (!c.env.empty()) out += "env=" + join(c.env) + " ";
    if (!c.wrappers.empty()) out += "wrap=" + join(c.wrappers) + " ";
    out += "cmd[" + join(c.argv) + "]";
    for (const auto& r : c.redirects) out += " " + (r.fd ? std::to_string(*r.fd) : "") + std::string(wireText(r.op)) + ":" + r.target + (r.body ? "{" + *r.body + "}" : "");
    for (const auto& s : c.substitutions) out += " $(" + render(s) + ")";
    return out;
}

std::string render(const ArgvTree& tree) {
    if (const auto* c = std::get_if<ArgvTree::Command>(&tree.node)) return render(*c);
    if (const auto* p = std::get_if<ArgvTree::Pipeline>(&tree.node)) {
        std::string out = "pipe(";
        for (std::size_t i = 0; i < p->commands.size(); ++i) out += (i ? ", " : "") + render(p->commands[i]);
        return out + ")";
    }
    if (const auto* l = std::get_if<ArgvTree::List>(&tree.node)) {
        static const char* names[] = {"and", "or", "then", "bg"};
        return std::string(names[static_cast<int>(l->op)]) + "(" + render(*l->left) + ", " + render(*l->right) + ")";
    }
    if (const auto* g = std::get_if<ArgvTree::Group>(&tree.node)) return "group(" + render(*g->body) + ")";
    return "unparsed";
}

struct ParseCase {
    const char* line;
    const char* tree;
};

class ParseTable : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseTable, BuildsTheTree) {
    EXPECT_EQ(render(parseShell(GetParam().line)), GetParam().tree) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(Shell, ParseTable, ::testing::Values(
        ParseCase{"echo 'a b' \"c $HOME\" d\\ e", "cmd[echo a b c $HOME d e]"},
        ParseCase{"cd x && rm -rf ~", "and(cmd[cd x], cmd[rm -rf ~])"},
        ParseCase{"a || b && c", "and(or(cmd[a], cmd[b]), cmd[c])"},
        ParseCase{"a; b & c", "bg(then(cmd[a], cmd[b]), cmd[c])"},
        ParseCase{"curl -fsSL https://x.sh | sudo bash -s", "pipe(cmd[curl -fsSL https://x.sh], wrap=sudo cmd[bash -s])"},
        ParseCase{"(cd /tmp && make) | tee log", "pipe(group(and(cmd[cd /tmp], cmd[make])), cmd[tee log])"},
        ParseCase{"{ echo a; echo b; } > out", "group(then(then(cmd[echo a], cmd[echo b]), cmd[] write:out))"},
        ParseCase{"echo $(cat ~/.env)", "cmd[echo $(cat ~/.env)] $(cmd[cat ~/.env])"},
        ParseCase{"echo \"$(whoami)\" `date`", "cmd[echo $(whoami) `date`] $(cmd[whoami]) $(cmd[date])"},
        ParseCase{"diff <(sort a) b", "cmd[diff <(sort a) b] $(cmd[sort a])"},
        ParseCase{"cmd < in > out 2>> err", "cmd[cmd] read:in write:out 2append:err"},
        ParseCase{"cat <<< 'hi there'", "cmd[cat] here_string:hi there{hi there}"},
        ParseCase{"cat <<EOF > f\nline 1\nline 2\nEOF\necho done", "then(cmd[cat] here_doc:EOF{line 1\nline 2\n} write:f, cmd[echo done])"},
        ParseCase{"env -u X A=1 nohup time -p rm -r d", "env=A=1 wrap=env nohup time cmd[rm -r d]"},
        ParseCase{"sudo -u root -E timeout -s KILL 5 python3 x.py", "wrap=sudo timeout cmd[python3 x.py]"},
        ParseCase{"find . -name '*.o' | xargs -0 -n 5 rm -f", "pipe(cmd[find . -name *.o], wrap=xargs cmd[rm -f])"},
        ParseCase{"for i in 1 2; do rm -rf ~; done", "group(then(cmd[for i in 1 2], cmd[rm -rf ~]))"},
        ParseCase{"if a; then b; elif c; then d; else e; fi", "group(or(or(and(cmd[a], cmd[b]), and(cmd[c], cmd[d])), cmd[e]))"},
        ParseCase{"while read l; do echo $l; done < in", "group(then(and(cmd[read l], cmd[echo $l]), cmd[] read:in))"},
        ParseCase{"f() { rm -rf /; }", "group(cmd[rm -rf /])"},
        ParseCase{"[[ -f a && $x < 2 ]] && ls", "and(cmd[[[ -f a && $x < 2 ]]], cmd[ls])"},
        ParseCase{"case $(uname) in\n Linux|BSD) a;;\n *) b;;\nesac", "group(then(then(cmd[case $(uname)] $(cmd[uname]), cmd[a]), cmd[b]))"},
        ParseCase{"env -S 'rm -rf ~'", "wrap=env cmd[rm -rf ~]"},
        ParseCase{"ls \\\n -la # all of it", "cmd[ls -la]"},
        ParseCase{"echo \"a\\\nb\" $((1 + 2))", "cmd[echo ab $((1 + 2))]"},
        ParseCase{"function f { rm -rf ~; }", "group(cmd[rm -rf ~])"},
        ParseCase{"nohup -- rm x", "wrap=nohup cmd[rm x]"},
        ParseCase{"function f x", "unparsed"},
        ParseCase{"echo $(ls", "unparsed"},
        ParseCase{"case a in a) b", "unparsed"},
        ParseCase{"if true; then x", "unparsed"},
        ParseCase{"for ((i=0; i<3; i++)); do x; done", "unparsed"},
        ParseCase{"echo 'unclosed", "unparsed"},
        ParseCase{"", "unparsed"}), testing::byText<&ParseCase::line>);

struct FlagCase {
    const char* line;
    std::vector<ObfuscationFlag> flags;
};

class FlagTable : public ::testing::TestWithParam<FlagCase> {};

TEST_P(FlagTable, NamesTheDisguise) { EXPECT_EQ(obfuscationFlags(GetParam().line), GetParam().flags) << GetParam().line; }

INSTANTIATE_TEST_SUITE_P(Shell, FlagTable, ::testing::Values(FlagCase{"ls -la", {}}, FlagCase{"echo aGk= | base64 -d | sh", {ObfuscationFlag::base64Decode}},
                      FlagCase{"printf '\\x72\\x6d' | sh", {ObfuscationFlag::hexEscape}},
                      FlagCase{"echo ${!name}", {ObfuscationFlag::varIndirection}},
                      FlagCase{"$CMD -rf /", {ObfuscationFlag::varIndirection}},
                      FlagCase{"eval \"$(echo cm0= | base64 --decode)\"", {ObfuscationFlag::base64Decode, ObfuscationFlag::evalDynamic}},
                      FlagCase{"bash -c \"$PAYLOAD\"", {ObfuscationFlag::evalDynamic}},
                      FlagCase{"eval ls", {}}), testing::byText<&FlagCase::line>);

TEST(ShellParser, RoughCommandsKeepProgramsOfLoops) {
    EXPECT_EQ(roughCommands("for f in *; do rm -rf ~; done | tee x"),
              (std::vector<std::vector<std::string>>{{"f", "in", "*"}, {"rm", "-rf", "~"}, {"tee", "x"}}));
}

}  // namespace
}  // namespace vardex::engine
