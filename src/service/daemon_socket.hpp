#pragma once

#include <chrono>
#include <string>

#include "common/result.hpp"
#include "service/protection_error.hpp"

namespace vardex {

// How long the service waits for the daemon. The defaults are the product's; tests shorten them.
struct ServiceTimeouts {
    std::chrono::milliseconds probeConnect{400};
    // After the service manager was told to start the daemon.
    std::chrono::milliseconds afterBootstrap{8000};
    // At the end of every start, whichever way the daemon was started.
    std::chrono::milliseconds afterStart{5000};
    std::chrono::milliseconds pollInterval{100};
};

// Connects to the socket and pings; the connection is closed either way.
bool probeSocket(const std::string& socketPath, std::chrono::milliseconds connectTimeout);

// Deletes the socket file unless a daemon answers on it; a failed delete is ignored.
void removeStaleSocket(const std::string& socketPath, const ServiceTimeouts& timeouts);

// Returns as soon as the daemon answers. A socket file nobody answers on is deleted on the
// way, so a daemon that starts late can bind its socket afresh.
Result<void, ServiceError> waitForSocket(const std::string& socketPath, std::chrono::milliseconds timeout,
                                         const ServiceTimeouts& timeouts);

}  // namespace vardex
