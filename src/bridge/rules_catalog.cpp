#include "bridge/rules_catalog.hpp"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "bridge/engine_json.hpp"
#include "bridge/vardex_cli.hpp"

namespace vardex {
namespace {

using nlohmann::json;
using engine_json::member;
using engine_json::textOr;

// A decimal floating-point text with nothing around it: an optional sign, digits with at most
// one point, an optional exponent. Words such as "inf" and "nan" and hexadecimal are refused.
std::optional<double> decimalText(const std::string& text) {
    std::size_t i = 0;
    const auto digits = [&] {
        const std::size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
        return i - start;
    };
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t mantissa = digits();
    if (i < text.size() && text[i] == '.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0) return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        if (digits() == 0) return std::nullopt;
    }
    if (i != text.size()) return std::nullopt;
    // strtod follows the C locale here: the app never changes LC_NUMERIC. A text too large
    // for a double reads as nothing rather than as infinity.
    const double number = std::strtod(text.c_str(), nullptr);
    if (!std::isfinite(number)) return std::nullopt;
    return number;
}

std::optional<double> numericReadingAt(const json* value, int depth) {
    if (value == nullptr || depth > 64) return std::nullopt;
    if (value->is_number()) return value->get<double>();
    if (value->is_string()) return decimalText(value->get_ref<const std::string&>());
    if (value->is_object()) {
        if (value->contains("value")) return numericReadingAt(member(*value, "value"), depth + 1);
        return numericReadingAt(member(*value, "risk_score"), depth + 1);
    }
    return std::nullopt;
}

CatalogRule readRule(const json& element) {
    CatalogRule rule;
    rule.id = textOr(element, "id", "");
    rule.description = textOr(element, "description", "");
    rule.severity = textOr(element, "severity", rule.severity);
    rule.decision = textOr(element, "decision", rule.decision);
    rule.layer = textOr(element, "layer", rule.layer);
    rule.source = textOr(element, "source", "");
    return rule;
}

CatalogRule readDisabled(const json& element) {
    CatalogRule rule;
    rule.id = textOr(element, "id", "");
    rule.layer = textOr(element, "layer", "user");
    rule.source = textOr(element, "source", "");
    rule.disabled = true;
    return rule;
}

template <class Read>
std::vector<CatalogRule> readList(const json& object, std::string_view key, Read read) {
    std::vector<CatalogRule> list;
    const json* array = member(object, key);
    if (array == nullptr || !array->is_array()) return list;
    for (const auto& element : *array) {
        if (element.is_object()) list.push_back(read(element));
    }
    return list;
}

}  // namespace

std::string CatalogRule::layerLabel() const {
    if (layer == "embedded") return "Built-in";
    if (layer == "user") return "Your file";
    if (layer == "project") return "This project";
    return layer;
}

std::optional<double> numericReading(const json* value) { return numericReadingAt(value, 0); }

std::optional<std::uint64_t> unsignedReading(const json* value) {
    if (value == nullptr) return std::nullopt;
    if (value->is_number_unsigned()) return value->get<std::uint64_t>();
    if (value->is_number_integer()) {
        const auto number = value->get<std::int64_t>();
        if (number >= 0) return static_cast<std::uint64_t>(number);
        return std::nullopt;
    }
    if (value->is_number_float()) {
        const double number = value->get<double>();
        // 2^64 exactly is the first double that no longer fits.
        if (std::isfinite(number) && number >= 0 && number < 18446744073709551616.0) {
            return static_cast<std::uint64_t>(number);
        }
        return std::nullopt;
    }
    if (value->is_string()) {
        std::string_view digits = value->get_ref<const std::string&>();
        if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
        if (digits.empty()) return std::nullopt;
        std::uint64_t number = 0;
        constexpr auto limit = std::numeric_limits<std::uint64_t>::max();
        for (const char c : digits) {
            if (c < '0' || c > '9') return std::nullopt;
            const auto digit = static_cast<std::uint64_t>(c - '0');
            if (number > (limit - digit) / 10) return std::nullopt;
            number = number * 10 + digit;
        }
        return number;
    }
    return std::nullopt;
}

RulesCatalog::RulesCatalog(const json& object) {
    static const json noDefaults = json::object();
    const json* found = member(object, "defaults");
    const json& d = found != nullptr && found->is_object() ? *found : noDefaults;
    defaults.askTimeoutSeconds = unsignedReading(member(d, "ask_timeout_seconds")).value_or(defaults.askTimeoutSeconds);
    defaults.askThreshold = numericReading(member(d, "ask_threshold")).value_or(defaults.askThreshold);
    defaults.unmatched = textOr(d, "unmatched", defaults.unmatched);
    defaults.onTimeout = textOr(d, "on_timeout", defaults.onTimeout);
    defaults.onNoUI = textOr(d, "on_no_ui", defaults.onNoUI);
    rules = readList(object, "rules", readRule);
    disabled = readList(object, "disabled", readDisabled);
}

Result<RulesCatalog, CliError> RulesCatalog::load(std::chrono::milliseconds timeLimit) {
    auto outcome = VardexCli::run({"rules", "list", "--json"}, std::nullopt, timeLimit);
    if (!outcome) return fail(outcome.error());
    const auto document = engine_json::parse(outcome->stdout);
    if (document && document->is_object()) return RulesCatalog(*document);
    if (!outcome->ok()) {
        const std::string words = outcome->combined();
        return fail(CliError::spawnFailed(words.empty() ? "Could not list rules." : words));
    }
    return RulesCatalog();
}

}  // namespace vardex
