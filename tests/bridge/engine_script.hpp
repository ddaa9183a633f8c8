#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "support/case_name.hpp"
#include "support/temp_home.hpp"

namespace vardex::testing {

inline std::string fixturePath(std::string_view name) {
    return std::string(VARDEX_FIXTURES_DIR) + "/bridge/" + std::string(name);
}

// A fake engine in a temporary HOME, found through VARDEX_BIN. It records each argument on a
// line of its own in "args" before running `body`, so tests see the exact argument list.
class FakeEngine {
public:
    explicit FakeEngine(std::string_view body)
        : useBinary("VARDEX_BIN", writeScript(home / "bin/vardex", "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" +
                                                                        (home / "args").string() + "'\n" + std::string(body))
                                      .string()) {}

    std::vector<std::string> arguments() const { return readLines(home / "args"); }

    TempHome home;

private:
    ScopedEnv useBinary;
    ScopedEnv path{"PATH", "/usr/bin:/bin"};
};

}  // namespace vardex::testing
