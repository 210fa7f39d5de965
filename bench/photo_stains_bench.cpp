// Stains in simulated phone photos and flatbed sheets: each picture cut out
// by its true corners, segmented and analysed as the batch tool does; the
// figures found beside the truth.
//
//   photo_stains_bench [--quick]

#include "support/PhotoCards.h"

#include "BenchSupport.h"
#include "intake/ColourReduction.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Case {
    const char *Name;
    double Dpi;
    double Tilt;
    double Light;
    int Quality;
    vex::photosim::Background Scene;
    double Blur;
    bool Defocus;
    double Slack = 0.0;
    double Shadow = 0.0;
    int Stains = 600;
};

void printFacts(const vex::test::PhotoFigures &f)
{
    if (std::getenv("PHOTO_FACTS") != nullptr)
        std::printf("  paper %.0f %.0f %.0f, stain %.0f %.0f %.0f, noise %.4f, %lld faint stains, groups %d, "
                    "VMD of the true stains as analysed %.0f\n",
                    f.Facts.Paper[0], f.Facts.Paper[1], f.Facts.Paper[2], f.Facts.Stain[0], f.Facts.Stain[1],
                    f.Facts.Stain[2], f.Facts.Noise, static_cast<long long>(f.Facts.FaintStains), f.Groups,
                    f.TruthDropVmdAsAnalysed);
}

double percentOff(double found, double truth)
{
    return truth != 0.0 ? 100.0 * (found - truth) / truth : 0.0;
}

} // namespace

int main(int argc, char **argv)
{
    using vex::photosim::Background;
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const bool speedOnly = argc > 1 && std::strcmp(argv[1], "--speed") == 0;
    std::vector<Case> cases = {
        {"shadow 40%", 600, 4, 0.10, 88, Background::Table, 0.8, false, 0.0, 0.4},
        {"dense", 600, 8, 0.25, 85, Background::Leaf, 0.8, false, 0.0, 0.0, 3000},
        {"straight", 600, 0, 0.0, 92, Background::Leaf, 0.8, false},
        {"tilt 5", 600, 5, 0.10, 88, Background::Leaf, 0.8, false},
        {"tilt 10", 600, 10, 0.25, 85, Background::Soil, 0.8, false},
        {"light 25%", 600, 3, 0.25, 92, Background::Table, 0.8, false},
        {"jpeg 80", 600, 8, 0.25, 80, Background::Skin, 0.8, false},
        {"defocus", 600, 6, 0.20, 85, Background::Leaf, 1.5, true},
        {"900 dpi", 900, 8, 0.25, 85, Background::Leaf, 1.0, false},
        {"1200 dpi", 1200, 10, 0.25, 80, Background::Soil, 1.2, false},
        {"400 dpi", 400, 5, 0.20, 88, Background::Leaf, 0.8, false},
        {"cut wide", 600, 6, 0.20, 85, Background::Soil, 0.8, false, 0.005},
    };
    if (quick)
        cases.resize(3);
    if (speedOnly)
        cases.clear();
    std::puts("Simulated photos, cut by their true corners; stains: the truth's, groups: of touching ones;\n"
              "found: stains found (accepted and rejected, touching ones cut apart by the scan); cov: coverage\n"
              "in percent, pp: points off; VMD: drop VMD in um (the analysis's spread factor); s: segmentation\n"
              "seconds.  'reduced': the same card through the 256-colour reduction of colour scans.\n"
              "light: gradient and vignetting; the shadow rows add a 40 % shadow over part of the card.");
    std::printf("%-10s %5s %4s %5s %3s | %6s %6s %6s %6s | %6s %6s %6s | %7s %7s %6s | %5s\n", "case", "dpi", "tilt",
                "light", "Q", "stains", "groups", "found", "off%", "cov", "found", "pp", "VMD", "found", "off%", "s");
    int seed = 1;
    for (const Case &c : cases) {
        vex::photosim::PhotoSpec spec;
        spec.Card.Dpi = c.Dpi;
        spec.Card.Seed = static_cast<std::uint64_t>(seed);
        spec.Seed = static_cast<std::uint64_t>(100 + seed);
        ++seed;
        spec.TiltXDeg = c.Tilt;
        spec.TiltYDeg = c.Tilt / 2.0;
        spec.RotationDeg = c.Tilt;
        spec.Gradient = c.Light;
        spec.Vignetting = c.Light;
        spec.JpegQuality = c.Quality;
        spec.Scene = c.Scene;
        spec.BlurPx = c.Blur * c.Dpi / 600.0;
        spec.Defocus = c.Defocus;
        spec.ShadowDepth = c.Shadow;
        spec.Card.Stains = c.Stains;
        const vex::test::PhotoFigures f = vex::test::analysePhoto(spec, c.Slack);
        std::printf(
            "%-10s %5.0f %4.0f %4.0f%% %3d | %6d %6d %6d %+6.1f | %6.2f %6.2f %+6.2f | %7.0f %7.0f %+6.1f | %5.2f\n",
            c.Name, c.Dpi, c.Tilt, c.Light * 100.0, c.Quality, f.TruthStains, f.TruthSeparate, f.Stains,
            percentOff(f.Stains, f.TruthStains), f.TruthCoveragePercent, f.CoveragePercent,
            f.CoveragePercent - f.TruthCoveragePercent, f.TruthDropVmd, f.DropVmd,
            percentOff(f.DropVmd, f.TruthDropVmd), f.Seconds);
        printFacts(f);
        if (seed <= 5 && !speedOnly) {
            const vex::test::PhotoFigures r = vex::test::analysePhoto(spec, c.Slack, true);
            std::printf("%-10s %5s %4s %5s %3s | %6s %6s %6d %+6.1f | %6s %6.2f %+6.2f | %7s %7.0f %+6.1f | %5.2f\n",
                        "  reduced", "", "", "", "", "", "", r.Stains, percentOff(r.Stains, r.TruthStains), "",
                        r.CoveragePercent, r.CoveragePercent - r.TruthCoveragePercent, "", r.DropVmd,
                        percentOff(r.DropVmd, r.TruthDropVmd), r.Seconds);
        }
        std::fflush(stdout);
    }

    // A flatbed sheet: each card cut out by its true corners.
    for (const bool dark : {false, true}) {
        if (speedOnly)
            break;
        vex::photosim::SheetSpec spec;
        spec.DarkLid = dark;
        spec.Cards = quick ? 2 : 4;
        const vex::photosim::Sheet sheet = vex::photosim::simulateSheet(spec);
        for (std::size_t i = 0; i < sheet.Cards.size(); ++i) {
            const vex::test::PhotoFigures f = vex::test::analysePictureOfCard(
                sheet.Image, sheet.Cards[i].Corners, sheet.Cards[i].Truth, static_cast<int>(sheet.Dpi));
            std::printf(
                "%-10s %5.0f %4s %5s %3s | %6d %6d %6d %+6.1f | %6.2f %6.2f %+6.2f | %7.0f %7.0f %+6.1f | %5.2f\n",
                (std::string(dark ? "sheet D#" : "sheet L#") + std::to_string(i + 1)).c_str(), sheet.Dpi, "0", "-", "-",
                f.TruthStains, f.TruthSeparate, f.Stains, percentOff(f.Stains, f.TruthStains), f.TruthCoveragePercent,
                f.CoveragePercent, f.CoveragePercent - f.TruthCoveragePercent, f.TruthDropVmd, f.DropVmd,
                percentOff(f.DropVmd, f.TruthDropVmd), f.Seconds);
            printFacts(f);
        }
    }

    // Speed on a 3-megapixel card (76 x 26 mm at 1000 dpi): the segmentation
    // against the 256-colour reduction, alternated, median of three each.
    vex::photosim::PhotoSpec spec;
    spec.Card.Dpi = 1000;
    const vex::photosim::Photo photo = vex::photosim::simulatePhoto(spec);
    const cv::Mat card = vex::photosim::straightenCard(photo.Image, photo.Corners,
                                                       vex::photosim::cardPixels(photo.Truth, spec.Card.Dpi));
    vex::ColourImage colour;
    colour.Width = card.cols;
    colour.Height = card.rows;
    colour.Bgr.resize(3 * card.total());
    for (int y = 0; y < card.rows; ++y)
        std::memcpy(colour.row(card.rows - 1 - y), card.ptr(y), 3 * static_cast<std::size_t>(card.cols));
    std::vector<double> segmenting, reducing;
    for (int run = 0; run < (speedOnly ? 10 : 3); ++run) {
        auto start = vex::bench::Clock::now();
        const vex::PhotoCard segmented = vex::segmentPhotoCard(colour, spec.Card.Dpi);
        segmenting.push_back(vex::bench::secondsBetween(start, vex::bench::Clock::now()));
        start = vex::bench::Clock::now();
        const vex::ReducedPicture reduced = vex::reduceColours(colour);
        reducing.push_back(vex::bench::secondsBetween(start, vex::bench::Clock::now()));
    }
    std::printf("\n%d x %d card (%.1f MP): segmentation %.3f s, 256-colour reduction %.3f s (median of 3)\n", card.cols,
                card.rows, static_cast<double>(card.total()) / 1e6, vex::bench::median(segmenting),
                vex::bench::median(reducing));
    return 0;
}
