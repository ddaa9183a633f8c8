#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vardex::engine {

// The MCP servers of a Codex configuration file ([mcp_servers.NAME] tables), read and edited
// line by line so that everything else in the file keeps its exact bytes. Only a server whose
// "command" is a one-line string and whose "args", if any, is a one-line list of strings can be
// edited; other servers are not listed and stay as they are.
class TomlServers {
public:
    struct Server {
        std::string name;
        std::string command;
        std::vector<std::string> args;
        std::size_t commandLine = 0;
        std::optional<std::size_t> argsLine;
    };

    explicit TomlServers(std::string_view text);

    std::vector<Server>& servers() { return servers_; }

    // Rewrites the server's command and arguments in place. Arguments are added on the line
    // after the command when the server had none; an empty list removes the line.
    void setLaunch(Server& server, const std::string& command, const std::vector<std::string>& args);

    std::string text() const;

private:
    struct Line {
        std::string content;  // without its line ending
        std::string ending;   // "\n", "\r\n" or nothing for a last line without one
        bool removed = false;
    };

    std::vector<Line> lines_;
    std::vector<Server> servers_;
};

}  // namespace vardex::engine
