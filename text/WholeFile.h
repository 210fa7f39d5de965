#pragma once
// Every file the program writes for users to keep (results, reports, scan
// logs, templates, settings, clips) goes through here, so that it appears
// whole or not at all: the bytes go to a new file of a unique name beside
// the target, are flushed to the disc and counted, and only then take the
// target's name.  Whatever fails, an earlier file of that name is left as
// it was and no stray file stays behind.  A symbolic link is followed and
// the file it leads to replaced, the link kept; a terminal, a device such
// as /dev/null, a pipe or an open descriptor (/dev/stdout) is written to as
// it is, never replaced by a file; anything else that is not a regular
// file is refused with the reason.

#include "text/Result.h"
#include "text/Status.h"

#include <string>
#include <string_view>

namespace vex {

// Fine when the file was written, else what went wrong in the system's
// words ("No space left on device", "File too large").
Status writeWholeFile(const std::string &path, std::string_view bytes);

// The file's bytes, for writers that add to a file (scan logs): none when
// it does not exist; fails, saying why, when it exists and cannot be read.
Result<std::string> readWholeFile(const std::string &path);

// Tests only: the next writes fail after `bytes` bytes as a full disc
// would (a negative value switches this off).
void failWritesAfterForTesting(long long bytes);

} // namespace vex
