#include "agents/rpc_id_scanner.hpp"

namespace vardex::engine {
namespace {

// Longer ids are not echoed back: no client makes them, and holding them is what the scanner
// is there to avoid.
constexpr std::size_t longestId = 256;
// Enough of a member's name to tell "id" and "method" from every other.
constexpr std::size_t longestKey = 8;

}  // namespace

void RpcIdScanner::feed(std::string_view bytes) {
    for (const char c : bytes) take(c);
}

void RpcIdScanner::endValue() {
    if (readingId_ && !idOverlong_ && !idFound_) idFound_ = idText_;
    readingId_ = false;
    idText_.clear();
}

void RpcIdScanner::take(char c) {
    if (!started_) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') return;
        started_ = true;
        object_ = c == '{';
    }
    if (!object_) return;
    if (readingId_ && depth_ == 1 && !inString_ && (c == ',' || c == '}')) endValue();
    if (readingId_) {
        if (idText_.size() < longestId) {
            idText_.push_back(c);
        } else {
            idOverlong_ = true;
        }
    }
    if (inString_) {
        if (escaped_) {
            escaped_ = false;
        } else if (c == '\\') {
            escaped_ = true;
        } else if (c == '"') {
            inString_ = false;
            if (inKey_) {
                inKey_ = false;
                if (key_ == "method") sawMethod_ = true;
            }
            return;
        }
        if (inKey_ && key_.size() <= longestKey) key_.push_back(c);
        return;
    }
    switch (c) {
    case '"':
        inString_ = true;
        if (depth_ == 1 && expectKey_) {
            inKey_ = true;
            expectKey_ = false;
            key_.clear();
        }
        break;
    case '{':
    case '[':
        if (++depth_ == 1) expectKey_ = true;
        break;
    case '}':
    case ']': --depth_; break;
    case ',':
        if (depth_ == 1) expectKey_ = true;
        break;
    case ':':
        if (depth_ == 1 && key_ == "id") {
            readingId_ = true;
            idOverlong_ = false;
            idText_.clear();
        }
        key_.clear();
        break;
    default: break;
    }
}

std::optional<nlohmann::json> RpcIdScanner::id() const {
    if (!idFound_) return std::nullopt;
    auto id = nlohmann::json::parse(*idFound_, nullptr, false);
    if (id.is_string() || id.is_number()) return id;
    return std::nullopt;
}

}  // namespace vardex::engine
