#include "app/TrialState.h"

#include "line/SettingsTable.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace vex {

CardRecord storedCard(CardRecord &card)
{
    ForegroundPixelList pixels = std::move(card.ForegroundPixels);
    CardRecord copy = card;
    card.ForegroundPixels = std::move(pixels);
    copy.ColoursKnown = false;
    return copy;
}

AnalysisSettings trialSettings(const AnalysisSettings &settings)
{
    AnalysisSettings s;
    copyTrialSettings(settings, s);
    return s;
}

namespace {

// Exact, whatever the locale: hexadecimal floating point.
void add(std::string &key, double v)
{
    char text[40];
    std::snprintf(text, sizeof text, "%a;", v);
    key += text;
}

void add(std::string &key, const std::string &text)
{
    key += std::to_string(text.size());
    key += ':';
    key += text;
}

} // namespace

std::string trialStateKey(const AnalysisSettings &settings, const std::vector<PassView> &passes)
{
    std::string key;
    for (const SettingDecl &d : settingsTable())
        if (d.Column)
            add(key, d.Get(settings));
    for (const PassView &p : passes) {
        key += "|pass|";
        add(key, p.Pass->Name);
        add(key, double(p.Pass->InMean));
        add(key, double(p.Pass->OrderEdited));
        for (const std::string &v : p.Spray->Values)
            add(key, v);
        for (const CardRecord &c : p.Cards->records()) {
            key += "|card|";
            add(key, c.FilePath);
            add(key, c.ContentHash);
            for (const double v :
                 {double(c.Resolution), double(c.BackgroundIndex), double(c.DitherIndex), double(c.Scanned),
                  double(c.PositionEdited), double(c.EditedPosition), double(c.Excluded), c.VMD, c.DropDensity,
                  c.VolumeDensity, c.TotalVolume, double(c.Stains.size()), double(c.RejectedCount), c.StainCoverage})
                add(key, v);
            if (c.Source) {
                add(key, c.Source->PicturePath);
                for (const double v : {double(c.Source->Index), c.Source->WidthMm, c.Source->HeightMm})
                    add(key, v);
                for (const CardSource::Corner &corner : c.Source->Corners)
                    for (const double v : {corner.X, corner.Y})
                        add(key, v);
            }
        }
    }
    return key;
}

std::string trialStateKey(const Trial &trial)
{
    std::vector<PassView> views;
    for (const LinePass &p : trial.Passes)
        views.push_back({&p, &p.Cards, &p.Spray});
    return trialStateKey(trial.Settings, views);
}

bool cardOutsideTrialFolder(const std::string &cardPath, const std::string &trialPath)
{
    namespace fs = std::filesystem;
    std::error_code ignored;
    const fs::path folder = fs::weakly_canonical(fs::absolute(trialPath, ignored), ignored).parent_path();
    const fs::path card = fs::weakly_canonical(fs::absolute(cardPath, ignored), ignored);
    const fs::path relative = card.lexically_relative(folder);
    return relative.empty() || *relative.begin() == ".." || relative == ".";
}

} // namespace vex
