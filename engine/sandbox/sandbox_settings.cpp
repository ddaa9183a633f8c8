#include "sandbox/sandbox_settings.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "bridge/vardex_paths.hpp"

namespace vardex::engine {
namespace {

constexpr std::size_t largestSettingsBytes = 1 << 20;

bool flag(const nlohmann::json& object, const char* key, bool fallback) {
    const auto found = object.find(key);
    return found != object.end() && found->is_boolean() ? found->get<bool>() : fallback;
}

std::string failure(const std::string& what, const std::filesystem::path& file) {
    return "Cannot " + what + " " + file.string() + ": " + std::strerror(errno) + ".";
}

}  // namespace

SandboxSettings sandboxSettingsFrom(const nlohmann::json& object) {
    SandboxSettings settings;
    if (!object.is_object()) return settings;
    settings.network = flag(object, "network", settings.network);
    settings.sshAgent = flag(object, "ssh_agent", settings.sshAgent);
    settings.required = flag(object, "required", settings.required);
    const auto writable = object.find("writable");
    if (writable != object.end() && writable->is_array()) {
        for (const auto& each : *writable) {
            if (each.is_string()) settings.writable.push_back(each.get<std::string>());
        }
    }
    return settings;
}

nlohmann::json toJson(const SandboxSettings& settings) {
    return {{"network", settings.network},
            {"ssh_agent", settings.sshAgent},
            {"required", settings.required},
            {"writable", settings.writable}};
}

std::filesystem::path sandboxSettingsFile() { return VardexPaths::userConfigDirectory() / "sandbox.json"; }

SandboxSettings loadSandboxSettings(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return {};
    std::string text;
    text.resize(largestSettingsBytes + 1);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (static_cast<std::size_t>(in.gcount()) > largestSettingsBytes) return {};
    text.resize(static_cast<std::size_t>(in.gcount()));
    return sandboxSettingsFrom(nlohmann::json::parse(text, nullptr, false));
}

Result<void, std::string> saveSandboxSettings(const std::filesystem::path& file, const SandboxSettings& settings) {
    if (auto made = VardexPaths::ensureDirectory(file.parent_path()); !made) return fail(made.error().description());
    const std::string text = toJson(settings).dump(2) + "\n";
    std::string temporary = file.string() + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return fail(failure("write beside", file));
    bool written = true;
    for (std::size_t done = 0; written && done < text.size();) {
        const ssize_t count = ::write(fd, text.data() + done, text.size() - done);
        if (count < 0 && errno == EINTR) continue;
        written = count > 0;
        if (written) done += static_cast<std::size_t>(count);
    }
    written = written && ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    if (!written || ::rename(temporary.c_str(), file.c_str()) != 0) {
        auto why = failure("write", file);
        ::unlink(temporary.c_str());
        return fail(std::move(why));
    }
    return {};
}

}  // namespace vardex::engine
