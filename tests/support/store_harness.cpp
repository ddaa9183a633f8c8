#include "support/store_harness.hpp"

#include <gtest/gtest.h>

#include "bridge/vardex_paths.hpp"
#include "support/temp_folder.hpp"

namespace vardex::testing {

StoreHarness::StoreHarness() {
    options.service.platform = ServiceBackendKind::directChild;
    // The scripted daemon listens in this very program.
    options.trustedDaemons = std::vector{VardexPaths::runningExecutable().value_or("")};
}

VardexStore& StoreHarness::make() {
    store_ = VardexStore::make({queue, *storeBackground, preferences, notifier, windows, automation}, options);
    return *store_;
}

std::filesystem::path StoreHarness::writeEngine(const std::string& body) {
    const auto calls = home / "engine-calls.txt";
    const auto engine = writeScript(home / "engine-bin" / "vardex",
                                    "echo \"$*\" >> '" + calls.string() + "'\n" + body);
    engine_ = std::make_unique<ScopedEnv>("VARDEX_BIN", engine.string());
    return engine;
}

std::vector<std::string> StoreHarness::engineCalls() const { return readLines(home / "engine-calls.txt"); }

}  // namespace vardex::testing
