#include "daemon/question_text.hpp"

#include <cmath>
#include <cstdint>
#include <variant>

#include "daemon/action_record.hpp"
#include "protocol/protocol_json.hpp"

namespace vardex::engine {

namespace {

// Every number travels as a double; an amount of 5000 should read as 5000, not 5000.0. The
// decoder bounds the nesting, so the recursion is bounded too.
void writeWholeNumbersAsIntegers(nlohmann::json& value) {
    if (value.is_structured()) {
        for (auto& member : value) writeWholeNumbersAsIntegers(member);
    } else if (value.is_number_float()) {
        const double number = value.get<double>();
        if (std::isfinite(number) && std::trunc(number) == number && std::fabs(number) < 9007199254740992.0) {
            value = static_cast<std::int64_t>(number);
        }
    }
}

bool continuesCharacter(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

std::string shownText(std::string text, std::size_t cap) {
    if (text.size() <= cap) return text;
    // Three quarters for the beginning, which says what the action is, the rest for its end.
    std::size_t head = cap - cap / 4;
    std::size_t tail = text.size() - cap / 4;
    while (head > 0 && continuesCharacter(text[head])) --head;
    while (tail < text.size() && continuesCharacter(text[tail])) ++tail;
    const std::string left = "\n\u2026 (" + std::to_string(tail - head) + " bytes not shown) \u2026\n";
    return text.substr(0, head) + left + text.substr(tail);
}

std::string mcpArgumentsText(const JSONValue& arguments, std::size_t cap) {
    std::string text;
    try {
        nlohmann::json tree = json_form::toJson(arguments);
        writeWholeNumbersAsIntegers(tree);
        text = tree.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
    } catch (const std::exception&) {
        // Only a number JSON cannot write gets here, and an argument not shown must not pass as none.
        return "(the arguments could not be shown)";
    }
    if (text.size() <= cap) return text;
    std::size_t cut = cap;
    while (cut > 0 && continuesCharacter(text[cut])) --cut;
    return text.substr(0, cut) + "\n\u2026 (" + std::to_string(text.size() - cut) + " more bytes of arguments not shown)";
}

std::string questionText(const Action& action) {
    std::string text = summarizeAction(action);
    if (const auto* call = std::get_if<McpToolCallAction>(&action.kind)) text += "\n" + mcpArgumentsText(call->argsJson);
    return text;
}

}  // namespace vardex::engine
