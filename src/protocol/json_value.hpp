#pragma once

#include <map>
#include <string>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

namespace vardex {

// A free-form JSON value (MCP tool arguments, the "action" of an audit line). Every number
// is a double, so integers beyond 2^53 lose precision.
class JSONValue {
public:
    struct Null {
        friend bool operator==(Null, Null) { return true; }
    };
    using Array = std::vector<JSONValue>;
    using Object = std::map<std::string, JSONValue>;
    enum class Kind { boolean, number, string, array, object, null };

    JSONValue() : value_(Null{}) {}
    JSONValue(Null) : value_(Null{}) {}
    JSONValue(bool b) : value_(b) {}
    JSONValue(double d) : value_(d) {}
    JSONValue(std::string s) : value_(std::move(s)) {}
    JSONValue(const char* s) : value_(std::string(s)) {}
    JSONValue(Array a) : value_(std::move(a)) {}
    JSONValue(Object o) : value_(std::move(o)) {}

    // Taking an int would silently pick bool for literals; numbers are doubles.
    JSONValue(int) = delete;

    Kind kind() const { return static_cast<Kind>(value_.index()); }
    bool isNull() const { return kind() == Kind::null; }

    const bool* asBool() const { return std::get_if<bool>(&value_); }
    const double* asNumber() const { return std::get_if<double>(&value_); }
    const std::string* asString() const { return std::get_if<std::string>(&value_); }
    const Array* asArray() const { return std::get_if<Array>(&value_); }
    const Object* asObject() const { return std::get_if<Object>(&value_); }

    friend bool operator==(const JSONValue&, const JSONValue&) = default;

private:
    std::variant<bool, double, std::string, Array, Object, Null> value_;
};

// The generic dynamic tree: JSON null stays a member holding null, never an absent one.
nlohmann::json jsonValueToAny(const JSONValue& value);

}  // namespace vardex
