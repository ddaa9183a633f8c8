#pragma once

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "support/scoped_env.hpp"
#include "support/temp_home.hpp"

namespace vardex::testing {

// A fake engine in a temporary HOME, found through VARDEX_BIN. It records each argument on a
// line of its own in "args" before running `body`, so tests see the exact argument list.
class FakeEngine {
public:
    explicit FakeEngine(std::string_view body) {
        const auto script = std::string("for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '") +
                            (home / "args").string() + "'\n" + std::string(body);
        binary = writeScript(home / "bin/vardex", script);
        useBinary.emplace("VARDEX_BIN", binary.string());
    }

    // `cat` of a file copied into the home, so the script prints it byte for byte.
    static std::string printing(const std::filesystem::path& fixture, int exitCode = 0) {
        return "cat '" + fixture.string() + "'\nexit " + std::to_string(exitCode) + "\n";
    }

    std::vector<std::string> arguments() const {
        std::ifstream in(home / "args");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    bool ran() const { return std::filesystem::exists(home / "args"); }

    TempHome home;
    std::filesystem::path binary;

private:
    std::optional<ScopedEnv> useBinary;
    ScopedEnv path{"PATH", "/usr/bin:/bin"};
};

inline std::string fixturePath(std::string_view name) {
    return std::string(VARDEX_FIXTURES_DIR) + "/bridge/" + std::string(name);
}

}  // namespace vardex::testing
