#pragma once
// Output held back until it can be written in its place: the cards of a
// long run are analysed before the figures of their line, which a JSON
// document puts first.  Held in a temporary file without a name, so that
// ten thousand cards' output takes no memory and a killed run leaves
// nothing behind.

#include "text/Status.h"

#include <cstdio>
#include <string_view>

namespace vex {

class OutputSpool {
public:
    OutputSpool() = default;
    ~OutputSpool();
    OutputSpool(const OutputSpool &) = delete;
    OutputSpool &operator=(const OutputSpool &) = delete;

    // Adds `text` after what is held; the first failure (no temporary
    // file, a full disc) is kept, and nothing more is added after it.
    void add(std::string_view text);
    // Fine until something could not be held.
    const Status &status() const { return status_; }
    // What is held, in order, onto `out`.
    Status copyTo(std::FILE *out);

private:
    int fd_ = -1;
    Status status_;
};

} // namespace vex
