#include "line/StainTable.h"

#include "analysis/DropStatistics.h"
#include "line/ResultsFile.h"
#include "text/NumberText.h"

namespace vex {

std::string stainTableHeader()
{
    return "card,stain,outcome,pixels,measured_area_px,stain_diameter_um,drop_diameter_um,centroid_x,centroid_y,"
           "left,top,right,bottom,mean_hue,roundness,part,parts\r\n";
}

const char *stainOutcomeText(StainOutcome outcome)
{
    switch (outcome) {
    case StainOutcome::Accepted:
        return "accepted";
    case StainOutcome::NoValidHue:
        return "no valid hue";
    case StainOutcome::NotRound:
        return "not round";
    case StainOutcome::TooFewValidHues:
        return "too few valid hues";
    case StainOutcome::Folded:
        return "folded into another stain";
    }
    return "";
}

std::string stainTableRows(const CardRecord &card, const std::vector<StainRecord> &stains,
                           const std::array<double, 3> &spread)
{
    std::string out;
    const std::string name = csvTextField(card.FileTitle);
    std::size_t number = 0;
    for (const StainRecord &s : stains) {
        const double stain = stainDiameter(s.MeasuredArea, card.PixelSizeX);
        const double drop = dropDiameter(stain, spread);
        out += name + ',' + std::to_string(++number) + ',' + stainOutcomeText(s.Outcome) + ',' +
               std::to_string(s.Pixels) + ',' + std::to_string(s.MeasuredArea) + ',' + formatFixed(stain, 1) + ',' +
               formatFixed(drop, 1) + ',' + formatFixed(s.CentroidX, 2) + ',' + formatFixed(s.CentroidY, 2) + ',' +
               std::to_string(s.Left) + ',' + std::to_string(s.Top) + ',' + std::to_string(s.Right) + ',' +
               std::to_string(s.Bottom) + ',' + formatFixed(s.MeanHue, 1) + ',' + formatFixed(s.Roundness, 4) + ',' +
               std::to_string(s.Part) + ',' + std::to_string(s.Parts) + "\r\n";
    }
    return out;
}

std::string stainRowText(const StainRecord &s, std::size_t number, double pixelSizeX,
                         const std::array<double, 3> &spread)
{
    const double stain = stainDiameter(s.MeasuredArea, pixelSizeX);
    const double drop = dropDiameter(stain, spread);
    const std::string um = std::string(" ") + MicroSign + "m";
    std::string text = "Stain " + std::to_string(number);
    if (s.Parts > 0)
        text += " (part " + std::to_string(s.Part) + " of " + std::to_string(s.Parts) + ")";
    text += ": " + std::string(stainOutcomeText(s.Outcome)) + "\nArea " + std::to_string(s.MeasuredArea) +
            " pixels\nStain diameter " + formatFixed(stain, 1) + um + "\nDrop diameter " + formatFixed(drop, 1) + um;
    return text;
}

} // namespace vex
