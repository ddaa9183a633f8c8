#pragma once

#include <string>
#include <vector>

namespace vardex {

// Why a JSON text could not be read as a protocol record. `description` is the text shown
// or logged; for a missing or mistyped member it names the key.
struct DecodingError {
    enum class Kind { dataCorrupted, keyNotFound, typeMismatch, valueNotFound, malformedJSON };

    Kind kind = Kind::dataCorrupted;
    std::vector<std::string> codingPath;
    std::string message;

    static DecodingError corrupted(std::string message, std::vector<std::string> path = {});
    static DecodingError keyNotFound(const std::string& key, std::vector<std::string> path = {});
    static DecodingError typeMismatch(const std::string& key, const std::string& expected,
                                      std::vector<std::string> path = {});
    static DecodingError valueNotFound(const std::string& key, const std::string& expected,
                                       std::vector<std::string> path = {});
    static DecodingError malformed(std::string detail);

    const std::string& description() const { return message; }

    friend bool operator==(const DecodingError&, const DecodingError&) = default;
};

// Why a record could not be written as JSON (a number that is not finite, text that is not
// UTF-8).
struct EncodingError {
    std::string message;
    const std::string& description() const { return message; }
    friend bool operator==(const EncodingError&, const EncodingError&) = default;
};

}  // namespace vardex
