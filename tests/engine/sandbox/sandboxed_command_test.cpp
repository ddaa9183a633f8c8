#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bridge/vardex_cli.hpp"
#include "engine/row_name.hpp"
#include "hooks/sandbox_route.hpp"
#include "sandbox/sandboxed_command.hpp"
#include "sandbox/sandbox_probe.hpp"
#include "support/scoped_env.hpp"
#include "support/temp_folder.hpp"

namespace vardex::engine {
namespace {

// Bytes a shell gives meaning to, and some that are not ASCII.
constexpr std::string_view awkward = "'\"\\$`!*?[]{}()<>|&;#~ \t\n\r=%^-";

std::string randomCommand(std::mt19937& random) {
    std::uniform_int_distribution<int> length(0, 40), pick(0, 3), byte(1, 255), index(0, awkward.size() - 1);
    const std::vector<std::string> unicode{"é", "日本", "😀", "\u200b"};
    std::string command;
    for (int n = length(random); n > 0; --n) {
        switch (pick(random)) {
        case 0: command += awkward[index(random)]; break;
        case 1: command += unicode[static_cast<std::size_t>(index(random)) % unicode.size()]; break;
        default: command += static_cast<char>(byte(random)); break;
        }
    }
    return command;
}

// Every rewritten line, run by bash, starts the engine with "sandbox -- bash -c" and the original
// text as one word, byte for byte. The engine is a script that prints its arguments counted and
// NUL-ended to a file, and one bash runs every line.
TEST(SandboxedCommand, BashHandsTheOriginalTextOverWhole) {
    testing::TempFolder folder;
    const auto out = folder / "words";
    const auto vardex =
        testing::writeScript(folder / "bin dir/va'rdex", "printf '%s\\0' \"$#\" \"$@\" >>'" + out.string() + "'");
    std::mt19937 random(20261207);
    std::vector<std::string> originals{"", "'", "a'b", "\\", "$HOME", "`id`", "\n", "x\\\n", "'\\''"};
    while (originals.size() < 600) originals.push_back(randomCommand(random));
    std::string script;
    for (const auto& original : originals) script += *sandboxedCommand(vardex, original) + "\n";
    testing::writeFile(folder / "all.sh", script);

    auto run = VardexCli::runBinary("/bin/bash", {(folder / "all.sh").string()});
    ASSERT_TRUE(run.ok()) << run.error().description();
    const auto printed = testing::readFile(out).value_or("");
    std::vector<std::string> words;
    for (std::size_t at = 0; at < printed.size();) {
        const auto end = printed.find('\0', at);
        words.push_back(printed.substr(at, end - at));
        at = end + 1;
    }
    std::size_t at = 0;
    for (const auto& original : originals) {
        ASSERT_LT(at + 5, words.size() + 1) << "output ends before " << testing::rowName(original, at);
        ASSERT_EQ(words[at], "5");
        EXPECT_EQ(std::vector<std::string>(words.begin() + static_cast<long>(at) + 1, words.begin() + static_cast<long>(at) + 6),
                  (std::vector<std::string>{"sandbox", "--", "bash", "-c", original}));
        at += 6;
    }
    EXPECT_EQ(at, words.size());
}

// A trial sandbox that worked is not run again for the same bwrap; one that failed always is.
TEST(RememberedProbe, RunsTheTrialOnlyWhenItsProgramChangedOrFailed) {
    testing::TempFolder folder;
    const auto trials = folder / "trials";
    const auto bwrap = folder / "bwrap";
    const auto writeBwrap = [&](int status) {
        testing::writeScript(bwrap, "echo >>'" + trials.string() + "'; exit " + std::to_string(status));
        std::filesystem::last_write_time(bwrap, std::filesystem::last_write_time(bwrap) + std::chrono::seconds(status + 1));
    };
    const auto count = [&] {
        const auto text = testing::readFile(trials).value_or("");
        return static_cast<long>(std::count(text.begin(), text.end(), '\n'));
    };
    testing::ScopedEnv chosen("VARDEX_BWRAP", bwrap.string());
    const auto memory = folder / "state/sandbox-trial";

    std::vector<std::pair<bool, long>> seen;
    const auto probeTwice = [&] {
        for (int call = 0; call < 2; ++call) {
            const bool available = rememberedProbe(memory, "").available();
            seen.emplace_back(available, count());
        }
    };
    writeBwrap(0);
    probeTwice();
    writeBwrap(1);
    probeTwice();
    using Seen = std::vector<std::pair<bool, long>>;
    EXPECT_EQ(seen, (Seen{{true, 1}, {true, 1}, {false, 2}, {false, 3}}));
}

TEST(SandboxedCommand, NoShellWordHoldsANulByte) {
    EXPECT_EQ(sandboxedCommand("/usr/bin/vardex", std::string("ls\0rm", 5)), std::nullopt);
}

struct RouteCase {
    const char* name;
    bool available;
    bool required;
    std::string_view command;
    bool contained;
    bool mayRunUncontained;
};

class SandboxRoute : public ::testing::TestWithParam<RouteCase> {};

TEST_P(SandboxRoute, ContainsWhereItCanAndRefusesOnlyWhereRequired) {
    SandboxSettings settings;
    settings.required = GetParam().required;
    int probes = 0;
    const auto rewrite = sandboxRewrite("/opt/vardex", settings, [&]() -> SandboxAvailability {
        ++probes;
        if (GetParam().available) return {"/usr/bin/bwrap", {}, {}};
        return {std::nullopt, "bwrap is missing", "Install it."};
    });
    Action action;
    action.kind = ShellAction{{}, std::string(GetParam().command), "/", {}};
    for (int call = 0; call < 2; ++call) {
        const auto route = rewrite(action);
        EXPECT_EQ(route.contained.has_value(), GetParam().contained);
        EXPECT_EQ(route.mayRunUncontained, GetParam().mayRunUncontained);
        if (!GetParam().available) {
            EXPECT_NE(route.whyNot.find("bwrap is missing. Install it."), std::string::npos);
        }
    }
    EXPECT_EQ(probes, 1);
}

INSTANTIATE_TEST_SUITE_P(Table, SandboxRoute, ::testing::Values(
    RouteCase{"available", true, false, "ls", true, true},
    RouteCase{"available_and_required", true, true, "ls", true, false},
    RouteCase{"unavailable_runs_as_today", false, false, "ls", false, true},
    RouteCase{"unavailable_and_required_is_refused", false, true, "ls", false, false},
    RouteCase{"nul_byte_is_refused", true, false, std::string_view("ls\0x", 4), false, false}),
    testing::byName);

}  // namespace
}  // namespace vardex::engine
