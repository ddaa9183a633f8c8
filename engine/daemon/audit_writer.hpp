#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/audit_log.hpp"

namespace vardex::engine {

// Appends the daemon's activity records on a thread of its own, in the order they were given.
// The log's lock is shared with every `vardex` that reads or checks the log; whoever holds it,
// or a slow disk, then holds up only this thread, never the daemon's loop over its peers.
class AuditWriter {
public:
    struct Written {
        std::uint64_t ticket = 0;
        std::optional<std::string> error;  // why the record could not be appended
    };

    AuditWriter(std::filesystem::path log, std::size_t capacity);
    AuditWriter(const AuditWriter&) = delete;
    AuditWriter& operator=(const AuditWriter&) = delete;
    // Writes what was given before stopping.
    ~AuditWriter();

    // False, and nothing kept, when `capacity` records already wait for the lock.
    bool submit(std::uint64_t ticket, AuditRecord record);
    bool full() const;
    // Readable while written records wait to be collected.
    int readyFd() const { return readyFd_; }
    // The records written since the last call, in order.
    std::vector<Written> collect();
    // Waits until every record given so far is written.
    void drain();

private:
    void work();

    std::filesystem::path log_;
    std::size_t capacity_;
    int readyFd_ = -1;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::pair<std::uint64_t, AuditRecord>> waiting_;
    std::vector<Written> written_;
    bool busy_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace vardex::engine
