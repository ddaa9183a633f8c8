// The first byte picks the sample kind, the rest is the file's content; decoding must never
// crash, hang or overflow the stack, whatever the content.
#include <cstdint>
#include <string_view>

#include "protocol/fixture.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static constexpr std::string_view names[] = {"action_f.json", "decision_f.json",
                                                 "approval_request_f.json",
                                                 "approval_response_f.json", "ipc_f.json"};
    std::string_view name = names[data[0] % std::size(names)];
    std::string_view content(reinterpret_cast<const char*>(data) + 1, size - 1);
    (void)vardex::decodeFixture(name, content);
    return 0;
}
