#pragma once
// A progress line on standard error when it is a terminal, redrawn a few
// times a second; nothing at all when the output goes to a file.

#include <chrono>
#include <string>
#include <utility>

namespace vex::batch {

class ProgressLine {
public:
    using Clock = std::chrono::steady_clock;

    explicit ProgressLine(bool quiet);
    // `text` is only asked for when the line is due, a few times a second,
    // or at once when other output has just taken it away; a line that has
    // not changed is not drawn again.
    template <typename Text>
    void update(const Text &text)
    {
        if (!enabled_)
            return;
        const auto now = Clock::now();
        if (!owed_ && now - last_ < std::chrono::milliseconds(200))
            return;
        last_ = now;
        if (std::string line = text(); owed_ || line != drawn_)
            show(std::move(line));
    }
    void show(std::string line);
    // Before other output on the terminal; the line comes back with the
    // next update.
    void clear();
    // For good.
    void end();
    // `message` on standard error after the program's name, in the line's
    // place.
    void say(const std::string &message);

private:
    bool enabled_;
    bool shown_ = false;
    bool owed_ = false;
    std::string drawn_;
    Clock::time_point last_{};
};

} // namespace vex::batch
