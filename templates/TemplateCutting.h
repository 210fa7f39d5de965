#pragma once
// Cutting a scanned sheet of several cards by a template: where the card
// outlines lie, whether they all fit on the sheet, the part of the sheet
// each card keeps, and the clip images written for them.

#include "intake/CardFinder.h" // PixelRect
#include "intake/IndexedImage.h"
#include "templates/TemplateStore.h"
#include "text/Result.h"
#include "text/Status.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vex {

// In inches of the sheet, from its top-left corner.
struct CardOutline {
    double Left = 0.0;
    double Top = 0.0;
    double Width = 0.0;
    double Height = 0.0;
    bool contains(double x, double y) const { return x >= Left && x <= Left + Width && y >= Top && y <= Top + Height; }
};

// Card k (1-based, row by row from the top left) at index k - 1; the whole
// grid moved by the offset.
std::vector<CardOutline> templateOutlines(const TemplateRecord &t, double offsetLeft, double offsetTop);

// Every outline inside a sheet of the given pixels at `resolution` dpi.
bool outlinesFit(const std::vector<CardOutline> &outlines, int resolution, std::int32_t imageWidth,
                 std::int32_t imageHeight);

// The offset of the block of cards along one side of the sheet, in whole
// preview pixels (`pixelsPerInch` to the inch), brought within the sheet so
// that a dragged block never leaves it; a block longer than the sheet is
// left at `current`.
int offsetWithinSheet(int wanted, int current, double blockInches, double sheetInches, double pixelsPerInch);

// The card under a point of the sheet (inches): 1-based, 0 for none.
int cardAt(const std::vector<CardOutline> &outlines, double x, double y);

// What a card keeps: its whole outline in pixels of the sheet, corner and
// size each rounded to whole pixels (halves to even), so that every card of
// a template comes out the same size wherever its outline was moved to.
PixelRect cutRectangle(const CardOutline &outline, int resolution);

// Empty when the clip is the whole rectangle; else, for card `number`, that
// the sheet's edge cut it short and to what size.
std::string cutShortText(int number, const PixelRect &rect, const IndexedImage &clip);

// "clip" + the number in two digits at least + ".bmp".
std::string clipFileName(int number);

// The part of a picture inside the rectangle (clipped to the picture),
// with the picture's own colour table.
IndexedImage cropImage(const IndexedImage &image, const PixelRect &rect);

// Where the cards cut from a sheet are kept: beside the sheet, in a folder
// named after it ("/a/sheet.bmp" gives "/a/sheet-cards/"), so that they last
// as long as the sheet and a saved trial finds them.  Ends with '/'.
std::string clipFolderOf(const std::string &sheetPath);

// Makes the folder when it is not there yet.  Fails, saying why, when
// something that is no folder has its name or it cannot be made or
// written to.
Status prepareClipFolder(const std::string &folder);

// Writes a clip into the folder (ending with '/') through the whole-file
// writer under `name`, or, when a different file already has that name,
// under the first free "name-2", "name-3" ...; a file that already holds
// exactly these bytes is taken as it is.  No other file is ever replaced.
// Gives where the clip is.
Result<std::string> writeClip(const std::string &folder, const std::string &name,
                              const std::vector<std::uint8_t> &bytes);

// An uncompressed 8-bit bitmap of the picture with its colour table.
std::vector<std::uint8_t> encodeIndexedBmp(const IndexedImage &image, int resolution);

} // namespace vex
