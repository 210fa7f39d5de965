// Any bytes as a trial file.  Opening it must leave the file as it was; a
// trial that opens holds only values within the ranges the program takes
// (positions, spacing, spread factor, card names), saves again without a
// word, reads back the same, and its line analyses without failing.
#include "FuzzChecks.h"
#include "analysis/DropStatistics.h"
#include "line/CardPositions.h"
#include "line/LineAnalysis.h"
#include "text/NumberText.h"
#include "trial/TrialFile.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

using namespace vex;
using fuzz::require;

namespace {

const std::string &folder()
{
    // One folder for the process, removed at its end: a regression run is
    // many processes.  The name is never freed, so that the exit handler,
    // which runs after the statics are gone, can still use it.
    static const std::string *made = [] {
        auto *path = new std::string((std::filesystem::temp_directory_path() / "fuzz_trial_XXXXXX").string());
        require(::mkdtemp(path->data()) != nullptr);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(folder(), ignored);
        });
        return path;
    }();
    return *made;
}

std::string bytesOf(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool placeSound(const std::string &text, bool spacing)
{
    if (text.empty())
        return true;
    const std::optional<double> v = parseNumber(text);
    return v && (spacing ? spacingSound(*v) : positionSound(*v));
}

void requireSound(const Trial &trial)
{
    require(!trial.Passes.empty() && trial.CurrentPass >= 1 &&
            trial.CurrentPass <= static_cast<int>(trial.Passes.size()));
    for (std::size_t i = 0; i < 3; ++i)
        require(spreadCoefficientSound(i, trial.Settings.Spread[i]));
    require(trial.Settings.DenseCoverage >= 0.01 && trial.Settings.DenseCoverage <= 1.0);
    for (const LinePass &pass : trial.Passes) {
        require(placeSound(pass.Spray[Sample_Position1], false) && placeSound(pass.Spray[Sample_Interval], true));
        for (const CardRecord &card : pass.Cards.records()) {
            require(card.FilePath.empty() || std::filesystem::path(card.FilePath).filename() == card.FileTitle);
            require(!card.PositionEdited || positionSound(card.EditedPosition));
            require(!card.Stains.empty());
            for (const SizeClass &c : card.Stains)
                require(c.VolumeFraction >= 0.0f && c.VolumeFraction <= 1.0f);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    const std::string path = folder() + "/trial.vexolin";
    // Written plainly: the whole-file writer's syncs would cost most of a run.
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        require(out.good());
    }
    Result<Trial> opened = openTrial(path);
    require(bytesOf(path) == bytes);
    if (!opened.ok()) {
        require(opened.value().Passes.empty());
        return 0;
    }
    requireSound(opened.value());

    // What the reader takes the writer writes, and it comes back the same.
    const std::string again = folder() + "/again.vexolin";
    require(saveTrial(again, opened.value()).ok());
    const Result<Trial> reopened = openTrial(again);
    require(reopened.ok() && reopened.value() == opened.value());

    for (LinePass &pass : opened.value().Passes) {
        AnalysisSettings settings = opened.value().Settings;
        settings.Spray = pass.Spray;
        (void)analyseLine(pass.Cards, settings);
    }
    return 0;
}
