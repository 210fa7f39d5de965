#pragma once
// The record of one opened card image, and the card list.  Card indices are
// 1-based everywhere in the program; the list hides the 0-based vector.

#include "model/CardSource.h"
#include "model/LargeBuffer.h"
#include "model/ScanSummary.h"
#include "model/SizeClass.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vex {

// A pixel that is neither background nor dither colour.  Rows and columns are
// 32-bit so that images taller or wider than 32767 pixels stay correct.
struct ForegroundPixel {
    friend bool operator==(const ForegroundPixel &, const ForegroundPixel &) = default;
    std::uint8_t Hue = 0;
    std::int32_t Row = 0;    // 1 = top image row
    std::int32_t Column = 0; // 1 = leftmost
    std::uint8_t PaletteIndex = 0;
};

// The stain pixels of a card in file order (bottom row first, left to right
// within a row), held as runs of adjacent pixels with one index byte per
// pixel: a large card has tens of millions of them.  Walking it yields the
// same records, one per pixel, as a plain list would, then the closing record.
class ForegroundPixelList {
public:
    friend bool operator==(const ForegroundPixelList &, const ForegroundPixelList &) = default;
    // A run's index bytes follow those of the runs before it in indices();
    // keeping no offset per run saves a third of the list on a card of
    // many specks, where every pixel is a run of its own.
    struct Run {
        friend bool operator==(const Run &, const Run &) = default;
        std::int32_t Row = 0;    // 1 = top image row
        std::int32_t Column = 0; // first column of the run, 1-based
        std::int32_t Length = 0;
    };

    void clear()
    {
        runs_.clear();
        indices_.clear();
        closing_ = {};
        closed_ = false;
    }
    // The hue of each palette index, taken from the card's PaletteHue.
    void setHueTable(const std::array<std::uint8_t, 256> &hues) { hue_ = hues; }
    const std::array<std::uint8_t, 256> &hueTable() const { return hue_; }

    void reserve(std::size_t runs, std::size_t pixels)
    {
        reserveLarge(runs_, runs);
        reserveLarge(indices_, pixels);
    }
    void appendRun(std::int32_t row, std::int32_t column, const std::uint8_t *indices, std::int32_t length)
    {
        runs_.push_back(Run{row, column, length});
        indices_.insert(indices_.end(), indices, indices + length);
    }
    // For a writer that counted the list first: exactly `runs` runs and
    // `pixels` index bytes, to be written in order through the pointers
    // returned.  A copy of a run's index bytes by whole words may run on
    // into the room of the next; a million calls to append one short run
    // each cost more than the copying itself.
    struct Room {
        Run *Runs = nullptr;
        std::uint8_t *Indices = nullptr;
    };
    Room makeRoom(std::size_t runs, std::size_t pixels)
    {
        clear();
        reserve(runs, pixels);
        runs_.resize(runs);
        indices_.resize(pixels);
        return Room{runs_.data(), indices_.data()};
    }
    // The first `runs` runs and `pixels` index bytes of the room, where the
    // writer wrote less than it had counted.
    void keepWritten(std::size_t runs, std::size_t pixels)
    {
        runs_.resize(std::min(runs, runs_.size()));
        indices_.resize(std::min(pixels, indices_.size()));
    }
    void setClosing(const ForegroundPixel &closing)
    {
        closing_ = closing;
        closed_ = true;
    }

    // Pixels, the closing record excluded.
    std::size_t size() const { return indices_.size(); }
    bool closed() const { return closed_; }
    const ForegroundPixel &closing() const { return closing_; }
    const std::vector<Run> &runs() const { return runs_; }
    const std::vector<std::uint8_t> &indices() const { return indices_; }

    // Calls f(const ForegroundPixel &) for every pixel in order, closing record excluded.
    template <class F>
    void forEach(F &&f) const
    {
        ForegroundPixel p;
        std::size_t offset = 0;
        for (const Run &run : runs_) {
            p.Row = run.Row;
            for (std::int32_t i = 0; i < run.Length; ++i) {
                p.Column = run.Column + i;
                p.PaletteIndex = indices_[offset++];
                p.Hue = hue_[p.PaletteIndex];
                f(p);
            }
        }
    }
    // Every record as a plain list, closing record last; for tests and small cards.
    std::vector<ForegroundPixel> toVector() const
    {
        std::vector<ForegroundPixel> all;
        all.reserve(size() + 1);
        forEach([&](const ForegroundPixel &p) { all.push_back(p); });
        if (closed_)
            all.push_back(closing_);
        return all;
    }

private:
    std::vector<Run> runs_;
    std::vector<std::uint8_t> indices_;
    std::array<std::uint8_t, 256> hue_{};
    ForegroundPixel closing_;
    bool closed_ = false;
};

// The settings a card's figures were made under, noted when it is scanned,
// so that figures the window would now make otherwise are told apart.
struct FiguresBasis {
    friend bool operator==(const FiguresBasis &, const FiguresBasis &) = default;
    std::int32_t Resolution = 0; // dpi; 0 where not known (figures read from a trial)
    std::uint8_t HueLow = 0;
    std::uint8_t HueHigh = 255;
    bool HueInvert = false;
    std::uint8_t ShapeThreshold = 100;
    std::uint8_t HueThreshold = 0;
    bool SplitTouching = false;
    std::array<double, 3> Spread{};
};

// What became of a stored card's image file when its trial was opened.
enum class CardFileState : std::uint8_t {
    Present, // there, with the content it was analysed from
    Missing, // not found: the stored figures stand, the image cannot be shown or scanned
    Changed, // there, but not the file the figures were made from
};

struct CardRecord {
    friend bool operator==(const CardRecord &, const CardRecord &) = default;
    std::string FilePath;  // folder with trailing separator, then the file name
    std::string FileTitle; // file name without folder
    std::int32_t ImageWidth = 0;
    std::int32_t ImageHeight = 0;
    double PixelSizeX = 0.0; // micrometres
    double PixelSizeY = 0.0;
    std::int32_t Resolution = 0; // dpi
    // The resolution the file records when it is plausible, else 0 (dpi).
    std::int32_t RecordedResolution = 0;
    // A colour picture reduced to a colour table: the file's bits per pixel
    // and the colours kept; 0 for an 8-bit file.
    std::int32_t ReducedFromBits = 0;
    std::int32_t ReducedColours = 0;
    bool ReducedExactly = false;
    double CardArea = 0.0; // cm2, whole image
    bool ColoursKnown = false;
    bool Scanned = false;
    float Position = 0.0f; // across the spray line
    // A position typed for this card, kept instead of the one its place in
    // the line gives.
    bool PositionEdited = false;
    float EditedPosition = 0.0f;
    // Left out of the line (a torn or lost card): no part of the pooled
    // spectrum, and the swath analysis interpolates over its place.
    bool Excluded = false;
    // The file the card was analysed from, to tell when it has gone or changed.
    std::int64_t FileSize = -1;
    std::string ContentHash; // SHA-256, lower-case hex; empty until known
    CardFileState FileState = CardFileState::Present;
    // Set for a card cut from a photo or a sheet by Find Cards.
    std::optional<CardSource> Source;
    std::uint8_t BackgroundIndex = 0;
    std::uint8_t DitherIndex = 0;
    std::array<std::int32_t, 257> PaletteHue{};
    std::array<std::int32_t, 257> HueCount{};
    std::vector<std::uint8_t> Palette; // blue, green, red per entry
    // Stain pixels bottom row first; ends with one closing record.
    ForegroundPixelList ForegroundPixels;

    // Stain data.
    ClassList Stains = ClassList(1); // element 0 only until a scan finds drops
    float SmallestDiameter = 0.0f;
    float LargestDiameter = 0.0f;
    std::int32_t RejectedCount = 0;
    std::int64_t RejectedArea = 0; // pixels of the rejected stains
    double StainCoverage = 0.0;    // share of the card covered by stains, accepted or not
    // The overlap estimate and the cut stains, for the extended figures.
    double RejectedAreaShare = 0.0;
    double CorrectedDropDensity = 0.0;
    double HiddenShare = 0.0;
    std::int32_t SplitStains = 0;
    std::int32_t SplitParts = 0;
    double MaxVolumeFraction = 0.0;
    std::int32_t MaxClassCount = 0;
    double VMD = 0.0;
    double DropDensity = 0.0;   // drops per cm2
    double VolumeDensity = 0.0; // nL per cm2
    double TotalVolume = 0.0;   // nL
    ScanSummary Summary;
    FiguresBasis Basis;
};

} // namespace vex
