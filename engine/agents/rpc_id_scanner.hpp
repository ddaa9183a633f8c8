#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace vardex::engine {

// Finds the "id" of a JSON-RPC message read piece by piece, holding only the id's own text:
// a line too long to keep can still be answered under its id. Only the members of the
// outermost object count ("id" inside "params" is not the message's).
class RpcIdScanner {
public:
    void feed(std::string_view bytes);

    // The message's id when it is a string or a number; nothing for a missing, null, odd or
    // overlong one, or a line that is not an object.
    std::optional<nlohmann::json> id() const;
    // Whether the outermost object has a "method" member: a request or a notification rather
    // than a response.
    bool hasMethod() const { return sawMethod_; }

private:
    void take(char c);
    void endValue();

    int depth_ = 0;
    bool started_ = false;
    bool object_ = false;        // the outermost value is an object
    bool inString_ = false;
    bool escaped_ = false;
    bool expectKey_ = false;     // at the top level, the next string is a member's name
    bool inKey_ = false;
    std::string key_;            // the member's name as written, up to a few bytes
    bool readingId_ = false;     // between "id": and the end of its value
    bool idOverlong_ = false;
    std::string idText_;
    std::optional<std::string> idFound_;
    bool sawMethod_ = false;
};

}  // namespace vardex::engine
