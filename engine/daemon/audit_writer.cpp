#include "daemon/audit_writer.hpp"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace vardex::engine {

AuditWriter::AuditWriter(std::filesystem::path log, std::size_t capacity)
    : log_(std::move(log)),
      capacity_(capacity),
      readyFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      thread_([this] { work(); }) {}

AuditWriter::~AuditWriter() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
    if (readyFd_ >= 0) ::close(readyFd_);
}

bool AuditWriter::submit(std::uint64_t ticket, AuditRecord record) {
    {
        std::lock_guard lock(mutex_);
        if (waiting_.size() >= capacity_) return false;
        waiting_.emplace_back(ticket, std::move(record));
    }
    changed_.notify_all();
    return true;
}

bool AuditWriter::full() const {
    std::lock_guard lock(mutex_);
    return waiting_.size() >= capacity_;
}

std::vector<AuditWriter::Written> AuditWriter::collect() {
    std::uint64_t count = 0;
    [[maybe_unused]] const auto ignored = ::read(readyFd_, &count, sizeof count);
    std::lock_guard lock(mutex_);
    return std::exchange(written_, {});
}

void AuditWriter::drain() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return waiting_.empty() && !busy_; });
}

void AuditWriter::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
        if (waiting_.empty()) return;
        auto [ticket, record] = std::move(waiting_.front());
        waiting_.pop_front();
        busy_ = true;
        lock.unlock();
        auto appended = appendAuditRecord(log_, record);
        lock.lock();
        busy_ = false;
        written_.push_back({ticket, appended ? std::nullopt : std::optional(appended.error())});
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto ignored = ::write(readyFd_, &one, sizeof one);
        changed_.notify_all();
    }
}

}  // namespace vardex::engine
