#include "protocol/decoding_error.hpp"

namespace vardex {

DecodingError DecodingError::corrupted(std::string message, std::vector<std::string> path) {
    return {Kind::dataCorrupted, std::move(path), std::move(message)};
}

DecodingError DecodingError::keyNotFound(const std::string& key, std::vector<std::string> path) {
    return {Kind::keyNotFound, std::move(path), "missing member \"" + key + "\""};
}

DecodingError DecodingError::typeMismatch(const std::string& key, const std::string& expected,
                                          std::vector<std::string> path) {
    return {Kind::typeMismatch, std::move(path),
            "member \"" + key + "\" is not " + expected};
}

DecodingError DecodingError::valueNotFound(const std::string& key, const std::string& expected,
                                           std::vector<std::string> path) {
    return {Kind::valueNotFound, std::move(path),
            "member \"" + key + "\" is null, expected " + expected};
}

DecodingError DecodingError::malformed(std::string detail) {
    return {Kind::malformedJSON, {}, "malformed JSON: " + std::move(detail)};
}

}  // namespace vardex
