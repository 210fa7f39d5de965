#pragma once
// Whether the image files of an opened trial are still the ones its cards
// were analysed from: a card's file may have been moved, deleted or
// overwritten since the trial was saved.

#include "intake/BmpFile.h"
#include "text/Status.h"
#include "trial/Trial.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace vex {

// The SHA-256 of the file's bytes in lower-case hex; empty, and `error`
// set in words, when it cannot be read.
std::string fileSha256(const std::string &path, std::string &error);

// Missing when the file is not there, is not a regular file or cannot be
// read; Changed when its size or content differs from what the card noted
// (each compared only once known); else Present.
CardFileState cardFileState(const CardRecord &card);

// Sets the FileState of every card of every pass, calling progress(done,
// total) after each card.  When progress returns true the check stops: the
// cards not yet checked keep the state they had.
void checkCardFiles(Trial &trial, const std::function<bool(int done, int total)> &progress = {});

// The picture a card whose file is missing was cut from, when that picture
// is still there to cut it again from; else empty.
std::string pictureToCutAgain(const CardRecord &card);

// Notes the size and SHA-256 of the card's file as it is now, for a card
// about to be saved whose content is not known yet.
Status noteCardFile(CardRecord &card);

// Notes the size and SHA-256 of the very bytes the card's picture was decoded
// from (decoded->Source), so that they describe the version analysed even
// when the file has been replaced since.  Fails, noting nothing, when those
// bytes were rewritten in place meanwhile; a picture without a Source is
// noted as its file is now.
Status noteCardFile(CardRecord &card, const DecodeResult &decoded);

// The SHA-256 of the bytes in lower-case hex; empty when it cannot be computed.
std::string sha256Hex(const std::uint8_t *data, std::size_t size);

// A digest's bytes in lower-case hex, as card files and trials store them.
std::string hexDigits(const unsigned char *bytes, std::size_t size);

} // namespace vex
