#include "core/command_facts.hpp"

#include <algorithm>
#include <array>

namespace vardex::engine {

bool fetchesFromNetwork(std::string_view program) {
    static constexpr std::array<std::string_view, 7> names{"curl", "wget", "fetch", "http", "https", "xh", "aria2c"};
    return std::find(names.begin(), names.end(), program) != names.end();
}

bool raisesPrivilege(std::string_view program) {
    static constexpr std::array<std::string_view, 5> names{"sudo", "doas", "su", "pkexec", "run0"};
    return std::find(names.begin(), names.end(), program) != names.end();
}

bool CommandFacts::hasFlag(std::string_view longFlag, char shortFlag) const {
    for (const auto& arg : args) {
        if (arg == "--") return false;
        if (arg.size() > 2 && arg[0] == '-' && arg[1] == '-') {
            if (std::string_view(arg).substr(2, longFlag.size()) == longFlag &&
                (arg.size() == 2 + longFlag.size() || arg[2 + longFlag.size()] == '=')) {
                return true;
            }
        } else if (arg.size() > 1 && arg[0] == '-' && arg.find(shortFlag, 1) != std::string::npos) {
            return true;
        }
    }
    return false;
}

std::vector<std::string_view> CommandFacts::optionValues(std::string_view longFlag, char shortFlag) const {
    std::vector<std::string_view> out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (arg == "--") break;
        const bool hasNext = i + 1 < args.size();
        if (arg.size() > 2 && arg.substr(0, 2) == "--") {
            const auto name = arg.substr(2);
            if (name == longFlag && hasNext) {
                out.push_back(args[++i]);
            } else if (name.substr(0, longFlag.size()) == longFlag && name.size() > longFlag.size() &&
                       name[longFlag.size()] == '=') {
                out.push_back(name.substr(longFlag.size() + 1));
            }
        } else if (shortFlag != 0 && arg.size() >= 2 && arg[0] == '-' && arg[1] == shortFlag) {
            if (arg.size() > 2) {
                out.push_back(arg.substr(2));
            } else if (hasNext) {
                out.push_back(args[++i]);
            }
        }
    }
    return out;
}

std::vector<std::string_view> CommandFacts::operands() const {
    std::vector<std::string_view> out;
    bool afterDashes = false;
    for (const auto& arg : args) {
        if (!afterDashes && arg == "--") {
            afterDashes = true;
        } else if (afterDashes || arg.empty() || arg.front() != '-') {
            out.push_back(arg);
        }
    }
    return out;
}

}  // namespace vardex::engine
