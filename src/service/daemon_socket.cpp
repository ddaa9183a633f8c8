#include "service/daemon_socket.hpp"

#include <filesystem>
#include <thread>

#include "protocol/json_lines_client.hpp"

namespace vardex {

bool probeSocket(const std::string& socketPath, std::chrono::milliseconds connectTimeout) {
    JsonLinesClient client(socketPath);
    const bool answered =
        client.connect(std::chrono::duration<double>(connectTimeout).count()).ok() && client.ping().ok();
    client.close();
    return answered;
}

void removeStaleSocket(const std::string& socketPath, const ServiceTimeouts& timeouts) {
    if (probeSocket(socketPath, timeouts.probeConnect)) return;
    std::error_code ignored;
    std::filesystem::remove(socketPath, ignored);
}

Result<void, ServiceError> waitForSocket(const std::string& socketPath, std::chrono::milliseconds timeout,
                                         const ServiceTimeouts& timeouts) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (probeSocket(socketPath, timeouts.probeConnect)) return {};
        std::error_code ignored;
        if (std::filesystem::exists(socketPath, ignored) && !probeSocket(socketPath, timeouts.probeConnect)) {
            std::filesystem::remove(socketPath, ignored);
        }
        std::this_thread::sleep_for(timeouts.pollInterval);
    }
    return fail(ServiceError(ProtectionError::daemonDidNotStart()));
}

}  // namespace vardex
