#include "bridge/agent_install_status.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>

#include "bridge/vardex_paths.hpp"
#include "strings/ui_strings.hpp"
#include "text/unicode_text.hpp"

namespace vardex {
namespace {

namespace fs = std::filesystem;
using Kind = AgentInstallRow::Kind;

struct Family {
    Kind kind;
    AgentKind agent;
    std::string_view id;
    std::string_view configRelative;
    std::vector<std::string_view> applications;
    std::vector<std::string_view> commands;
};

const std::vector<Family>& families() {
    static const std::vector<Family> table{
        {Kind::cursor, AgentKind::cursor, "cursor", ".cursor/hooks.json", {"Cursor.app"}, {"cursor"}},
        {Kind::claude, AgentKind::claude, "claude", ".claude/settings.json", {"Claude.app", "Claude Code.app"}, {"claude"}},
        {Kind::codex, AgentKind::codex, "codex", ".codex/hooks.json", {"Codex.app", "ChatGPT.app"}, {"codex"}},
        {Kind::gemini, AgentKind::gemini, "gemini", ".gemini/settings.json", {}, {"gemini"}},
    };
    return table;
}

const Family* familyOf(Kind kind) {
    for (const auto& family : families()) {
        if (family.kind == kind) return &family;
    }
    return nullptr;
}

bool existsOnDisk(const fs::path& path) {
    std::error_code ignored;
    return fs::exists(path, ignored);
}

std::vector<fs::path> existingMcpConfigs() {
    std::vector<fs::path> found;
    for (auto& candidate : VardexPaths::mcpConfigCandidates()) {
        if (existsOnDisk(candidate)) found.push_back(std::move(candidate));
    }
    return found;
}

constexpr std::string_view mcpTitle = "AI tools and plugins";

AgentInstallRow hookRow(const Family& family, const std::optional<DoctorReport>& doctor) {
    const DoctorHook* hook = nullptr;
    if (doctor) {
        const auto found = std::find_if(doctor->hooks.begin(), doctor->hooks.end(),
                                        [&](const DoctorHook& h) { return h.agent == family.id; });
        if (found != doctor->hooks.end()) hook = &*found;
    }
    AgentInstallRow row;
    row.id = family.id;
    row.title = UIStrings::agentName(family.agent);
    row.kind = family.kind;
    row.detected = AgentInstallStatus::isPresent(family.kind, family.configRelative);
    row.installed = row.detected && hook != nullptr && hook->status == DoctorStatus::ok;
    if (row.installed) {
        row.message = std::string(UIStrings::connectedTo) + row.title;
    } else if (row.detected || hook != nullptr) {
        // A hook the engine knows about means the agent was here, even if it is not found now.
        row.message = "Found. Not connected yet.";
    } else {
        row.message = std::string(UIStrings::appNotInstalledHere);
    }
    return row;
}

// Tool-server settings are small; anything larger is not one an agent reads.
constexpr std::size_t mcpConfigLimit = 4 << 20;

// The text of a regular file of at most `mcpConfigLimit` bytes that is UTF-8. Opened without
// blocking, so a FIFO put in a settings file's place cannot hold the refresh.
std::optional<std::string> readSettingsText(const fs::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return std::nullopt;
    std::optional<std::string> text;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && static_cast<std::size_t>(info.st_size) <= mcpConfigLimit) {
        text.emplace();
        char buffer[16384];
        for (;;) {
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0 || text->size() + static_cast<std::size_t>(got) > mcpConfigLimit) {
                text.reset();
                break;
            }
            if (got == 0) break;
            text->append(buffer, static_cast<std::size_t>(got));
        }
    }
    ::close(fd);
    if (text && !unicode::isValidUTF8(*text)) text.reset();
    return text;
}

bool mentionsProxy(const fs::path& file) {
    const auto text = readSettingsText(file);
    if (!text) return false;
    return text->find("mcp-proxy") != std::string::npos || text->find("mcp_proxy") != std::string::npos;
}

AgentInstallRow mcpRow() {
    AgentInstallRow row;
    row.id = "mcp";
    row.title = mcpTitle;
    row.kind = Kind::mcp;
    const auto configs = existingMcpConfigs();
    if (configs.empty()) {
        row.message = "No AI tools or plugins found.";
        return row;
    }
    row.detected = true;
    row.installed = std::any_of(configs.begin(), configs.end(), mentionsProxy);
    row.message = row.installed ? "AI tools and plugins are connected." : "AI tools found. Not connected yet.";
    return row;
}

}  // namespace

std::string AgentInstallRow::statusLabel() const {
    if (installed || detected) return UIStrings::healthSummary(title, installed);
    return std::string(UIStrings::notOnThisMac);
}

bool AgentInstallStatus::commandExists(std::string_view name) {
    std::vector<std::string> folders{"/usr/local/bin", "/opt/homebrew/bin", "/usr/bin", "/bin"};
    if (const auto path = VardexPaths::env("PATH")) {
        std::size_t start = 0;
        while (start <= path->size()) {
            std::size_t end = path->find(':', start);
            if (end == std::string::npos) end = path->size();
            if (end > start) folders.push_back(path->substr(start, end - start));
            start = end + 1;
        }
    }
    std::vector<std::string> seen;
    for (const auto& folder : folders) {
        if (std::find(seen.begin(), seen.end(), folder) != seen.end()) continue;
        seen.push_back(folder);
        if (VardexPaths::isExecutable(fs::path(folder) / name)) return true;
    }
    return false;
}

bool AgentInstallStatus::isPresent(Kind kind, std::string_view configRelative) {
    const Family* family = familyOf(kind);
    if (family == nullptr) return !existingMcpConfigs().empty();
    const fs::path home = VardexPaths::homeDirectory();
    for (const fs::path& applications : {fs::path("/Applications"), home / "Applications"}) {
        for (const auto app : family->applications) {
            if (existsOnDisk(applications / app)) return true;
        }
    }
    for (const auto command : family->commands) {
        if (commandExists(command)) return true;
    }
    const fs::path config = home / configRelative;
    return existsOnDisk(config) || existsOnDisk(config.parent_path());
}

std::vector<AgentInstallRow> AgentInstallStatus::load(const std::optional<DoctorReport>& doctor) {
    std::vector<AgentInstallRow> rows;
    for (const auto& family : families()) rows.push_back(hookRow(family, doctor));
    rows.push_back(mcpRow());
    return rows;
}

}  // namespace vardex
