#include "tools/photosim/PhotoCommand.h"

#include "analysis/DropStatistics.h"
#include "line/LineAnalysis.h"
#include "text/WholeFile.h"
#include "tools/photosim/PhotoSimulator.h"

#include <charconv>
#include <cstdio>
#include <functional>
#include <map>
#include <string_view>

namespace vex::photosim {
namespace {

int usage()
{
    std::fputs("usage: vexolin-cardgen photo OUT.jpg [options]   a phone photo of one card (.png: uncompressed)\n"
               "       vexolin-cardgen sheet OUT.png [options]   a flatbed scan of several cards\n"
               "card:  --card-size WxH (mm) --dpi N --seed N --stains N --median-um U --sigma S --min-um U\n"
               "       --max-um U --touching SHARE --no-rim\n"
               "photo: --scene leaf|soil|skin|table --share S --rotation DEG --tilt-x DEG --tilt-y DEG\n"
               "       --gradient G --gradient-angle DEG --vignetting V --shadow DEPTH --shadow-angle DEG\n"
               "       --blur PX --defocus --noise LEVELS\n"
               "       --quality Q --no-subsample --photo-seed N\n"
               "sheet: --sheet-size WxH (mm) --cards N --dark --max-rotation DEG --noise LEVELS --blur PX\n"
               "both:  --truth FILE.json   the corners, card size, stains, count, coverage and VMDs\n",
               stderr);
    return 2;
}

bool number(std::string_view text, double &value)
{
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && ptr == text.data() + text.size();
}

bool size(std::string_view text, double &w, double &h)
{
    const auto x = text.find('x');
    return x != std::string_view::npos && number(text.substr(0, x), w) && number(text.substr(x + 1), h);
}

double dropVmd(const CardTruth &truth)
{
    // Drops from stains by the analysis's own spread factor, so that the
    // truth's drop VMD is the one a perfect scan would report.
    const SpreadFactors spread = AnalysisSettings{}.Spread;
    std::vector<double> drops;
    for (const Stain &s : truth.Stains)
        drops.push_back(dropDiameter(s.DiameterUm, spread));
    return volumeMedianDiameter(drops);
}

bool write(const std::string &path, std::string_view bytes)
{
    const Status status = writeWholeFile(path, bytes);
    if (!status.ok())
        std::fprintf(stderr, "vexolin-cardgen: %s: %s\n", path.c_str(), status.reason().c_str());
    return status.ok();
}

} // namespace

int runPhotoCommand(const std::vector<std::string> &args)
{
    if (args.size() < 2 || (args[0] != "photo" && args[0] != "sheet") || args[1].starts_with("-"))
        return usage();
    const bool sheetMode = args[0] == "sheet";
    const std::string out = args[1];
    PhotoSpec photo;
    SheetSpec sheet;
    CardSpec &card = photo.Card;
    std::string truthPath;
    bool bad = false;
    double seed = 1, photoSeed = 7, stains = card.Stains, cards = sheet.Cards;
    using Setter = std::function<bool(std::string_view)>;
    auto real = [&](double &field) { return Setter([&field](std::string_view t) { return number(t, field); }); };
    const std::map<std::string, Setter, std::less<>> valued = {
        {"--card-size", [&](std::string_view t) { return size(t, card.WidthMm, card.HeightMm); }},
        {"--sheet-size", [&](std::string_view t) { return size(t, sheet.WidthMm, sheet.HeightMm); }},
        {"--dpi", real(card.Dpi)},
        {"--seed", real(seed)},
        {"--photo-seed", real(photoSeed)},
        {"--stains", real(stains)},
        {"--cards", real(cards)},
        {"--median-um", real(card.MedianDiameterUm)},
        {"--sigma", real(card.Sigma)},
        {"--min-um", real(card.MinDiameterUm)},
        {"--max-um", real(card.MaxDiameterUm)},
        {"--touching", real(card.TouchingShare)},
        {"--share", real(photo.CardShare)},
        {"--rotation", real(photo.RotationDeg)},
        {"--tilt-x", real(photo.TiltXDeg)},
        {"--tilt-y", real(photo.TiltYDeg)},
        {"--gradient", real(photo.Gradient)},
        {"--gradient-angle", real(photo.GradientAngleDeg)},
        {"--vignetting", real(photo.Vignetting)},
        {"--shadow", real(photo.ShadowDepth)},
        {"--shadow-angle", real(photo.ShadowAngleDeg)},
        {"--blur", [&](std::string_view t) { return number(t, photo.BlurPx) && number(t, sheet.BlurPx); }},
        {"--noise", [&](std::string_view t) { return number(t, photo.NoiseLevels) && number(t, sheet.NoiseLevels); }},
        {"--quality",
         [&](std::string_view t) {
             double q = 0;
             if (!number(t, q) || q < 0 || q > 100)
                 return false;
             photo.JpegQuality = static_cast<int>(q);
             return photo.JpegQuality == q;
         }},
        {"--max-rotation", real(sheet.MaxRotationDeg)},
        {"--truth",
         [&](std::string_view t) {
             truthPath = t;
             return !t.empty();
         }},
        {"--scene",
         [&](std::string_view t) {
             const std::map<std::string_view, Background> scenes = {{"leaf", Background::Leaf},
                                                                    {"soil", Background::Soil},
                                                                    {"skin", Background::Skin},
                                                                    {"table", Background::Table}};
             const auto it = scenes.find(t);
             if (it != scenes.end())
                 photo.Scene = it->second;
             return it != scenes.end();
         }},
    };
    for (std::size_t i = 2; i < args.size() && !bad; ++i) {
        const std::string &a = args[i];
        if (a == "--no-rim")
            card.DarkRim = false;
        else if (a == "--defocus")
            photo.Defocus = true;
        else if (a == "--no-subsample")
            photo.Subsample420 = false;
        else if (a == "--dark")
            sheet.DarkLid = true;
        else if (const auto it = valued.find(a); it != valued.end() && i + 1 < args.size())
            bad = !it->second(args[++i]);
        else
            bad = true;
        if (bad)
            std::fprintf(stderr, "vexolin-cardgen: %s is not understood here\n", a.c_str());
    }
    if (bad)
        return usage();
    card.Seed = static_cast<std::uint64_t>(seed);
    card.Stains = static_cast<int>(stains);
    photo.Seed = static_cast<std::uint64_t>(photoSeed);

    if (sheetMode) {
        sheet.Card = card;
        sheet.Dpi = card.Dpi;
        sheet.Cards = static_cast<int>(cards);
        sheet.Seed = static_cast<std::uint64_t>(photoSeed);
        sheet.NoiseLevels = std::min(sheet.NoiseLevels, photo.NoiseLevels);
        if (const std::string problem = checkSheetSpec(sheet); !problem.empty()) {
            std::fprintf(stderr, "vexolin-cardgen: %s\n", problem.c_str());
            return 2;
        }
        const Sheet s = simulateSheet(sheet);
        std::vector<std::uint8_t> png = encodePng(s.Image, s.Dpi);
        if (png.empty() || !write(out, {reinterpret_cast<const char *>(png.data()), png.size()}))
            return 1;
        std::string json = "{\n\"dpi\": " + std::to_string(static_cast<int>(std::lround(s.Dpi))) + ",\n\"cards\": [\n";
        for (std::size_t i = 0; i < s.Cards.size(); ++i) {
            json += i == 0 ? "" : ",\n";
            json += truthJson(s.Cards[i].Truth, &s.Cards[i].Corners, s.Dpi, dropVmd(s.Cards[i].Truth));
        }
        json += "]\n}\n";
        std::printf("%s: %d x %d at %g dpi, %zu cards\n", out.c_str(), s.Image.cols, s.Image.rows, s.Dpi,
                    s.Cards.size());
        return truthPath.empty() || write(truthPath, json) ? 0 : 1;
    }

    if (const std::string problem = checkSpec(photo); !problem.empty()) {
        std::fprintf(stderr, "vexolin-cardgen: %s\n", problem.c_str());
        return 2;
    }
    const bool png = out.size() > 4 && out.substr(out.size() - 4) == ".png";
    if (png) {
        photo.JpegQuality = 0;
    } else if (photo.JpegQuality == 0) {
        std::fputs("vexolin-cardgen: a JPEG photo needs a quality of 1 to 100 (or name it .png)\n", stderr);
        return 2;
    }
    const Photo p = simulatePhoto(photo);
    const std::vector<std::uint8_t> bytes = png ? encodePng(p.Image, 0.0) : p.Jpeg;
    if (bytes.empty() || !write(out, {reinterpret_cast<const char *>(bytes.data()), bytes.size()}))
        return 1;
    std::printf("%s: %d x %d, card %g x %g mm at %g dpi, %d stains, %.2f %% covered\n", out.c_str(), p.Image.cols,
                p.Image.rows, card.WidthMm, card.HeightMm, card.Dpi, p.Truth.Count, p.Truth.Coverage * 100.0);
    return truthPath.empty() || write(truthPath, truthJson(p.Truth, &p.Corners, card.Dpi, dropVmd(p.Truth))) ? 0 : 1;
}

} // namespace vex::photosim
