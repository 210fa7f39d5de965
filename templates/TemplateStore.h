#pragma once
// Named card templates: how many cards a sheet holds across and down, the
// size of a card and the gaps between them, in inches; kept one line per
// template in templates.dat in the program folder.

#include <optional>
#include <string>
#include <vector>

namespace vex {

struct TemplateRecord {
    std::string TemplateName;
    std::int32_t TemplateNumH = 3;
    float TemplateSizeH = 1.75f;
    float TemplateSpaceH = 0.25f;
    std::int32_t TemplateNumV = 3;
    float TemplateSizeV = 2.75f;
    float TemplateSpaceV = 0.375f;
};

inline constexpr const char *DefaultTemplateName = "<Default>";
inline constexpr const char *NoTemplateName = "<No Name>";
inline constexpr const char *TemplatesFile = "templates.dat";

// 3 x 3 cards of 1.75 x 2.75 inches, gaps 0.25 across and 0.375 down.
TemplateRecord defaultTemplate();

// One line of the file, without its line end: "Tray 2",2,2.5,0.125,4,3,0.5
std::string templateLine(const TemplateRecord &t);
// Card sizes and gaps a sheet can hold, in inches: a size above 0 and a gap
// from 0, neither above 100 (no scanner takes a sheet that large).
inline constexpr double TemplateLengthLimit = 100.0;
bool templateSizeSound(double inches);
bool templateGapSound(double inches);

// A line back; nothing when it has too few fields, a field is not a number,
// or a size or gap is not sound.
std::optional<TemplateRecord> parseTemplateLine(const std::string &line);

struct TemplateFileContents {
    std::vector<TemplateRecord> Templates; // the user's, in file order
    std::vector<int> IgnoredLines;         // 1-based numbers of lines that did not read
};
TemplateFileContents readTemplatesText(const std::string &text);

// The whole file for the user's templates (CR LF after every line).
std::string templatesText(const std::vector<TemplateRecord> &templates);

// Not empty once trimmed, no double quote, at most 16 characters as typed.
// (IsValidTemplateName in the old design.)
bool isValidTemplateName(const std::string &name);

// Thousandths of an inch as the boxes show them: "0.0##".
std::string inchesText(double inches);

// Lengths of a template as the windows show and take them: inches, or
// millimetres in metric mode.  Templates themselves stay in inches, so that
// templates.dat reads the same whichever unit its writer used.
struct TemplateLengthUnit {
    bool Metric = false;
    // The up-downs count thousandths of an inch, or in metric mode tenths of
    // a micrometre: every thousandth of an inch is then a whole count too,
    // so a template shown in millimetres comes back exactly.
    int countsPerInch() const { return Metric ? 254000 : 1000; }
    int countsPerShown() const { return Metric ? 10000 : 1000; }
    // What the arrows of a size or gap box add: a quarter of an inch, or 5 mm.
    int step() const { return Metric ? 50000 : 250; }
    const char *symbol() const { return Metric ? "mm" : "in"; }
    // "0.0##" in inches, "0.0###" in millimetres (0.001 inch is 0.0254 mm).
    std::string text(double inches) const;
    // Where the block lies on a sheet, to the preview's pixel: "0.00" inches,
    // "0.0" mm.
    std::string positionText(double inches) const;
    // The block's size under the preview: 5.75" or 146.05 mm.
    std::string blockText(double inches) const;
    // A length typed in the shown unit, in inches; nothing when not a number.
    std::optional<double> inches(const std::string &typed) const;
};

// The width and height of the block of cards, in inches.
double blockWidth(const TemplateRecord &t);
double blockHeight(const TemplateRecord &t);

// Same counts and, as 32-bit floats, the same sizes and gaps.
bool sameDimensions(const TemplateRecord &a, const TemplateRecord &b);

// The user template (index into `templates`) named `name`, compared in
// lower case with the typed name trimmed; -1 when there is none.
int templateNamed(const std::vector<TemplateRecord> &templates, const std::string &name);

} // namespace vex
