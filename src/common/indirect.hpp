#pragma once

#include <memory>
#include <utility>

namespace vardex {

// A heap-held value with value semantics (copies deep, compares by value), for the
// recursive members of tree types.
template <class T>
class Indirect {
public:
    Indirect(T value) : ptr_(std::make_unique<T>(std::move(value))) {}
    Indirect(const Indirect& other) : ptr_(std::make_unique<T>(*other.ptr_)) {}
    Indirect(Indirect&&) noexcept = default;
    Indirect& operator=(const Indirect& other) {
        if (this != &other) ptr_ = std::make_unique<T>(*other.ptr_);
        return *this;
    }
    Indirect& operator=(Indirect&&) noexcept = default;
    ~Indirect() = default;

    T& operator*() { return *ptr_; }
    const T& operator*() const { return *ptr_; }
    T* operator->() { return ptr_.get(); }
    const T* operator->() const { return ptr_.get(); }

    friend bool operator==(const Indirect& a, const Indirect& b) { return *a.ptr_ == *b.ptr_; }

private:
    std::unique_ptr<T> ptr_;
};

}  // namespace vardex
