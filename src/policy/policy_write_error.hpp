#pragma once

#include <string>

namespace vardex {

// Why the user's policy could not be saved; `description` is the sentence shown to the user.
class PolicyWriteError {
public:
    enum class Kind { invalid };

    static PolicyWriteError invalid(std::string message) { return PolicyWriteError(std::move(message)); }

    Kind kind() const { return Kind::invalid; }
    const std::string& message() const { return message_; }
    // The message, or a general sentence when the message is empty.
    std::string description() const;

    friend bool operator==(const PolicyWriteError&, const PolicyWriteError&) = default;

private:
    explicit PolicyWriteError(std::string message) : message_(std::move(message)) {}

    std::string message_;
};

}  // namespace vardex
