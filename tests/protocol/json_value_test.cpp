#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "protocol/protocol_json.hpp"

namespace vardex {
namespace {

using Object = JSONValue::Object;
using Array = JSONValue::Array;

TEST(JSONValue, DecodesEveryCaseInOrder) {
    auto value = ProtocolJSON::decode<JSONValue>(R"([1, "a", true, null, {"k": []}, 0, false, 9007199254740993])");
    ASSERT_TRUE(value) << value.error().description();
    // 0 and 1 stay numbers, never booleans; a large integer becomes the nearest double.
    JSONValue expected = Array{1.0, "a", true, JSONValue::Null{}, Object{{"k", Array{}}}, 0.0, false, 9007199254740992.0};
    EXPECT_EQ(*value, expected);
    EXPECT_NE(JSONValue(1.0), JSONValue(true));
    // Member order of the text does not matter.
    EXPECT_EQ(*ProtocolJSON::decode<JSONValue>(R"({"a":1,"b":[2]})"), *ProtocolJSON::decode<JSONValue>(R"({"b":[2.0],"a":1.0})"));
    // Too large for a double is an error, never infinity.
    EXPECT_NE(ProtocolJSON::decode<JSONValue>("[1e400]").error().decodingError(), nullptr);
}

TEST(JSONValue, NonFiniteNumbersAreRefusedOnEncoding) {
    for (const double number : {std::nan(""), std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()}) {
        auto encoded = ProtocolJSON::encode(JSONValue(Object{{"x", Array{number}}}));
        ASSERT_FALSE(encoded) << number;
        EXPECT_NE(encoded.error().encodingError(), nullptr);
    }
}

TEST(JsonValueToAny, KeepsNullMembersAndConvertsRecursively) {
    nlohmann::json any = jsonValueToAny(Object{{"n", JSONValue::Null{}}, {"list", Array{}}, {"x", Array{2.0, "s"}}});
    EXPECT_EQ(any, nlohmann::json::parse(R"({"n":null,"list":[],"x":[2.0,"s"]})"));
    EXPECT_TRUE(any["x"][0].is_number_float());
}

TEST(JSONValue, DeepNestingIsAnErrorNotACrash) {
    std::string deep(100000, '[');
    deep += std::string(100000, ']');
    auto value = ProtocolJSON::decode<JSONValue>(deep);
    ASSERT_FALSE(value);
    EXPECT_NE(value.error().description().find("nesting deeper"), std::string::npos);

    std::string shallow(json_form::maxDepth, '[');
    shallow += std::string(json_form::maxDepth, ']');
    EXPECT_TRUE(ProtocolJSON::decode<JSONValue>(shallow));
}

}  // namespace
}  // namespace vardex
