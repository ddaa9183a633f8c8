// Any bytes given to decodeLine either decode or fail cleanly; a decoded message must encode
// and decode back to itself.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "protocol/line_codec.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    auto message = vardex::decodeLine(text);
    if (!message) return 0;
    auto line = vardex::encodeLine(*message);
    if (!line) std::abort();
    auto again = vardex::decodeLine(*line);
    if (!again || !(*again == *message)) std::abort();
    return 0;
}
