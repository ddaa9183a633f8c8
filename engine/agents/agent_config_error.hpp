#pragma once

#include <string>

namespace vardex::engine {

// What stopped a change to a coding agent's configuration file. The file is never left half
// changed: every failure happens before the one atomic write or leaves the old file in place.
class AgentConfigError {
public:
    enum class Kind { readFailed, malformed, writeFailed };

    static AgentConfigError readFailed(std::string path, std::string reason) {
        return {Kind::readFailed, std::move(path), std::move(reason)};
    }
    // `problem` completes a sentence about the file: "is not valid JSON".
    static AgentConfigError malformed(std::string path, std::string problem) {
        return {Kind::malformed, std::move(path), std::move(problem)};
    }
    static AgentConfigError writeFailed(std::string path, std::string reason) {
        return {Kind::writeFailed, std::move(path), std::move(reason)};
    }

    Kind kind() const { return kind_; }
    const std::string& path() const { return path_; }
    std::string description() const;

    friend bool operator==(const AgentConfigError&, const AgentConfigError&) = default;

private:
    AgentConfigError(Kind kind, std::string path, std::string detail)
        : kind_(kind), path_(std::move(path)), detail_(std::move(detail)) {}

    Kind kind_;
    std::string path_;
    std::string detail_;
};

// A problem found in a file's text, before the file's name is known to the message.
struct ConfigProblem {
    std::string problem;
};

}  // namespace vardex::engine
