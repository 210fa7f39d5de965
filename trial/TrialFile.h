#pragma once
// The trial file: an SQLite database that holds a whole trial, readable in
// the stock sqlite3 shell.  The stain pixels are not kept: a card's figures
// and hue histogram come back as they were saved, and the image is read
// again from its own file when it is wanted.

#include "text/Result.h"
#include "text/Status.h"
#include "trial/Trial.h"

#include <string>

namespace vex {

// Writes the trial whole or not at all: on any failure an earlier file of
// that name is left byte for byte as it was and nothing stays beside it.
// Card paths at or below the trial's folder are stored relative to it, so
// that the folder can be moved with its cards.
Status saveTrial(const std::string &path, const Trial &trial);

// Reads a trial without changing the file.  A file that is not a trial,
// was saved by a newer version or holds values no save could have written
// is refused with the reason in words.  The cards open with their figures
// but without their colours (ColoursKnown false, no stain pixels) and with
// FileState Present: checkCardFiles tells which files have gone or changed.
Result<Trial> openTrial(const std::string &path);

} // namespace vex
