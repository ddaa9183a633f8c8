#include "core/policy_validation.hpp"

#include <cmath>

#include <yaml-cpp/yaml.h>

#include "core/path_match.hpp"
#include "protocol/decision.hpp"

namespace vardex::engine {
namespace {

struct Problem {
    std::string text;
};

std::string where(const YAML::Node& node) {
    const auto mark = node.Mark();
    return mark.line >= 0 ? "line " + std::to_string(mark.line + 1) + ": " : "";
}

[[noreturn]] void problem(const YAML::Node& node, const std::string& text) { throw Problem{where(node) + text}; }

std::string scalar(const YAML::Node& node, const std::string& what) {
    if (!node.IsScalar()) problem(node, what + " must be a single value");
    return node.Scalar();
}

void checkWord(const YAML::Node& node, const std::string& what) {
    const auto word = asciiLower(scalar(node, what));
    const bool ok = what == "severity" ? parseWireText<Severity>(word).has_value() : parseWireText<Outcome>(word).has_value();
    if (!ok) problem(node, "unknown " + what + " \"" + node.Scalar() + "\"");
}

void checkList(const YAML::Node& node, const std::string& what) {
    if (!node.IsSequence()) problem(node, what + " must be a list");
    for (const auto& item : node) {
        if (item.IsMap()) continue;  // nested blocks such as "- raw_any:" inside "any:"
        scalar(item, what + " entries");
    }
}

void checkMatch(const YAML::Node& match, int depth) {
    if (depth > 8) problem(match, "match blocks are nested too deeply");
    if (!match.IsMap()) problem(match, "match must be a block of conditions");
    for (const auto& entry : match) {
        const auto key = entry.first.as<std::string>();
        const auto& value = entry.second;
        if (key == "paths" || key == "raw_any" || key == "args_any") {
            checkList(value, key);
        } else if (key == "program") {
            if (!value.IsScalar()) checkList(value, key);
        } else if (key == "any" || key == "all") {
            if (!value.IsSequence()) problem(value, key + " must be a list");
            for (const auto& item : value) checkMatch(item, depth + 1);
        } else if (key == "mcp") {
            if (!value.IsMap()) problem(value, "mcp must be a block");
            checkMatch(value, depth + 1);
        } else if (key == "arg" || key == "server" || key == "tool") {
            scalar(value, key);
        } else {
            problem(entry.first, "unknown match condition \"" + key + "\"");
        }
    }
}

void checkRule(const YAML::Node& rule) {
    if (!rule.IsMap()) problem(rule, "each rule must be a block with an id");
    if (!rule["id"] || scalar(rule["id"], "id").empty()) problem(rule, "a rule has no id");
    for (const auto& entry : rule) {
        const auto key = entry.first.as<std::string>();
        if (key == "id" || key == "description") {
            scalar(entry.second, key);
        } else if (key == "severity" || key == "decision") {
            checkWord(entry.second, key);
        } else if (key == "match") {
            checkMatch(entry.second, 0);
        } else {
            problem(entry.first, "unknown rule member \"" + key + "\"");
        }
    }
    if (!rule["match"]) problem(rule, "rule \"" + rule["id"].Scalar() + "\" has no match block");
}

void checkDefaults(const YAML::Node& defaults) {
    if (!defaults.IsMap()) problem(defaults, "defaults must be a block");
    for (const auto& entry : defaults) {
        const auto key = entry.first.as<std::string>();
        if (key == "ask_timeout_seconds") {
            unsigned long long seconds = 0;
            if (!YAML::convert<unsigned long long>::decode(entry.second, seconds)) {
                problem(entry.second, "ask_timeout_seconds must be a whole number of seconds");
            }
        } else if (key == "ask_threshold") {
            double threshold = 0;
            if (!YAML::convert<double>::decode(entry.second, threshold) || !std::isfinite(threshold) ||
                threshold < 0.0 || threshold > 1.0) {
                problem(entry.second, "ask_threshold must be a number between 0 and 1");
            }
        } else {
            problem(entry.first, "unknown default \"" + key + "\"");
        }
    }
}

void checkDocument(const YAML::Node& root) {
    if (root.IsNull()) return;
    if (!root.IsMap()) problem(root, "the policy must be a block of settings");
    for (const auto& entry : root) {
        const auto key = entry.first.as<std::string>();
        const auto& value = entry.second;
        if (key == "version") {
            unsigned version = 0;
            if (!YAML::convert<unsigned>::decode(value, version) || version != 1) {
                problem(value, "version must be 1");
            }
        } else if (key == "allow_override_critical") {
            bool flag = false;
            if (!YAML::convert<bool>::decode(value, flag)) problem(value, "allow_override_critical must be true or false");
        } else if (key == "defaults") {
            checkDefaults(value);
        } else if (key == "disable") {
            if (!value.IsNull()) checkList(value, "disable");
        } else if (key == "rules") {
            if (value.IsNull()) continue;
            if (!value.IsSequence()) problem(value, "rules must be a list");
            for (const auto& rule : value) checkRule(rule);
        } else {
            problem(entry.first, "unknown setting \"" + key + "\"");
        }
    }
}

}  // namespace

Result<UserPolicyFile, std::string> validateUserPolicy(std::string_view text, const std::string& name) {
    try {
        checkDocument(YAML::Load(std::string(text)));
    } catch (const Problem& p) {
        return fail(name + ": " + p.text + ".");
    } catch (const YAML::Exception& e) {
        const auto line = e.mark.line >= 0 ? "line " + std::to_string(e.mark.line + 1) + ": " : std::string();
        return fail(name + ": " + line + "not valid YAML (" + e.msg + ").");
    }
    return UserPolicyFile::parse(text);
}

}  // namespace vardex::engine
