#include "daemon/policy_watch.hpp"

#include <system_error>

namespace vardex::engine {

PolicyWatch::PolicyWatch(std::filesystem::path userPolicyFile) : file_(std::move(userPolicyFile)) {}

PolicyWatch::Stamp PolicyWatch::stamp() const {
    std::error_code code;
    Stamp result;
    const auto status = std::filesystem::status(file_, code);
    if (code || !std::filesystem::exists(status)) return result;
    result.exists = true;
    result.modified = std::filesystem::last_write_time(file_, code);
    if (code) result.modified = {};
    result.size = std::filesystem::file_size(file_, code);
    if (code) result.size = 0;
    return result;
}

Result<void, std::string> PolicyWatch::load() {
    // Taken before reading, so a change made during the read is seen next time.
    const Stamp before = stamp();
    auto loaded = loadEnginePolicy();
    if (!loaded) return fail(loaded.error());
    policy_ = std::move(loaded).value();
    seen_ = before;
    return {};
}

std::optional<std::string> PolicyWatch::refresh() {
    const Stamp now = stamp();
    if (now == seen_) return std::nullopt;
    seen_ = now;
    auto loaded = loadEnginePolicy();
    if (!loaded) return loaded.error();
    policy_ = std::move(loaded).value();
    return std::nullopt;
}

}  // namespace vardex::engine
