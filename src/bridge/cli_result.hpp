#pragma once

#include <cstdint>
#include <string>

namespace vardex {

// What one run of the engine left behind. A non-zero exit status is still a result: the
// program ran, and the caller decides what the status means.
struct CliResult {
    // The exit status; 128 plus the signal number when a signal ended the program.
    std::int32_t exitCode = 0;
    // Each stream as UTF-8 text; a stream that was not UTF-8 reads as empty.
    std::string stdout;
    std::string stderr;

    bool ok() const { return exitCode == 0; }
    // Both streams trimmed of white space and line breaks; standard error follows standard
    // output on a line of its own, and stands alone when standard output is empty.
    std::string combined() const;

    friend bool operator==(const CliResult&, const CliResult&) = default;
};

// Why the engine could not be run at all; `description` is the sentence shown to the user.
class CliError {
public:
    enum class Kind { spawnFailed, binaryMissing, timedOut };

    // `reason` is the system's account of why the program did not start.
    static CliError spawnFailed(std::string reason) { return {Kind::spawnFailed, std::move(reason)}; }
    static CliError binaryMissing() { return {Kind::binaryMissing, {}}; }
    // The program was still running when its time limit passed, and was ended.
    static CliError timedOut() { return {Kind::timedOut, {}}; }

    Kind kind() const { return kind_; }
    const std::string& reason() const { return reason_; }
    std::string description() const;

    friend bool operator==(const CliError&, const CliError&) = default;

private:
    CliError(Kind kind, std::string reason) : kind_(kind), reason_(std::move(reason)) {}

    Kind kind_;
    std::string reason_;
};

}  // namespace vardex
