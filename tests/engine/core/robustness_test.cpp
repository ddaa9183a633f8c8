#include <gtest/gtest.h>

#include <functional>

#include "agent_at_work.hpp"
#include "protocol/protocol_json.hpp"
#include "engine/row_name.hpp"

namespace vardex::engine {
namespace {

std::string repeat(std::string_view part, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) out += part;
    return out;
}

// Lines an agent could send to wear the engine down: each must get an answer, and the answer
// must never let through what it could not read.
struct HugeCase {
    const char* name;
    std::function<std::string()> line;
    Outcome outcome;
};

class HugeLines : public ::testing::TestWithParam<HugeCase>, protected AgentAtWork {};

TEST_P(HugeLines, GetAnAnswer) {
    const auto action = shell(GetParam().line());
    EXPECT_EQ(evaluate(action, builtIn_).outcome, GetParam().outcome);

    // Whatever tree the parser keeps must also cross the wire to the daemon and the app.
    const auto& tree = std::get<ShellAction>(action.kind).argvTree;
    const auto encoded = ProtocolJSON::encode(tree);
    ASSERT_TRUE(encoded.ok());
    const auto decoded = ProtocolJSON::decode<ArgvTree>(encoded.value());
    ASSERT_TRUE(decoded.ok()) << decoded.error().description();
    EXPECT_EQ(decoded.value(), tree);
}

constexpr std::size_t many = 100000;

INSTANTIATE_TEST_SUITE_P(Table, HugeLines, ::testing::Values(
        HugeCase{"one_megabyte_word", [] { return "echo " + repeat("a", 1 << 20); }, Outcome::allow},
        HugeCase{"chained_commands", [] { return repeat("true; ", many) + "true"; }, Outcome::ask},
        HugeCase{"chained_commands_hiding_a_wipe", [] { return repeat("true && ", many) + "rm -rf ~"; }, Outcome::deny},
        HugeCase{"piped_commands", [] { return repeat("cat | ", many) + "cat"; }, Outcome::allow},
        HugeCase{"nested_groups", [] { return repeat("(", many) + "ls" + repeat(")", many); }, Outcome::ask},
        HugeCase{"nested_substitutions", [] { return "echo " + repeat("$(", many) + repeat(")", many); }, Outcome::ask},
        HugeCase{"nested_ifs", [] { return repeat("if true; then ", many) + "ls" + repeat("; fi", many); }, Outcome::ask},
        HugeCase{"nested_shells", [] { return repeat("sh -c \"", 40) + "ls" + repeat("\"", 40); }, Outcome::allow},
        HugeCase{"unclosed_quotes", [] { return repeat("'a' \"b\" ", many) + "'"; }, Outcome::ask},
        HugeCase{"here_document_of_many_lines", [] { return "cat <<EOF\n" + repeat("line\n", many) + "EOF"; }, Outcome::allow},
        HugeCase{"many_here_documents", [] { return repeat("cat <<E\nx\nE\n", 5000); }, Outcome::ask},
        HugeCase{"many_wildcards", [] { return "cat ~/.ss" + repeat("*", many) + "/id_rsa"; }, Outcome::deny}), testing::byName);

TEST(GlobMatch, RunsOfStarsFoldIntoOneAndDeepPatternsStayShallow) {
    EXPECT_FALSE(globMatch(repeat("/**", 12) + "/x", repeat("/a", 50000), true));
    EXPECT_TRUE(globMatch("/h/" + repeat("**/", 100000) + ".ssh/id_rsa", "/h/a/b/.ssh/id_rsa", true));
    EXPECT_TRUE(globMatch("/h/.ss" + repeat("*", 100000) + "/id_rsa", "/h/.ssh/id_rsa", true));
    EXPECT_FALSE(globMatch(repeat("/**/a", 100000), "/a/a", true)) << "no stack overflow, only no match";
}

}  // namespace
}  // namespace vardex::engine
