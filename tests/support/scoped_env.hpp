#pragma once

#include <optional>
#include <string>

namespace vardex::testing {

// Sets (or, with no value, unsets) one environment variable for the life of the object and
// puts the old state back afterwards. Only for the test's main thread, before any thread that
// reads the environment is started.
class ScopedEnv {
public:
    ScopedEnv(std::string name, std::optional<std::string> value);
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ~ScopedEnv();

private:
    std::string name_;
    std::optional<std::string> previous_;
};

}  // namespace vardex::testing
