#pragma once
// The checks a card image passes before it becomes a card, shared by the
// window and the batch tool so that both refuse the same files with the same
// words.

#include "intake/BmpFile.h"

#include <string>

namespace vex {

struct OpenedImage {
    bool Ok = false;
    DecodeResult Decoded;
    std::string Message; // for the user, lines separated by "\r"; empty when Ok
};

// Extension, GIF header, then the whole picture: a file that cannot be
// analysed is refused here, never half-opened.  folder ends with '/'.
OpenedImage openCardImage(const std::string &fileTitle, const std::string &folder);

} // namespace vex
