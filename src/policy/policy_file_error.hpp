#pragma once

#include <string>

namespace vardex {

// A policy file that could not be read or written; `description` names the file and the reason.
class PolicyFileError {
public:
    enum class Kind { readFailed, notUTF8, writeFailed };

    static PolicyFileError readFailed(std::string path, std::string reason) {
        return {Kind::readFailed, std::move(path), std::move(reason)};
    }
    static PolicyFileError notUTF8(std::string path) { return {Kind::notUTF8, std::move(path), {}}; }
    static PolicyFileError writeFailed(std::string path, std::string reason) {
        return {Kind::writeFailed, std::move(path), std::move(reason)};
    }

    Kind kind() const { return kind_; }
    const std::string& path() const { return path_; }
    // The system's reason for a read or write failure; empty for text that is not UTF-8.
    const std::string& reason() const { return reason_; }
    std::string description() const;

    friend bool operator==(const PolicyFileError&, const PolicyFileError&) = default;

private:
    PolicyFileError(Kind kind, std::string path, std::string reason)
        : kind_(kind), path_(std::move(path)), reason_(std::move(reason)) {}

    Kind kind_;
    std::string path_;
    std::string reason_;
};

}  // namespace vardex
