#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "protocol/protocol_json.hpp"

namespace vardex {
namespace {

using Object = JSONValue::Object;
using Array = JSONValue::Array;

TEST(JSONValue, DecodesEveryCaseInOrder) {
    auto value = ProtocolJSON::decode<JSONValue>(R"([1, "a", true, null, {"k": []}, 0, false])");
    ASSERT_TRUE(value) << value.error().description();
    JSONValue expected = Array{1.0, "a", true, JSONValue::Null{}, Object{{"k", Array{}}}, 0.0, false};
    EXPECT_EQ(*value, expected);
    // 0 and 1 are numbers, never booleans.
    EXPECT_EQ((*value->asArray())[5].kind(), JSONValue::Kind::number);
}

TEST(JSONValue, EqualityFollowsCaseAndPayload) {
    EXPECT_NE(JSONValue(1.0), JSONValue(true));
    // Member order of the text does not matter.
    auto a = ProtocolJSON::decode<JSONValue>(R"({"a":1,"b":[2]})");
    auto b = ProtocolJSON::decode<JSONValue>(R"({"b":[2.0],"a":1.0})");
    EXPECT_EQ(*a, *b);
}

TEST(JSONValue, LargeIntegersBecomeDoubles) {
    auto value = ProtocolJSON::decode<JSONValue>("9007199254740993");
    ASSERT_TRUE(value);
    EXPECT_EQ(*value->asNumber(), 9007199254740992.0);
}

TEST(JSONValue, NumberBeyondDoubleRangeIsAnError) {
    auto value = ProtocolJSON::decode<JSONValue>("[1e400]");
    ASSERT_FALSE(value);
    EXPECT_NE(value.error().decodingError(), nullptr);
}

class NonFinite : public ::testing::TestWithParam<double> {};

TEST_P(NonFinite, RefusesToEncode) {
    auto encoded = ProtocolJSON::encode(JSONValue(Object{{"x", Array{GetParam()}}}));
    ASSERT_FALSE(encoded);
    EXPECT_NE(encoded.error().encodingError(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Numbers, NonFinite,
                         ::testing::Values(std::nan(""), std::numeric_limits<double>::infinity(),
                                           -std::numeric_limits<double>::infinity()));

TEST(JSONValue, EncodesCompactWithSortedKeys) {
    JSONValue value = Object{{"z", 1.5}, {"a", Object{{"y", true}, {"b", JSONValue::Null{}}}}};
    EXPECT_EQ(*ProtocolJSON::encode(value), R"({"a":{"b":null,"y":true},"z":1.5})");
}

TEST(JsonValueToAny, KeepsNullMembersAndConvertsRecursively) {
    JSONValue value = Object{{"n", JSONValue::Null{}}, {"list", Array{}}, {"x", Array{2.0, "s"}}};
    nlohmann::json any = jsonValueToAny(value);
    ASSERT_TRUE(any.contains("n"));
    EXPECT_TRUE(any["n"].is_null());
    EXPECT_TRUE(any["list"].is_array());
    EXPECT_TRUE(any["list"].empty());
    EXPECT_TRUE(any["x"][0].is_number_float());
    EXPECT_EQ(any["x"][1], "s");
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
