#include "app/batch/ProgressLine.h"

#include "app/batch/BatchText.h"

#include <unistd.h>

#include <cstdio>

namespace vex::batch {

ProgressLine::ProgressLine(bool quiet) : enabled_(!quiet && isatty(STDERR_FILENO) == 1)
{}

void ProgressLine::show(std::string line)
{
    if (!enabled_)
        return;
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    std::fflush(stderr);
    drawn_ = std::move(line);
    shown_ = true;
    owed_ = false;
}

void ProgressLine::clear()
{
    if (!enabled_ || !shown_)
        return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    shown_ = false;
    owed_ = true;
}

void ProgressLine::end()
{
    clear();
    enabled_ = false;
}

void ProgressLine::say(const std::string &message)
{
    clear();
    std::fprintf(stderr, "vexolin-batch: %s\n", onOneLine(message).c_str());
}

} // namespace vex::batch
