#pragma once
// The checks a card image passes before it becomes a card, shared by the
// window and the batch tool so that both refuse the same files with the same
// words.

#include "intake/BmpFile.h"
#include "intake/CardLoading.h"

#include <string>
#include <vector>

namespace vex {

struct OpenedCard {
    DecodeResult Decoded;
    // Things the user is told about a card that opened (indices beyond the
    // colour table, the decoder's own warnings), without the file name.
    std::vector<std::string> Warnings;
};
// Fine when the card can be analysed, else the message for the user (lines
// separated by "\r").
using OpenedImage = Result<OpenedCard>;

// Extension, GIF header, then the whole picture: a file that cannot be
// analysed is refused here, never half-opened.  folder ends with '/'.
OpenedImage openCardImage(const std::string &fileTitle, const std::string &folder, const IntakeOptions &options = {});

} // namespace vex
