#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace vardex::testing {

// One run of the built `vardex`, with the test's environment. Standard input comes from the
// given text; both output streams go to files so a long run never blocks on a full pipe. The
// process is always waited for: `finish` collects it, and destruction kills one still running.
class EngineRun {
public:
    struct Outcome {
        int exitCode = -1;  // 128 + signal number when a signal ended it
        std::string out;
        std::string err;
    };

    EngineRun(const std::filesystem::path& folder, std::vector<std::string> arguments, const std::string& input = {});
    // Any other program, run the same way.
    EngineRun(const std::filesystem::path& folder, const std::filesystem::path& program,
              std::vector<std::string> arguments, const std::string& input);
    EngineRun(const EngineRun&) = delete;
    EngineRun& operator=(const EngineRun&) = delete;
    ~EngineRun();

    pid_t pid() const { return pid_; }
    // Waits for the end and reads what it printed.
    Outcome finish();

private:
    std::filesystem::path stdout_;
    std::filesystem::path stderr_;
    pid_t pid_ = -1;
};

}  // namespace vardex::testing
