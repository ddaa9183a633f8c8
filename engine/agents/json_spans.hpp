#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

// Where the values of a JSON text lie, so that the engine can add or take away one entry of a
// user's configuration file and leave every other byte as the user wrote it: their spacing,
// their number forms, their escapes, their line endings.
namespace vardex::engine {

struct JsonSpan {
    enum class Type { object, array, scalar };
    struct Member;

    Type type = Type::scalar;
    std::size_t begin = 0;  // the value's first byte
    std::size_t end = 0;    // one past its last byte
    // Parts of objects and arrays, in the text's order; a container nested deeper than the
    // reader looks has none listed and is only ever kept or removed whole.
    std::vector<Member> members;
    std::vector<JsonSpan> elements;
    bool deep = false;

    std::size_t size() const;
    // The value of the member named `key`; null when there is none, or more than one.
    const JsonSpan* find(std::string_view key) const;
    // How often the object names `key`.
    std::size_t count(std::string_view key) const;
    // Where the item at `index` (a member from its key on, or an element) begins.
    std::size_t itemBegin(std::size_t index) const;
    std::size_t itemEnd(std::size_t index) const;
};

struct JsonSpan::Member {
    std::string key;  // unescaped
    std::size_t keyBegin = 0;
    std::size_t keyEnd = 0;
    JsonSpan value;
};

// Out of the class: a member's type is complete only here.
inline std::size_t JsonSpan::size() const { return type == Type::object ? members.size() : elements.size(); }

// The spans of a text that holds one JSON value (the caller has checked it is valid JSON).
// Containers are listed down to `depth` levels; nothing when the text does not read.
std::optional<JsonSpan> spansOf(std::string_view text, int depth = 6);

// The text of a string value, unescaped; nothing when the span is not a string.
std::optional<std::string> stringAt(std::string_view text, const JsonSpan& value);

// The text without the item at `index` of `container`, and without the comma and the space
// that went with it.
std::string withoutItem(std::string_view text, const JsonSpan& container, std::size_t index);

// The text with `value` added as the last item of `container` (a member named `key` in an
// object), written in the text's own manner: its indentation unit and line endings, its
// spacing after a colon, on one line when the whole text is on one line.
std::string withItem(std::string_view text, const JsonSpan& container, const std::optional<std::string>& key,
                     const nlohmann::ordered_json& value);

}  // namespace vardex::engine
