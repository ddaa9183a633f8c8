#pragma once

#include <memory>
#include <utility>

namespace vardex {

// A heap-held value with value semantics (copies deep, compares by value), for the
// recursive members of tree types. A moved-from one holds nothing: it may be copied, compared
// (equal only to another empty one), assigned to and destroyed, but not read.
template <class T>
class Indirect {
public:
    Indirect(T value) : ptr_(std::make_unique<T>(std::move(value))) {}
    Indirect(const Indirect& other) : ptr_(copyOf(other)) {}
    Indirect(Indirect&&) noexcept = default;
    Indirect& operator=(const Indirect& other) {
        if (this != &other) ptr_ = copyOf(other);
        return *this;
    }
    Indirect& operator=(Indirect&&) noexcept = default;
    ~Indirect() = default;

    T& operator*() { return *ptr_; }
    const T& operator*() const { return *ptr_; }
    T* operator->() { return ptr_.get(); }
    const T* operator->() const { return ptr_.get(); }

    friend bool operator==(const Indirect& a, const Indirect& b) {
        if (!a.ptr_ || !b.ptr_) return !a.ptr_ && !b.ptr_;
        return *a.ptr_ == *b.ptr_;
    }

private:
    static std::unique_ptr<T> copyOf(const Indirect& other) {
        return other.ptr_ ? std::make_unique<T>(*other.ptr_) : nullptr;
    }

    std::unique_ptr<T> ptr_;
};

}  // namespace vardex
