#pragma once
// Opening card images: the checks a file passes before it becomes a card, the
// messages for those that do not, and the order of the card list.

#include "intake/BmpFile.h"
#include "model/CardList.h"
#include "model/SprayInfo.h"

#include "text/Status.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vex {

inline constexpr const char *LoadDialogTitle = "Load Card Image(s)";
inline constexpr const char *LoadDialogFilter =
    "All Image Files|*.bmp;*.gif;*.tif|Bitmap Files (*.bmp)|*.bmp|GIF Files (*.gif)|*.gif|TIF Files (*.tif)|*.tif";

// What the user has chosen about the files a card may come from.
struct IntakeOptions {
    friend bool operator==(const IntakeOptions &, const IntakeOptions &) = default;
    // Colour pictures (16, 24 and 32-bit bitmaps, PNG, JPEG, colour TIF) are
    // reduced to 256 colours; otherwise they are refused as they always were.
    bool ReduceColours = false;
};

// The open dialog's filter: LoadDialogFilter, with PNG, JPEG and TIFF files
// when colour pictures are reduced.
std::string loadDialogFilter(const IntakeOptions &options);

// The last three characters of a file name, lower-cased: "bmp", "gif", "tif"
// are the card formats (so ".TIF" is one and ".tiff" is not).
std::string cardExtension(const std::string &fileTitle);
bool isCardExtension(const std::string &extension);
// Whether a file of this name may be a card: the three formats above, and
// with colour reduction "png", "jpg", "jpeg" and "tiff" after the last dot.
bool isCardFileName(const std::string &fileTitle, const IntakeOptions &options);
// What follows the last dot, lower-cased; empty when there is no dot.
std::string lowerCaseExtension(const std::string &fileTitle);

// Messages, lines separated by "\r".
std::string unsupportedTypeMessage(const std::string &fileTitle);
std::string alreadyOpenedMessage(const std::string &fileTitle);
std::string colourDepthMessage(int bitsPerPixel);
// On the card's lines of the scan log and the results file: "reduced from 24
// bits to 143 colours" (", approximately" when not every colour was kept).
// How a loaded card's file is decoded again (to show it, or for the colour
// pass): as it was the first time, whatever the preference is now.
inline IntakeOptions intakeOptionsFor(const CardRecord &card)
{
    return IntakeOptions{card.ReducedFromBits != 0};
}

// Empty for a card that was not reduced.
std::string reductionNote(const CardRecord &card);
std::string invalidGifMessage(const std::string &fileTitle);
std::string unreadableFileMessage(const std::string &fileTitle, const std::string &reason);
std::string openCommandErrorMessage(const std::string &description);

// Fine when the path is a regular file that can be opened, else why not in
// the system's words ("the file does not exist", "Permission denied", "Too
// many levels of symbolic links", "it is not a regular file").  A pipe or
// device is refused here, before anything waits on it.
Status checkCardFile(const std::string &path);

// What a file's first bytes say it is, whatever its name says.
enum class PictureKind { Unknown, Bmp, Gif, Tif, Png, Jpeg };
PictureKind sniffPicture(const std::uint8_t *data, std::size_t size);
// The kind a name's extension stands for ("tiff" and "tif" alike, any case).
PictureKind pictureKindOfName(const std::string &fileTitle);
// "BMP", "GIF", "TIF", "PNG", "JPEG"; empty for Unknown.
std::string pictureKindName(PictureKind kind);

// Reasons shared by every decoder, for the user to act on.
inline constexpr const char *DamagedFileReason = "the file is damaged or cut short";
inline constexpr const char *NotEnoughMemoryReason = "there is not enough memory for the image";

// Fine unless a picture of width x height pixels at sourceBits bits per
// pixel is too large, or too large for a file of fileBytes bytes: a few
// hundred bytes may claim a picture of gigabytes, and no card scan
// compresses that well, so such a file is taken as damaged before anything
// is allocated for it.
Status checkPictureSize(std::int64_t width, std::int64_t height, int sourceBits, std::uint64_t fileBytes);

// How many pixels use an index beyond the picture's colour table, and what
// the user is told about them (they are analysed as colours of hue 0).
std::uint64_t pixelsBeyondTable(const std::vector<std::uint8_t> &pixels, int tableEntries);
// The same over the rows of a picture and its own colour table.
std::uint64_t pixelsBeyondTable(const IndexedImage &image);
std::string beyondTableWarning(std::uint64_t pixels, int tableEntries);

// The folder with exactly one trailing '/'.
std::string withTrailingSeparator(const std::string &folder);

// The card that already has this full path (compared exactly), or 0.
int findCardByPath(const CardList &cards, const std::string &filePath);

// The first card with this file title, or 1 when there is none.
int findCardByTitle(const CardList &cards, const std::string &fileTitle);

// Binary order of names (upper case before lower case), or with `natural`
// the order people count in: runs of digits compare by their value, so that
// "card2" comes before "card10".
bool titleBefore(const std::string &a, const std::string &b, bool natural);

// The names of a multiple selection in descending order; loaded in this
// order, the first file by name is loaded last.
std::vector<std::string> descendingLoadOrder(std::vector<std::string> names, bool natural = false);

// Sorts cards from..count by file title in ascending order with the
// exchange sort the program always used; swapped(i, j) is told about every
// exchange so that the card strip can follow.  `from` above 1 keeps a line
// order set by hand and sorts only the cards added after it.
void sortCardsByTitle(CardList &cards, const std::function<void(int, int)> &swapped = {}, bool natural = false,
                      int from = 1);

// What the card keeps of its decoded file: the recorded resolution and how
// its colours were reduced.
void noteDecodedFacts(CardRecord &card, const DecodeResult &decoded);

// A new card for an opened image, at the given resolution.
CardRecord newCardRecord(const std::string &fileTitle, const std::string &folder, std::int32_t width,
                         std::int32_t height, std::int32_t resolution);

} // namespace vex
