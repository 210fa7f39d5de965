#include "analysis/ScanLog.h"

#include "intake/CardLoading.h"
#include "text/ControlText.h"
#include "text/NumberText.h"
#include "text/WholeFile.h"
#include "text/Windows1252.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <unordered_set>

namespace vex {

namespace {

constexpr char Micro = '\xB5';
constexpr char SquaredSign = '\xB2';
constexpr char Times = '\xD7';
constexpr const char *Eol = "\r\n";
constexpr std::size_t LabelWidth = 28;

// Builds the lines of a section.  Columns count from 1 and every character
// is one byte, as the log is written in a single-byte code page.
class LogWriter {
public:
    void line(const std::string &text = {})
    {
        current_ += text;
        endLine();
    }
    void labelled(const std::string &label, const std::string &value)
    {
        std::string text = label;
        text.resize(std::max(text.size(), LabelWidth), ' ');
        line(text + value);
    }
    // Moves to column n; a line already past it is ended first.
    void tab(std::size_t n)
    {
        if (current_.size() + 1 > n) {
            endLine();
        }
        current_.resize(n - 1, ' ');
    }
    void text(const std::string &t) { current_ += t; }
    // A print zone: on to the next column 14k + 1.
    void zone() { tab((current_.size() / 14 + 1) * 14 + 1); }
    // Integers are printed with a leading space (or minus) and one after.
    void integer(long long value)
    {
        current_ += value < 0 ? "-" : " ";
        current_ += std::to_string(value < 0 ? -value : value);
        current_ += ' ';
    }
    // A value right-aligned so that its text ends just before `column`.
    void rightAligned(std::size_t column, const std::string &t)
    {
        tab(column > t.size() ? column - t.size() : 1);
        text(t);
    }
    void endLine()
    {
        out_ += current_;
        out_ += Eol;
        current_.clear();
    }
    // Numbers in files always take "." whatever the user's regional
    // settings, so that the logs of one trial read the same everywhere.
    std::string fixed(double value, int decimals) const { return formatFixed(value, decimals); }
    std::string coefficient(double value) const { return coefficientText(value); }
    std::string take() { return std::move(out_); }

private:
    std::string current_;
    std::string out_;
};

void writeSprayInformation(LogWriter &w, const ScanLogInputs &in)
{
    const SprayInfo empty;
    const SprayInfo &s = in.Spray ? *in.Spray : empty;
    auto value = [&](int entry) { return toWindows1252(oneLineText(s[entry])); };
    w.line(std::string(50, '-'));
    w.line();
    w.line("Spray Information:");
    w.line(std::string(18, '-'));
    w.labelled("Aircraft Type:", value(AC_Type));
    w.labelled("Aircraft Registration:", value(AC_Registration));
    w.labelled("Aircraft Owner:", value(AC_Owner));
    w.labelled("Aircraft Swath:", value(AC_Swath) + " ft");
    w.labelled("Aircraft Speed:", value(AC_Speed) + " mph");
    w.labelled("Aircraft Height:", value(AC_Height) + " ft");
    w.labelled("Product Sprayed:", value(Spray_Product));
    w.labelled("Active Rate:", value(Spray_ActiveRate) + " oz/ac");
    w.labelled("Spray Rate:", value(Spray_SprayRate) + " oz/ac");
    w.labelled("Nozzles:", value(Nozzle_Number) + Times + " " + value(Nozzle_Type));
    w.labelled("Analysis Device:", value(Sampler_Type));
    w.labelled("Spread Factor:", w.coefficient(in.SpreadFactor[0]) + " + " + w.coefficient(in.SpreadFactor[1]) +
                                     "d + " + w.coefficient(in.SpreadFactor[2]) + "d" + SquaredSign);
    w.labelled("Sampler1 Position:", value(Sample_Position1) + " ft");
    w.labelled("Sampler Separation:", value(Sample_Interval) + " ft");
}

// The scan's table has its "(pixels)" at column 1, the range section's at 2.
void writeClassTable(LogWriter &w, const CardRecord &card, std::size_t pixelsColumn = 1)
{
    w.tab(3);
    w.text("Area");
    w.tab(12);
    w.text("Count");
    w.tab(22);
    w.text("Diameter");
    w.tab(35);
    w.text("Volume");
    w.tab(48);
    w.text("Cumulative");
    w.tab(62);
    w.text("Drop Density");
    w.tab(79);
    w.text("Number");
    w.tab(91);
    w.text("Cumulative");
    w.endLine();

    w.tab(pixelsColumn);
    w.text("(pixels)");
    w.tab(24);
    w.text(std::string("(") + Micro + "m)");
    w.tab(34);
    w.text("Fraction%");
    w.tab(49);
    w.text("V.F. (%)");
    w.tab(64);
    w.text(std::string("(#/cm") + SquaredSign + ")");
    w.tab(78);
    w.text("Fraction%");
    w.tab(92);
    w.text("N.F. (%)");
    w.endLine();

    const double area = card.CardArea;
    for (std::size_t k = 1; k < card.Stains.size(); ++k) {
        const SizeClass &c = card.Stains[k];
        w.tab(3);
        w.integer(c.Area);
        w.tab(15 - std::min<std::size_t>(14, std::to_string(c.Count).size()));
        w.integer(c.Count);
        w.rightAligned(29, w.fixed(c.Diameter, 3));
        w.rightAligned(41, w.fixed(static_cast<double>(c.VolumeFraction) * 100.0, 2));
        w.rightAligned(56, w.fixed(static_cast<double>(c.CumVolumeFraction) * 100.0, 2));
        w.rightAligned(70, w.fixed(area > 0.0 ? c.Count / area : 0.0, 3));
        w.rightAligned(85, w.fixed(static_cast<double>(c.NumberFraction) * 100.0, 2));
        w.rightAligned(99, w.fixed(static_cast<double>(c.CumNumberFraction) * 100.0, 2));
        w.endLine();
    }
}

} // namespace

std::string scanLogPath(const std::string &imagePath)
{
    if (imagePath.size() < 3)
        return imagePath + "scn";
    // The four-letter extensions of colour files are replaced whole: "card.jpeg"
    // logs to "card.scn", not "card.jscn".
    if (const std::string ext = lowerCaseExtension(imagePath); ext == "jpeg" || ext == "tiff")
        return imagePath.substr(0, imagePath.size() - 4) + "scn";
    return imagePath.substr(0, imagePath.size() - 3) + "scn";
}

std::vector<std::string> scanLogPaths(const std::vector<std::string> &imagePaths)
{
    std::vector<std::string> logs;
    logs.reserve(imagePaths.size());
    std::unordered_set<std::string> taken;
    for (const std::string &image : imagePaths) {
        std::string log = scanLogPath(image);
        if (!taken.insert(log).second) {
            log = image + ".scn";
            taken.insert(log);
        }
        logs.push_back(std::move(log));
    }
    return logs;
}

std::string sharedLogMessage(const std::string &usualLog, const std::string &log)
{
    const auto name = [](const std::string &path) { return std::filesystem::path(path).filename().string(); };
    const std::string card = name(log).substr(0, name(log).size() - std::string(".scn").size());
    return "Two loaded cards would share the scan log " + name(usualLog) + ": the log of " + card + " is written to " +
           name(log) + ".";
}

std::string coefficientText(double value)
{
    return significantText(value, 15);
}

std::string scanLogSection(const ScanLogInputs &in, bool newFile)
{
    const CardRecord empty;
    const CardRecord &card = in.Card ? *in.Card : empty;
    LogWriter w;

    if (newFile) {
        w.line("Vexolin -- Quarrow Droplet Analysis Program");
        w.line();
        w.line("File: " + toWindows1252(oneLineText(card.FileTitle)));
    }
    if (in.LogSprayInfo)
        writeSprayInformation(w, in);

    w.line(std::string(50, '-'));
    w.line();
    w.line("Scan Information:");
    w.line(std::string(17, '-'));
    w.text("Optical Resolution:");
    w.tab(28);
    w.integer(card.Resolution);
    w.text("d.p.i.");
    w.endLine();
    if (card.ReducedFromBits != 0)
        w.labelled("Colours:", reductionNote(card));
    w.labelled("Image Size:", w.fixed(card.ImageWidth * card.PixelSizeX / 10000.0, 2) + Times +
                                  w.fixed(card.ImageHeight * card.PixelSizeY / 10000.0, 2) + " cm");
    const int low = in.HueLow;
    const int high = in.HueHigh;
    w.labelled("Hue Range:", in.HueInvert
                                 ? "0 to " + std::to_string(low - 1) + " and " + std::to_string(high + 1) + " to 255"
                                 : std::to_string(low) + " to " + std::to_string(high));
    const bool hasClasses = card.Stains.size() > 1;
    w.labelled("VMD:", hasClasses ? w.fixed(card.VMD, 1) + " " + Micro + "m" : std::string("--- ") + Micro + "m");
    w.labelled("Drop Density:", w.fixed(card.DropDensity, 2) + " drops/cm" + SquaredSign);
    w.labelled("Volume:", w.fixed(card.VolumeDensity, 2) + " nL/cm" + SquaredSign + " = " +
                              (in.Metric ? w.fixed(card.VolumeDensity * 0.1, 3) + " L/ha"
                                         : w.fixed(card.VolumeDensity * 1.368, 3) + " oz/ac"));
    w.line();
    w.line("Results:");
    w.line(std::string(8, '-'));
    if (hasClasses) {
        writeClassTable(w, card);
    } else {
        w.line();
        w.line(std::string(30, '-') + " NO DROPS FOUND " + std::string(30, '-'));
    }
    w.line();
    if (!in.Extended.empty()) {
        w.line("Extended Figures:");
        w.line(std::string(17, '-'));
        for (const auto &[label, value] : in.Extended)
            w.labelled(label, toWindows1252(value));
        w.line();
    }
    return w.take();
}

std::string scanLogRangeSection(const CardRecord &card, const CompositeResult &range, float rangeLow, float rangeHigh,
                                bool metric)
{
    LogWriter w;
    w.text("Droplet Size Range:");
    w.zone();
    w.text(w.fixed(rangeLow, 2) + " -- " + w.fixed(rangeHigh, 2) + " " + Micro + "m");
    w.endLine();
    w.text("VMD:");
    w.zone();
    w.zone();
    w.text(w.fixed(range.VMD, 2) + " " + Micro + "m");
    w.endLine();
    w.text("Drop Density:");
    w.zone();
    w.zone();
    w.text(w.fixed(range.DropDensity, 2) + " drops/cm" + SquaredSign);
    w.endLine();
    w.text("Volume Density:");
    w.zone();
    w.text(w.fixed(range.VolumeDensity, 2) + " nL/cm" + SquaredSign + " = " +
           (metric ? w.fixed(range.VolumeDensity * 0.1, 3) + " L/ha"
                   : w.fixed(range.VolumeDensity * 1.368, 3) + " oz/ac"));
    w.endLine();
    w.line();
    w.line("Results:");
    w.line(std::string(8, '-'));
    if (range.Classes.size() > 1) {
        // The class rows of the scan itself, over the classes of the range.
        CardRecord view;
        view.Stains = range.Classes;
        view.CardArea = card.CardArea;
        writeClassTable(w, view, 2);
    } else {
        w.line(std::string(30, '-') + " NO DROPS FOUND " + std::string(30, '-'));
    }
    w.line();
    return w.take();
}

namespace {

// Adds `section` to the end of the log, or writes it as a new log, all or
// nothing: the whole new log replaces the old one, so a failure (a full
// disc) leaves the old log as it was, never with a fragment at its end.
Status addToLog(const std::string &path, const std::string &section, bool append)
{
    Result<std::string> log = append ? readWholeFile(path) : Result<std::string>(std::string());
    Status written = log.status();
    if (written.ok()) {
        *log += section;
        written = writeWholeFile(path, *log);
    }
    if (written.ok())
        return written;
    return Status::failure("The scan log " + path + " could not be written: " + written.reason() + ".");
}

} // namespace

Status appendScanLogRange(const CardRecord &card, const CompositeResult &range, float rangeLow, float rangeHigh,
                          bool metric, const std::string &logPath)
{
    const std::string path = logPath.empty() ? scanLogPath(card.FilePath) : logPath;
    return addToLog(path, scanLogRangeSection(card, range, rangeLow, rangeHigh, metric), true);
}

Status writeScanLog(const ScanLogInputs &in, bool append)
{
    // Without a card there is no folder to write to; never guess one.
    if (!in.Card || in.Card->FilePath.empty())
        return Status::failure("The scan log could not be written: the card has no file path.");
    const std::string path = in.Path.empty() ? scanLogPath(in.Card->FilePath) : in.Path;
    std::error_code error;
    const bool exists = std::filesystem::exists(path, error);
    const bool newFile = !append || !exists;
    return addToLog(path, scanLogSection(in, newFile), !newFile);
}

} // namespace vex
