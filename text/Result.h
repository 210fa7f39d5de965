#pragma once
// What every reader gives back: the value it read, or the Status that says
// why it could not.  A failure may still carry what was learned before it
// failed (a picture's depth, say); the value is otherwise left as made by
// default.

#include "text/Status.h"

#include <string>
#include <utility>

namespace vex {

template <class T>
class [[nodiscard]] Result {
public:
    // Failed, for no reason given yet: what a reader starts from.
    Result() : status_(Status::failure({})) {}
    // Fine.
    Result(T value) : value_(std::move(value)) {}
    // As `status` says; `known` is what is known all the same.
    Result(Status status, T known = T{}) : status_(std::move(status)), value_(std::move(known)) {}

    bool ok() const { return status_.ok(); }
    // Empty when fine.
    const std::string &reason() const { return status_.reason(); }
    const Status &status() const { return status_; }
    void setStatus(Status status) { status_ = std::move(status); }

    T &value() & { return value_; }
    const T &value() const & { return value_; }
    T &&value() && { return std::move(value_); }
    T *operator->() { return &value_; }
    const T *operator->() const { return &value_; }
    T &operator*() & { return value_; }
    const T &operator*() const & { return value_; }

private:
    Status status_;
    T value_{};
};

} // namespace vex
