#include "line/SprayLineGraph.h"

#include "line/CardPositions.h"
#include "text/NumberText.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vex {

double niceTickStep(float maximum)
{
    const double m = maximum;
    if (!(m > 0.0) || !std::isfinite(m))
        return 1.0;
    // The maximum is single precision: 0.015 arrives as 0.0149999997.  It
    // is taken at its decimal meaning, so thresholds hit within a few units
    // of its last place count as reached.
    constexpr double Slack = 1.0 + 1e-6;
    double p = std::pow(10.0, std::floor(std::log10(m)));
    double r = m / p;
    if (r * Slack >= 10.0) {
        p *= 10.0;
        r /= 10.0;
    } else if (r * Slack < 1.0) {
        p /= 10.0;
        r *= 10.0;
    }
    r *= Slack;
    if (r < 1.5)
        return 0.25 * p;
    if (r < 3.0)
        return 0.5 * p;
    if (r < 6.0)
        return p;
    return 2.0 * p;
}

std::string tickLabel(double value, double step, bool volumeRow)
{
    const bool whole = volumeRow ? step >= 1.0 : std::fabs(step - std::round(step)) < 1e-9;
    return whole ? formatFixed(value, 0) : formatOptional(value, 1, 2);
}

SprayLineScale sprayLineScale(const CardList &cards, const std::vector<CardStat> &stats, float maxCardVmd,
                              float rateFactor)
{
    SprayLineScale s;
    bool any = false;
    for (int i = 1; i <= cards.count(); ++i) {
        const double p = cards[i].Position;
        s.PMin = any ? std::min(s.PMin, p) : p;
        s.PMax = any ? std::max(s.PMax, p) : p;
        any = true;
    }
    s.PMin = std::min(s.PMin, 0.0);
    s.PMax = std::max(s.PMax, 0.0);
    s.Range = s.PMax - s.PMin;
    const double range = s.Range > 0.0 ? s.Range : 1.0;
    s.Left = s.PMin - range / 10.0;
    s.Width = 1.2 * range;

    auto stat = [&stats](int i) {
        return i >= 0 && static_cast<std::size_t>(i) < stats.size() ? stats[static_cast<std::size_t>(i)] : CardStat{};
    };
    double vmd = maxCardVmd;
    double drops = stat(1).DropDensity;
    double volume = stat(1).VolumeDensity;
    for (int i = 1; i <= cards.count(); ++i) {
        vmd = std::max(vmd, stat(i).Vmd);
        drops = std::max(drops, cards[i].DropDensity);
        volume = std::max(volume, cards[i].VolumeDensity);
    }
    s.M1 = static_cast<float>(1.1 * vmd);
    s.M2 = static_cast<float>(1.1 * drops);
    s.M3 = static_cast<float>(1.1 * static_cast<double>(rateFactor) * volume);
    return s;
}

double rowY(const SprayLineScale &scale, int row, double value)
{
    const float maxima[3] = {scale.M1, scale.M2, scale.M3};
    const float m = maxima[std::clamp(row, 0, 2)];
    const double base = 2.0 - std::clamp(row, 0, 2);
    return m > 0.0f ? base + value / static_cast<double>(m) : base;
}

SprayLinePicture sprayLinePicture(const CardList &cards, const std::vector<CardStat> &stats, float maxCardVmd,
                                  float rateFactor, const CompositeResult &all, const CompositeResult *range,
                                  const SprayInfo &spray)
{
    SprayLinePicture pic;
    pic.Scale = sprayLineScale(cards, stats, maxCardVmd, rateFactor);
    const double rate = rateFactor;
    for (int i = 1; i <= cards.count(); ++i) {
        SprayLinePicture::Card c;
        c.Position = cards[i].Position;
        // A card left out of the line is drawn as one without figures.
        c.Scanned = cards[i].Scanned && !cards[i].Excluded;
        const CardStat s = static_cast<std::size_t>(i) < stats.size() ? stats[static_cast<std::size_t>(i)] : CardStat{};
        c.Y[0] = rowY(pic.Scale, 0, s.Vmd);
        c.Y[1] = rowY(pic.Scale, 1, s.DropDensity);
        c.Y[2] = rowY(pic.Scale, 2, s.VolumeDensity * rate);
        pic.Cards.push_back(c);
    }
    pic.Reference[0] = rowY(pic.Scale, 0, all.VMD);
    pic.Reference[1] = rowY(pic.Scale, 1, all.DropDensity);
    pic.Reference[2] = rowY(pic.Scale, 2, all.VolumeDensity * rate);
    pic.HasRange = range != nullptr;
    if (range) {
        pic.RangeReference[0] = rowY(pic.Scale, 0, range->VMD);
        pic.RangeReference[1] = rowY(pic.Scale, 1, range->DropDensity);
        pic.RangeReference[2] = rowY(pic.Scale, 2, range->VolumeDensity * rate);
    }
    const auto drawn = std::count_if(pic.Cards.begin(), pic.Cards.end(), [](const auto &c) { return c.Scanned; });
    if (drawn < 2)
        pic.Note = "The spray line graphs need at least two cards.";
    pic.PositionDecimals = linePositionDecimals(cards, spray);
    pic.LabelEvery = positionLabelEvery(cards.count(), pic.Scale.Range, positionValue(spray[Sample_Interval]));
    return pic;
}

int positionLabelEvery(int cardCount, double range, double interval)
{
    if (cardCount <= 25 || !(interval > 0.0))
        return 1;
    // A line typed far out for its spacing spans more spacings than an int.
    const double every = range / interval / 10.0;
    return !(every < static_cast<double>(std::numeric_limits<int>::max())) ? std::numeric_limits<int>::max()
                                                                           : std::max(1, static_cast<int>(every));
}

LabelSize cardLabelSize(double range, int cardCount, double pixelsPerUnit)
{
    if (cardCount < 1)
        return {};
    const double w = std::min(20.0, range / cardCount * pixelsPerUnit - 3.0);
    LabelSize size;
    size.Width = std::max(1, static_cast<int>(std::nearbyint(w)));
    size.Height = std::max(1, static_cast<int>(std::nearbyint(1.25 * size.Width)));
    return size;
}

CardReadOut cardReadOut(const CardList &cards, const std::vector<CardStat> &stats, const SprayLineScale &scale,
                        int card, float rateFactor, const std::string &rateUnit)
{
    CardReadOut r;
    if (card < 1 || card > cards.count() || static_cast<std::size_t>(card) >= stats.size())
        return r;
    const CardStat &s = stats[static_cast<std::size_t>(card)];
    const double volume = static_cast<double>(rateFactor) * s.VolumeDensity;
    r.X = cards[card].Position;
    r.Y[0] = rowY(scale, 0, s.Vmd);
    r.Y[1] = rowY(scale, 1, s.DropDensity);
    r.Y[2] = rowY(scale, 2, volume);
    const double middle = (static_cast<double>(cards[1].Position) + cards[cards.count()].Position) / 2.0;
    r.RightSide = r.X < middle;
    r.Caption = "Quarrow Vexolin -- " + cards[card].FileTitle;
    r.Texts[0] = " " + formatFixed(s.Vmd, 2) + " " + MicroSign + "m ";
    r.Texts[1] = " " + formatFixed(s.DropDensity, 2) + " drops/cm" + SuperscriptTwo + " ";
    r.Texts[2] = " " + formatFixed(volume, 2) + " " + rateUnit + " ";
    return r;
}

} // namespace vex
