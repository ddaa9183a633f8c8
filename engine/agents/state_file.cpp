#include "agents/state_file.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "bridge/vardex_paths.hpp"
#include "policy/text_file.hpp"

namespace vardex::engine {

nlohmann::json readStateObject(const std::filesystem::path& file) {
    auto text = readFileBytes(file);
    if (!text) return nlohmann::json::object();
    auto parsed = nlohmann::json::parse(*text, nullptr, false);
    return parsed.is_object() ? parsed : nlohmann::json::object();
}

Result<void, AgentConfigError> writeStateObject(const std::filesystem::path& file, const nlohmann::json& object) {
    if (auto folder = VardexPaths::ensureDirectory(file.parent_path()); !folder) {
        return fail(AgentConfigError::writeFailed(file.string(), folder.error().code.message()));
    }
    if (auto written = writeTextFileAtomically(file, object.dump(2) + "\n"); !written) {
        return fail(AgentConfigError::writeFailed(file.string(), written.error().reason()));
    }
    return {};
}

AgentFilesLock::AgentFilesLock() {
    const auto folder = VardexPaths::userConfigDirectory();
    if (!VardexPaths::ensureDirectory(folder)) return;
    fd_ = ::open((folder / "agents.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return;
    while (::flock(fd_, LOCK_EX) != 0) {
        if (errno != EINTR) {
            ::close(fd_);
            fd_ = -1;
            return;
        }
    }
}

AgentFilesLock::~AgentFilesLock() {
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace vardex::engine
