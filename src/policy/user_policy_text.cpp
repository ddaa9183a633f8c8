// The file text: the writer and the line reader that takes it back.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <initializer_list>

#include "policy/user_policy_file.hpp"

namespace vardex {
namespace {

// Every line of a rule block starts with this many spaces.
constexpr std::size_t ruleIndent = 2;

std::string quotedValue(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '"') {
            out += "\\\"";
        } else {
            out.push_back(c);
        }
    }
    out.push_back('"');
    return out;
}

std::string thresholdText(double value) {
    char buffer[512];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
    return std::string(buffer, written.ptr);
}

// Appends one line of the file: the indent, the pieces in order, and a line feed.
void line(std::string& text, std::size_t indent, std::initializer_list<std::string_view> pieces) {
    text.append(indent, ' ');
    for (std::string_view piece : pieces) text.append(piece);
    text.push_back('\n');
}

void appendSiteMatch(std::string& text, const UserRule& rule) {
    const std::string pattern = quotedValue("*" + (rule.values.empty() ? std::string() : rule.values.front()) + "*");
    line(text, ruleIndent + 4, {"any:"});
    line(text, ruleIndent + 6, {"- raw_any:"});
    line(text, ruleIndent + 10, {"- ", pattern});
    line(text, ruleIndent + 6, {"- args_any:"});
    line(text, ruleIndent + 10, {"- ", pattern});
    for (const char* argument : {"/url", "/uri"}) {
        line(text, ruleIndent + 6, {"- mcp:"});
        line(text, ruleIndent + 10, {"arg: ", quotedValue(argument)});
        line(text, ruleIndent + 8, {"paths:"});
        line(text, ruleIndent + 10, {"- ", pattern});
    }
}

void appendRule(std::string& text, const UserRule& rule) {
    line(text, ruleIndent, {"- id: ", quotedValue(rule.id)});
    if (rule.description && !rule.description->empty()) {
        line(text, ruleIndent + 2, {"description: ", quotedValue(*rule.description)});
    }
    line(text, ruleIndent + 2, {"severity: ", rule.severity});
    line(text, ruleIndent + 2, {"decision: ", rule.decision});
    line(text, ruleIndent + 2, {"match:"});
    if (rule.matchKind == UserRule::MatchKind::site) return appendSiteMatch(text, rule);
    const char* key = rule.matchKind == UserRule::MatchKind::program ? "program:"
                      : rule.matchKind == UserRule::MatchKind::raw   ? "raw_any:"
                                                                     : "paths:";
    line(text, ruleIndent + 4, {key});
    for (const std::string& value : rule.values) line(text, ruleIndent + 6, {"- ", quotedValue(value)});
}

// ---- reading ----

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::string_view trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0;;) {
        const std::size_t found = text.find(from, at);
        out.append(text.substr(at, found == std::string_view::npos ? std::string_view::npos : found - at));
        if (found == std::string_view::npos) return out;
        out.append(to);
        at = found + from.size();
    }
}

std::string unquote(std::string_view text) {
    text = trimBlanks(text);
    if (text.size() < 2 || text.front() != '"' || text.back() != '"') return std::string(text);
    return replaceAll(replaceAll(text.substr(1, text.size() - 2), "\\\"", "\""), "\\\\", "\\");
}

std::string unquoteTwice(std::string_view text) { return unquote(unquote(text)); }

template <class Number>
std::optional<Number> unsignedNumber(std::string_view text) {
    Number value{};
    if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<double> decimalNumber(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

class LineReader {
public:
    void read(std::string_view line) {
        const std::string_view trimmed = trimBlanks(line);
        if (trimmed.empty() || trimmed.front() == '#') return;
        const std::size_t indent = std::min(line.find_first_not_of(' '), line.size());

        if (indent > 0 && section_ == Section::defaults) return readDefault(trimmed);
        if (indent > 0 && section_ == Section::disable) {
            if (startsWith(trimmed, "- ")) result_.disable.push_back(unquote(trimmed.substr(2)));
            return;
        }
        if (indent == 0 && readTopLevel(trimmed)) return;
        if (section_ == Section::rules) readRuleLine(trimmed, indent);
    }

    UserPolicyFile finish() {
        finishRule();
        return std::move(result_);
    }

private:
    enum class Section { none, defaults, disable, rules };

    void readDefault(std::string_view trimmed) {
        if (startsWith(trimmed, "ask_timeout_seconds:")) {
            result_.askTimeoutSeconds = unsignedNumber<std::uint64_t>(unquote(restAfter(trimmed, "ask_timeout_seconds:")));
        } else if (startsWith(trimmed, "ask_threshold:")) {
            result_.askThreshold = decimalNumber(unquote(restAfter(trimmed, "ask_threshold:")));
        }
    }

    // True when the line was taken as a top-level line; false hands it to the rules section.
    bool readTopLevel(std::string_view trimmed) {
        if (startsWith(trimmed, "version:")) {
            finishRule();
            result_.version = unsignedNumber<std::uint32_t>(unquote(restAfter(trimmed, "version:"))).value_or(1);
            section_ = Section::none;
        } else if (startsWith(trimmed, "allow_override_critical:")) {
            finishRule();
            result_.allowOverrideCritical = unquote(restAfter(trimmed, "allow_override_critical:")) == "true";
            section_ = Section::none;
        } else if (trimmed == "defaults:" || trimmed == "disable:" || trimmed == "rules:") {
            finishRule();
            section_ = trimmed == "defaults:" ? Section::defaults
                       : trimmed == "disable:" ? Section::disable
                                               : Section::rules;
        } else if (section_ != Section::rules) {
            section_ = Section::none;
        } else {
            return false;
        }
        return true;
    }

    void readRuleLine(std::string_view trimmed, std::size_t indent) {
        using Kind = UserRule::MatchKind;
        if (startsWith(trimmed, "- id:")) {
            finishRule();
            UserRule rule;
            rule.id = unquoteTwice(restAfter(trimmed, "- id:"));
            rule.severity = "critical";
            rule.decision = "deny";
            rule_ = std::move(rule);
            return;
        }
        if (!rule_) return;
        UserRule& rule = *rule_;
        if (startsWith(trimmed, "description:")) {
            rule.description = unquoteTwice(restAfter(trimmed, "description:"));
        } else if (startsWith(trimmed, "severity:")) {
            rule.severity = unquoteTwice(restAfter(trimmed, "severity:"));
        } else if (startsWith(trimmed, "decision:")) {
            rule.decision = unquoteTwice(restAfter(trimmed, "decision:"));
        } else if (startsWith(trimmed, "program:")) {
            listKey_ = "program";
            rule.matchKind = Kind::program;
            const std::string inline_ = unquote(restAfter(trimmed, "program:"));
            if (!inline_.empty() && inline_ != "|") rule.values = {unquote(inline_)};
        } else if (startsWith(trimmed, "raw_any:")) {
            listKey_ = "raw_any";
            rule.matchKind = Kind::raw;
        } else if (startsWith(trimmed, "paths:")) {
            listKey_ = "paths";
            if (rule.matchKind != Kind::site) rule.matchKind = Kind::paths;
        } else if (startsWith(trimmed, "args_any:")) {
            listKey_ = "args_any";
        } else if (startsWith(trimmed, "- ") && indent >= 6) {
            std::string item = unquote(trimmed.substr(2));
            if (!listKey_.empty() && !item.empty() &&
                std::find(rule.values.begin(), rule.values.end(), item) == rule.values.end()) {
                rule.values.push_back(std::move(item));
            }
        } else if (startsWith(rule.id, UserRule::sitePrefix)) {
            rule.matchKind = Kind::site;
        } else if (startsWith(rule.id, UserRule::folderPrefix)) {
            rule.matchKind = Kind::paths;
        }
    }

    // A site rule's domain always comes from its id, never from its patterns.
    void finishRule() {
        if (rule_) {
            UserRule& rule = *rule_;
            if (startsWith(rule.id, UserRule::sitePrefix)) {
                rule.matchKind = UserRule::MatchKind::site;
                if (rule.id.size() > UserRule::sitePrefix.size()) {
                    rule.values = {rule.id.substr(UserRule::sitePrefix.size())};
                }
            } else if (startsWith(rule.id, UserRule::folderPrefix)) {
                rule.matchKind = UserRule::MatchKind::paths;
            }
            result_.rules.push_back(std::move(rule));
        }
        rule_.reset();
        listKey_ = {};
    }

    static std::string_view restAfter(std::string_view trimmed, std::string_view key) {
        return trimmed.substr(trimmed.find(key) + key.size());
    }

    UserPolicyFile result_;
    Section section_ = Section::none;
    std::optional<UserRule> rule_;
    std::string_view listKey_;
};

}  // namespace

std::string UserPolicyFile::yaml() const {
    std::string text;
    line(text, 0, {"version: ", std::to_string(version)});
    if (allowOverrideCritical) line(text, 0, {"allow_override_critical: true"});
    if (askTimeoutSeconds || askThreshold) {
        line(text, 0, {"defaults:"});
        if (askTimeoutSeconds) line(text, 2, {"ask_timeout_seconds: ", std::to_string(*askTimeoutSeconds)});
        if (askThreshold) line(text, 2, {"ask_threshold: ", thresholdText(*askThreshold)});
    }
    if (!disable.empty()) {
        line(text, 0, {"disable:"});
        for (const std::string& id : disable) line(text, 2, {"- ", quotedValue(id)});
    }
    if (!rules.empty()) {
        line(text, 0, {"rules:"});
        for (const UserRule& rule : rules) appendRule(text, rule);
    }
    return text;
}

UserPolicyFile UserPolicyFile::parse(std::string_view text) {
    LineReader reader;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find('\n', start);
        reader.read(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return reader.finish();
}

}  // namespace vardex
