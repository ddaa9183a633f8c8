#pragma once

#include <filesystem>
#include <string>

#include "core/engine_policy.hpp"
#include "core/evaluator.hpp"
#include "core/path_match.hpp"
#include "core/shell_parser.hpp"
#include "support/temp_home.hpp"

namespace vardex::engine {

// A coding agent at work in ~/project of a fresh home, judged by the built-in rules.
class AgentAtWork {
public:
    AgentAtWork() { std::filesystem::create_directories(home_.path() / "project"); }

    std::string home() const { return absolutePath(home_.path().string(), "", "/"); }

    // The action the agent sends for a shell line.
    Action shell(const std::string& line) const {
        Action action;
        action.context = AgentContext{AgentKind::claude, "s1", home() + "/project", false};
        action.kind = shellAction(line, home() + "/project");
        return action;
    }

    Outcome decide(const std::string& line) const { return evaluate(shell(line), builtIn_).outcome; }

protected:
    testing::TempHome home_;
    EnginePolicy builtIn_ = makeEnginePolicy(home(), UserPolicyFile::empty, "policy.yaml");
};

}  // namespace vardex::engine
