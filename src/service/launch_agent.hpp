#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "common/result.hpp"
#include "service/protection_error.hpp"
#include "service/service_backend.hpp"

namespace vardex {

// "gui/<uid>": the per-user domain of the service manager.
std::string launchDomainTarget();
// "gui/<uid>/com.talvenor.vardex".
std::string launchServiceTarget();

// "&", "<", ">" and the double quote as XML entities, the ampersand first; apostrophes stay.
std::string escapeXML(std::string_view text);

// The launch agent's property list for `binary`, with HOME, the socket and the log folder of
// the current environment, and the app the daemon is told about. No line feed follows the
// closing tag.
std::string launchAgentPlist(const std::filesystem::path& binary, bool runAtLoad, const DaemonApp& app);

// Writes the property list whole to `launchAgentPlistURL`, creating its folder first.
Result<void, ServiceError> writeLaunchAgent(const std::filesystem::path& binary, bool runAtLoad, const DaemonApp& app);

// Creates `directory` and its parents; the failure as a ServiceError.
Result<void, ServiceError> ensureServiceDirectory(const std::filesystem::path& directory);
// Replaces `file` whole through a temporary file in the same folder, creating the folder.
Result<void, ServiceError> writeServiceFile(const std::filesystem::path& file, std::string_view text);

}  // namespace vardex
