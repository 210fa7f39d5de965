// vexolin-cardgen: synthetic card scans with known stains.
//
//   vexolin-cardgen card OUT.bmp [options]     one card
//   vexolin-cardgen line FOLDER [options]      a line of cards card01.bmp ...
//   vexolin-cardgen photo OUT.jpg [options]    a phone photo of a card
//   vexolin-cardgen sheet OUT.png [options]    a flatbed scan of cards
//                                              (see tools/photosim)
//
// Options: --width N --height N --dpi N --seed N --discs N --min-diameter PX
//          --max-diameter PX --dust N --dither SHARE --cards N (line only)
//          --truth    also write OUT.truth (or cardNN.truth) with every disc
//          --overlap  drops placed at random, free to overlap, until they cover
//                     --coverage SHARE of the card; --median-diameter PX and
//                     --sigma S give their log-normal sizes

#include "tools/cardgen/CardGenerator.h"
#include "tools/photosim/PhotoCommand.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using vex::cardgen::CardSpec;

int usage()
{
    std::fputs("usage: vexolin-cardgen card OUT.bmp [options]\n"
               "       vexolin-cardgen line FOLDER [options]\n"
               "       vexolin-cardgen photo|sheet OUT [options] (--help for theirs)\n"
               "options: --width N --height N --dpi N --seed N --discs N --min-diameter PX\n"
               "         --max-diameter PX --dust N --dither SHARE --cards N --truth\n"
               "         --overlap --coverage SHARE --median-diameter PX --sigma S\n",
               stderr);
    return 2;
}

template <typename T>
bool parse(const std::string &text, T &value)
{
    const char *end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

bool writeCard(const vex::cardgen::CardSpec &spec, const std::string &path, bool truth)
{
    const vex::cardgen::Card card = vex::cardgen::generateCard(spec);
    const std::string error = vex::cardgen::writeBmp(card, path);
    if (!error.empty()) {
        std::fprintf(stderr, "vexolin-cardgen: %s\n", error.c_str());
        return false;
    }
    std::int64_t stained = 0;
    for (const auto &d : card.Discs)
        stained += d.Area;
    std::printf("%s: %d x %d at %d dpi, %zu discs (%lld pixels, %lld covered), %zu specks of dust\n", path.c_str(),
                card.Width, card.Height, card.Dpi, card.Discs.size(), static_cast<long long>(stained),
                static_cast<long long>(card.StainedPixels), card.DustAreas.size());
    if (truth) {
        const std::string truthPath = path.substr(0, path.rfind('.')) + ".truth";
        std::ofstream out(truthPath, std::ios::binary);
        out << vex::cardgen::truthText(card);
        out.close();
        if (!out) {
            std::fprintf(stderr, "vexolin-cardgen: %s could not be written\n", truthPath.c_str());
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && (args[0] == "photo" || args[0] == "sheet"))
        return vex::photosim::runPhotoCommand(args);
    if (args.size() < 2 || (args[0] != "card" && args[0] != "line"))
        return usage();
    const bool line = args[0] == "line";
    CardSpec spec;
    if (line) {
        spec.Discs = 900;
        spec.MaxDiameter = 26.0;
    }
    int cards = 9;
    bool truth = false;
    for (std::size_t i = 2; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a == "--truth") {
            truth = true;
            continue;
        }
        if (a == "--overlap") {
            spec.Overlap = true;
            continue;
        }
        if (i + 1 >= args.size())
            return usage();
        const std::string &v = args[++i];
        bool ok = false;
        if (a == "--width")
            ok = parse(v, spec.Width);
        else if (a == "--height")
            ok = parse(v, spec.Height);
        else if (a == "--dpi")
            ok = parse(v, spec.Dpi);
        else if (a == "--seed")
            ok = parse(v, spec.Seed);
        else if (a == "--discs")
            ok = parse(v, spec.Discs);
        else if (a == "--min-diameter")
            ok = parse(v, spec.MinDiameter);
        else if (a == "--max-diameter")
            ok = parse(v, spec.MaxDiameter);
        else if (a == "--dust")
            ok = parse(v, spec.DustSpecks);
        else if (a == "--dither")
            ok = parse(v, spec.DitherShare);
        else if (a == "--coverage")
            ok = parse(v, spec.Coverage);
        else if (a == "--median-diameter")
            ok = parse(v, spec.MedianDiameter);
        else if (a == "--sigma")
            ok = parse(v, spec.Sigma);
        else if (a == "--cards")
            ok = line && parse(v, cards) && cards >= 1 && cards <= 99;
        if (!ok) {
            std::fprintf(stderr, "vexolin-cardgen: bad option %s %s\n", a.c_str(), v.c_str());
            return usage();
        }
    }
    const std::string problem = vex::cardgen::checkSpec(spec);
    if (!problem.empty()) {
        std::fprintf(stderr, "vexolin-cardgen: %s\n", problem.c_str());
        return 2;
    }
    if (!line)
        return writeCard(spec, args[1], truth) ? 0 : 1;
    std::error_code error;
    if (!std::filesystem::is_directory(args[1], error)) {
        std::fprintf(stderr, "vexolin-cardgen: the folder %s does not exist\n", args[1].c_str());
        return 1;
    }
    for (int i = 0; i < cards; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/card%02d.bmp", i + 1);
        if (!writeCard(vex::cardgen::lineCardSpec(spec, i, cards), args[1] + name, truth))
            return 1;
    }
    return 0;
}
