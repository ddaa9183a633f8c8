#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "agents/rpc_id_scanner.hpp"
#include "engine/row_name.hpp"

namespace vardex::engine {
namespace {

using nlohmann::json;

struct IdCase {
    const char* name;
    std::string line;
    std::optional<json> id;
    bool method;
};

class RpcIdScannerTest : public ::testing::TestWithParam<IdCase> {};

// The answer may not depend on where the reads cut the line, so each row is fed whole and a
// byte at a time.
TEST_P(RpcIdScannerTest, FindsTheMessagesOwnId) {
    const auto& c = GetParam();
    RpcIdScanner whole;
    whole.feed(c.line);
    RpcIdScanner bytes;
    for (const char each : c.line) bytes.feed(std::string_view(&each, 1));
    for (const auto* scanner : {&whole, &bytes}) {
        EXPECT_EQ(scanner->id(), c.id);
        EXPECT_EQ(scanner->hasMethod(), c.method);
    }
}

const std::string padding(300, 'x');

INSTANTIATE_TEST_SUITE_P(Lines, RpcIdScannerTest, ::testing::Values(
    IdCase{"number_first", R"({"id":7,"method":"tools/call","params":{"x":1}})", json(7), true},
    IdCase{"string_last", R"( {"jsonrpc":"2.0","result":{"text":"a,b}"},"id" : "r-1\"2"})", json("r-1\"2"), false},
    IdCase{"nested_id_is_not_the_messages", R"({"params":{"id":3,"method":"m"},"result":[{"id":4}]})", std::nullopt, false},
    IdCase{"id_as_a_value_is_no_key", R"({"method":"id","x":"id","id":9})", json(9), true},
    IdCase{"longer_key_is_not_id", R"({"identity":1,"methods":2})", std::nullopt, false},
    IdCase{"escaped_quote_in_a_key", R"({"a\"id":1,"id":2})", json(2), false},
    IdCase{"null_id", R"({"id":null,"error":{}})", std::nullopt, false},
    IdCase{"object_id", R"({"id":{"a":1},"method":"m"})", std::nullopt, true},
    IdCase{"overlong_id", R"({"id":")" + padding + R"("})", std::nullopt, false},
    IdCase{"batch", R"([{"id":1,"method":"m"}])", std::nullopt, false},
    IdCase{"cut_short", R"({"method":"m","id":12)", std::nullopt, true},
    IdCase{"not_json", "id: 5", std::nullopt, false}), testing::byName);

}  // namespace
}  // namespace vardex::engine
