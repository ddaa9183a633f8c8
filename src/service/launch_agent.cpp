#include "service/launch_agent.hpp"

#include <unistd.h>

#include "bridge/vardex_paths.hpp"
#include "policy/text_file.hpp"

namespace vardex {

std::string launchDomainTarget() { return "gui/" + std::to_string(::getuid()); }

std::string launchServiceTarget() { return launchDomainTarget() + "/" + std::string(VardexPaths::launchAgentLabel); }

std::string escapeXML(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '>': escaped += "&gt;"; break;
            case '"': escaped += "&quot;"; break;
            default: escaped += c;
        }
    }
    return escaped;
}

std::string launchAgentPlist(const std::filesystem::path& binary, bool runAtLoad, const DaemonApp& app) {
    const auto logs = VardexPaths::logsDirectory();
    const auto stringLine = [](std::string_view indent, std::string_view value) {
        return std::string(indent) + "<string>" + escapeXML(value) + "</string>\n";
    };
    const auto key = [](std::string_view indent, std::string_view name) {
        return std::string(indent) + "<key>" + std::string(name) + "</key>\n";
    };
    const std::string_view top = "    ";
    const std::string_view inner = "        ";

    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
        "<plist version=\"1.0\">\n"
        "<dict>\n";
    text += key(top, "Label");
    text += std::string(top) + "<string>" + std::string(VardexPaths::launchAgentLabel) + "</string>\n";
    text += key(top, "ProgramArguments");
    text += std::string(top) + "<array>\n";
    text += stringLine(inner, binary.string());
    for (const auto& argument : daemonArguments(app)) text += stringLine(inner, argument);
    text += std::string(top) + "</array>\n";
    text += key(top, "EnvironmentVariables");
    text += std::string(top) + "<dict>\n";
    text += key(inner, "HOME");
    text += stringLine(inner, VardexPaths::homeDirectory().string());
    text += key(inner, "VARDEX_SOCK");
    text += stringLine(inner, VardexPaths::socketPath());
    text += std::string(top) + "</dict>\n";
    text += key(top, "RunAtLoad");
    text += std::string(top) + (runAtLoad ? "<true/>\n" : "<false/>\n");
    text += key(top, "KeepAlive");
    text += std::string(top) + "<true/>\n";
    text += key(top, "ProcessType");
    text += stringLine(top, "Background");
    text += key(top, "WorkingDirectory");
    text += stringLine(top, logs.string());
    text += key(top, "StandardOutPath");
    text += stringLine(top, daemonOutputLog().string());
    text += key(top, "StandardErrorPath");
    text += stringLine(top, daemonErrorLog().string());
    text += "</dict>\n</plist>";
    return text;
}

Result<void, ServiceError> ensureServiceDirectory(const std::filesystem::path& directory) {
    if (auto made = VardexPaths::ensureDirectory(directory); !made) {
        return fail(ServiceError::system(made.error().description()));
    }
    return {};
}

Result<void, ServiceError> writeServiceFile(const std::filesystem::path& file, std::string_view text) {
    if (auto made = ensureServiceDirectory(file.parent_path()); !made) return made;
    if (auto written = writeTextFileAtomically(file, text); !written) {
        return fail(ServiceError::system(written.error().description()));
    }
    return {};
}

Result<void, ServiceError> writeLaunchAgent(const std::filesystem::path& binary, bool runAtLoad, const DaemonApp& app) {
    return writeServiceFile(VardexPaths::launchAgentPlistURL(), launchAgentPlist(binary, runAtLoad, app));
}

}  // namespace vardex
