#pragma once
// The window's request to stop the work under way: set on the GUI thread,
// read by the work on a worker thread at every row.  It reads and assigns as
// a bool, so code that only looks at it need not know it is shared.

#include <atomic>

namespace vex::ui {

class CancelFlag {
public:
    CancelFlag(bool value = false) : value_(value) {}
    CancelFlag(const CancelFlag &other) : value_(other.value_.load()) {}
    CancelFlag &operator=(const CancelFlag &other)
    {
        value_ = other.value_.load();
        return *this;
    }
    CancelFlag &operator=(bool value)
    {
        value_ = value;
        return *this;
    }
    operator bool() const { return value_.load(); }

private:
    std::atomic<bool> value_;
};

} // namespace vex::ui
