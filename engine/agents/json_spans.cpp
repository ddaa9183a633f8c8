#include "agents/json_spans.hpp"

#include <algorithm>

namespace vardex::engine {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

class SpanReader {
public:
    SpanReader(std::string_view text, int depth) : text_(text), depth_(depth) {}

    std::optional<JsonSpan> read() {
        auto value = readValue(0);
        skipBlanks();
        if (!value || at_ != text_.size()) return std::nullopt;
        return value;
    }

private:
    void skipBlanks() {
        while (at_ < text_.size() && isBlank(text_[at_])) ++at_;
    }

    bool next(char c) {
        skipBlanks();
        if (at_ >= text_.size() || text_[at_] != c) return false;
        ++at_;
        return true;
    }

    bool skipString() {
        for (++at_; at_ < text_.size();) {
            const char c = text_[at_++];
            if (c == '\\') {
                ++at_;
            } else if (c == '"') {
                return true;
            }
        }
        return false;
    }

    // A container deeper than the reader lists, skipped without recursion however deep it goes.
    bool skipContainer() {
        std::size_t open = 0;
        do {
            if (at_ >= text_.size()) return false;
            const char c = text_[at_];
            if (c == '"') {
                if (!skipString()) return false;
                continue;
            }
            if (c == '{' || c == '[') ++open;
            if (c == '}' || c == ']') --open;
            ++at_;
        } while (open > 0);
        return true;
    }

    std::optional<JsonSpan> readValue(int level) {
        skipBlanks();
        if (at_ >= text_.size()) return std::nullopt;
        JsonSpan span;
        span.begin = at_;
        const char c = text_[at_];
        if (c == '{' || c == '[') {
            span.type = c == '{' ? JsonSpan::Type::object : JsonSpan::Type::array;
            if (level >= depth_) {
                span.deep = true;
                if (!skipContainer()) return std::nullopt;
            } else if (!readItems(span, level)) {
                return std::nullopt;
            }
        } else if (c == '"') {
            if (!skipString()) return std::nullopt;
        } else {
            while (at_ < text_.size() && !isBlank(text_[at_]) && std::string_view(",]}:").find(text_[at_]) == std::string_view::npos) {
                ++at_;
            }
            if (at_ == span.begin) return std::nullopt;
        }
        span.end = at_;
        return span;
    }

    bool readItems(JsonSpan& span, int level) {
        const bool object = span.type == JsonSpan::Type::object;
        const char close = object ? '}' : ']';
        ++at_;
        if (next(close)) return true;
        for (;;) {
            if (object) {
                skipBlanks();
                if (at_ >= text_.size() || text_[at_] != '"') return false;
                JsonSpan::Member member;
                member.keyBegin = at_;
                if (!skipString()) return false;
                member.keyEnd = at_;
                const auto key = nlohmann::json::parse(text_.substr(member.keyBegin, member.keyEnd - member.keyBegin),
                                                       nullptr, false);
                if (!key.is_string() || !next(':')) return false;
                member.key = key.get<std::string>();
                auto value = readValue(level + 1);
                if (!value) return false;
                member.value = std::move(*value);
                span.members.push_back(std::move(member));
            } else {
                auto value = readValue(level + 1);
                if (!value) return false;
                span.elements.push_back(std::move(*value));
            }
            if (next(close)) return true;
            if (!next(',')) return false;
        }
    }

    std::string_view text_;
    int depth_;
    std::size_t at_ = 0;
};

// The spaces and tabs that begin the line holding `position`.
std::string lineIndent(std::string_view text, std::size_t position) {
    const auto lineStart = text.rfind('\n', position == 0 ? 0 : position - 1);
    std::size_t at = lineStart == std::string_view::npos || position == 0 ? 0 : lineStart + 1;
    std::string indent;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) indent += text[at++];
    return indent;
}

// How the text is written, so that what the engine adds looks as if its author had written it.
struct Manner {
    std::string newline = "\n";
    char indentChar = ' ';
    int indentWidth = 2;
    std::string colon = ": ";
    bool oneLine = false;

    std::string unit() const { return std::string(static_cast<std::size_t>(indentWidth), indentChar); }

    std::string render(const nlohmann::ordered_json& value, const std::string& indent) const {
        if (oneLine) return value.dump();
        std::string rendered;
        for (const char c : value.dump(indentWidth, indentChar)) {
            if (c == '\n') {
                rendered += newline + indent;
            } else {
                rendered += c;
            }
        }
        return rendered;
    }
};

Manner mannerOf(std::string_view text) {
    Manner manner;
    if (text.find("\r\n") != std::string_view::npos) manner.newline = "\r\n";
    for (auto at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1)) {
        const char first = at + 1 < text.size() ? text[at + 1] : '\n';
        if (first != ' ' && first != '\t') continue;
        std::size_t width = 0;
        while (at + 1 + width < text.size() && text[at + 1 + width] == first) ++width;
        manner.indentChar = first;
        manner.indentWidth = static_cast<int>(width);
        break;
    }
    const auto root = spansOf(text, 1);
    if (root && root->type == JsonSpan::Type::object && !root->members.empty()) {
        const auto& member = root->members.front();
        manner.colon = std::string(text.substr(member.keyEnd, member.value.begin - member.keyEnd));
        manner.oneLine = text.substr(root->begin, root->end - root->begin).find('\n') == std::string_view::npos;
    }
    return manner;
}

}  // namespace

const JsonSpan* JsonSpan::find(std::string_view key) const {
    if (count(key) != 1) return nullptr;
    return &std::find_if(members.begin(), members.end(), [&](const Member& m) { return m.key == key; })->value;
}

std::size_t JsonSpan::count(std::string_view key) const {
    return static_cast<std::size_t>(
        std::count_if(members.begin(), members.end(), [&](const Member& m) { return m.key == key; }));
}

std::size_t JsonSpan::itemBegin(std::size_t index) const {
    return type == Type::object ? members.at(index).keyBegin : elements.at(index).begin;
}

std::size_t JsonSpan::itemEnd(std::size_t index) const {
    return type == Type::object ? members.at(index).value.end : elements.at(index).end;
}

std::optional<JsonSpan> spansOf(std::string_view text, int depth) { return SpanReader(text, depth).read(); }

std::optional<std::string> stringAt(std::string_view text, const JsonSpan& value) {
    if (value.type != JsonSpan::Type::scalar || value.begin >= text.size() || text[value.begin] != '"') {
        return std::nullopt;
    }
    const auto parsed = nlohmann::json::parse(text.substr(value.begin, value.end - value.begin), nullptr, false);
    if (!parsed.is_string()) return std::nullopt;
    return parsed.get<std::string>();
}

std::string withoutItem(std::string_view text, const JsonSpan& container, std::size_t index) {
    std::size_t from = 0;
    std::size_t to = 0;
    if (index > 0) {
        // The comma and space before the item go with it.
        from = container.itemEnd(index - 1);
        to = container.itemEnd(index);
    } else if (container.size() > 1) {
        from = container.itemBegin(0);
        to = container.itemBegin(1);
    } else {
        from = container.begin + 1;
        to = container.end - 1;
    }
    std::string result(text.substr(0, from));
    result += text.substr(to);
    return result;
}

std::string withItem(std::string_view text, const JsonSpan& container, const std::optional<std::string>& key,
                     const nlohmann::ordered_json& value) {
    const Manner manner = mannerOf(text);
    const auto item = [&](const std::string& indent) {
        return (key ? nlohmann::json(*key).dump() + manner.colon : std::string()) + manner.render(value, indent);
    };
    std::string result;
    const auto count = container.size();
    if (count > 0) {
        const auto last = container.itemBegin(count - 1);
        // The new item is set apart from the last as the last is from the one before it.
        const std::string separator =
            count > 1 ? std::string(text.substr(container.itemEnd(count - 2), last - container.itemEnd(count - 2)))
                      : "," + std::string(text.substr(container.begin + 1, last - container.begin - 1));
        const auto at = container.itemEnd(count - 1);
        result = std::string(text.substr(0, at)) + separator + item(lineIndent(text, last));
        result += text.substr(at);
        return result;
    }
    result = std::string(text.substr(0, container.begin + 1));
    if (manner.oneLine) {
        result += item({});
    } else {
        const auto outer = lineIndent(text, container.begin);
        const auto inner = outer + manner.unit();
        result += manner.newline + inner + item(inner) + manner.newline + outer;
    }
    result += text.substr(container.end - 1);
    return result;
}

}  // namespace vardex::engine
