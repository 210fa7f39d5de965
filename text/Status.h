#pragma once
// The one way the core says that something failed: a Status is either fine
// or holds the reason, in words for the user.  It cannot be ignored.

#include <string>
#include <utility>

namespace vex {

class [[nodiscard]] Status {
public:
    Status() = default; // fine
    static Status failure(std::string reason)
    {
        Status s;
        s.failed_ = true;
        s.reason_ = std::move(reason);
        return s;
    }
    bool ok() const { return !failed_; }
    // Empty when fine.
    const std::string &reason() const { return reason_; }
    // For work of several steps: another step's failure, its reason on a
    // line of its own ("\r" between reasons, as the program's messages).
    void add(const Status &other)
    {
        if (other.ok())
            return;
        reason_ += (failed_ ? "\r" : "") + other.reason_;
        failed_ = true;
    }

private:
    bool failed_ = false;
    std::string reason_;
};

} // namespace vex
