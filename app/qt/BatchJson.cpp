#include "app/qt/BatchJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace vex {

namespace {

// Single-precision values go out as the double they convert to exactly, so
// that a reader gets the stored value and not a rounded decimal.
double exact(float value)
{
    return static_cast<double>(value);
}

QJsonObject classObject(const SizeClass &c)
{
    QJsonObject o;
    o.insert(QStringLiteral("area"), c.Area);
    o.insert(QStringLiteral("count"), c.Count);
    o.insert(QStringLiteral("diameter_um"), exact(c.Diameter));
    o.insert(QStringLiteral("drop_volume_um3"), exact(c.DropVolume));
    o.insert(QStringLiteral("volume_fraction"), exact(c.VolumeFraction));
    o.insert(QStringLiteral("cum_volume_fraction"), exact(c.CumVolumeFraction));
    o.insert(QStringLiteral("number_fraction"), exact(c.NumberFraction));
    o.insert(QStringLiteral("cum_number_fraction"), exact(c.CumNumberFraction));
    return o;
}

QJsonObject cardObject(const BatchCardResult &r)
{
    const CardRecord &card = *r.Card;
    const CardFigures &f = r.Figures;
    const bool drops = card.Stains.size() > 1;
    QJsonObject o;
    o.insert(QStringLiteral("file"), QString::fromStdString(card.FilePath));
    o.insert(QStringLiteral("width"), card.ImageWidth);
    o.insert(QStringLiteral("height"), card.ImageHeight);
    o.insert(QStringLiteral("resolution"), card.Resolution);
    o.insert(QStringLiteral("pixel_size_um"), card.PixelSizeX);
    o.insert(QStringLiteral("card_area_cm2"), card.CardArea);
    o.insert(QStringLiteral("background_index"), card.BackgroundIndex);
    o.insert(QStringLiteral("dither_index"), card.DitherIndex);
    o.insert(QStringLiteral("foreground_pixels"), static_cast<double>(f.ForegroundPixels));
    o.insert(QStringLiteral("accepted"), f.Accepted);
    o.insert(QStringLiteral("rejected"), card.RejectedCount);
    // A card without drops has no spectrum: its figures are zero, not stale.
    o.insert(QStringLiteral("vmd_um"), drops ? card.VMD : 0.0);
    o.insert(QStringLiteral("drop_density_per_cm2"), drops ? card.DropDensity : 0.0);
    o.insert(QStringLiteral("volume_density_nl_per_cm2"), drops ? card.VolumeDensity : 0.0);
    o.insert(QStringLiteral("total_volume_nl"), drops ? card.TotalVolume : 0.0);
    o.insert(QStringLiteral("smallest_diameter_um"), drops ? exact(card.SmallestDiameter) : 0.0);
    o.insert(QStringLiteral("largest_diameter_um"), drops ? exact(card.LargestDiameter) : 0.0);
    o.insert(QStringLiteral("dv01_um"), f.Dv01);
    o.insert(QStringLiteral("dv09_um"), f.Dv09);
    o.insert(QStringLiteral("relative_span"), f.RelativeSpan);
    o.insert(QStringLiteral("nmd_um"), f.Nmd);
    o.insert(QStringLiteral("coverage_percent"), f.CoveragePercent);
    QJsonArray classes;
    for (std::size_t k = 1; k < card.Stains.size(); ++k)
        classes.append(classObject(card.Stains[k]));
    o.insert(QStringLiteral("classes"), classes);
    return o;
}

} // namespace

QByteArray batchJson(const std::vector<BatchCardResult> &cards)
{
    QJsonArray list;
    for (const BatchCardResult &r : cards)
        list.append(cardObject(r));
    QJsonObject root;
    root.insert(QStringLiteral("cards"), list);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

} // namespace vex
