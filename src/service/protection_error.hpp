#pragma once

#include <optional>
#include <string>

namespace vardex {

// The background service's own failures; `description` is the sentence shown to the user.
class ProtectionError {
public:
    enum class Kind { launchctlFailed, binaryMissing, daemonDidNotStart };

    // `output` is what the service manager printed, carried for the log but never shown.
    static ProtectionError launchctlFailed(std::string output) { return {Kind::launchctlFailed, std::move(output)}; }
    static ProtectionError binaryMissing() { return {Kind::binaryMissing, {}}; }
    static ProtectionError daemonDidNotStart() { return {Kind::daemonDidNotStart, {}}; }

    Kind kind() const { return kind_; }
    const std::string& output() const { return output_; }
    std::string description() const;

    friend bool operator==(const ProtectionError&, const ProtectionError&) = default;

private:
    ProtectionError(Kind kind, std::string output) : kind_(kind), output_(std::move(output)) {}

    Kind kind_;
    std::string output_;
};

// Why starting the service or changing its login setting failed: one of the service's own
// failures, or the system refusing a folder, a file or a process. The store shows the
// protection sentence for the first and its general sentence for the second.
class ServiceError {
public:
    ServiceError(ProtectionError error) : protection_(std::move(error)) {}
    static ServiceError system(std::string reason) { return ServiceError(std::move(reason)); }

    const std::optional<ProtectionError>& protection() const { return protection_; }
    bool is(ProtectionError::Kind kind) const { return protection_ && protection_->kind() == kind; }
    // The sentence of a ProtectionError, or the system's account of what went wrong.
    std::string description() const { return protection_ ? protection_->description() : reason_; }

    friend bool operator==(const ServiceError&, const ServiceError&) = default;

private:
    explicit ServiceError(std::string reason) : reason_(std::move(reason)) {}

    std::optional<ProtectionError> protection_;
    std::string reason_;
};

}  // namespace vardex
