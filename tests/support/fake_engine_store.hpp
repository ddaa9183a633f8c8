#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "support/store_harness.hpp"

namespace vardex::testing {

// An engine that answers every command the dashboard refresh runs with an empty but valid
// report, accepts every policy, and connects nothing.
inline constexpr std::string_view quietEngine = R"(case "$1" in
  doctor) echo '{"schema_version":1,"status":"ok","hooks":[]}' ;;
  rules) [ "$2" = list ] && echo '{}' ;;
  protect) [ "$2" = list ] && echo '[]' ;;
  connect) echo '{}' ;;
esac
exit 0
)";

// Background work that is kept, not run, so a test chooses when (and in which order) it ends.
class HeldBackground final : public Background {
public:
    void run(WorkPriority, Task task) override { held.push_back(std::move(task)); }
    std::vector<Task> held;
};

// For store tests that drive a fake engine script. Turning protection on gives up within
// milliseconds (the fake engine never opens a socket), so operations that start protection can
// be checked for the rest of their engine runs.
class FakeEngineStoreTest : public ::testing::Test {
protected:
    FakeEngineStoreTest() {
        using namespace std::chrono_literals;
        auto& timeouts = harness.options.service.timeouts;
        timeouts.probeConnect = 20ms;
        timeouts.afterBootstrap = 50ms;
        timeouts.afterStart = 50ms;
        timeouts.pollInterval = 10ms;
    }

    // A store like the harness's whose background work goes to `background` instead.
    std::shared_ptr<VardexStore> makeWith(Background& background) {
        return VardexStore::make({harness.queue, background, harness.preferences, harness.notifier, harness.windows},
                                 harness.options);
    }

    // The engine runs whose argument list begins with `prefix`, in the order they ran.
    std::vector<std::string> callsStartingWith(std::string_view prefix) const {
        std::vector<std::string> found;
        for (auto& call : harness.engineCalls()) {
            if (call.starts_with(prefix)) found.push_back(std::move(call));
        }
        return found;
    }

    StoreHarness harness;
};

}  // namespace vardex::testing
