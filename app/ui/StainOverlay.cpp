#include "app/ui/StainOverlay.h"

#include "line/StainTable.h"

#include <QCoreApplication>

#include <cmath>
#include <cstring>

namespace vex::ui {

StainOverlay::StainOverlay(StainMap map, double pixelSizeX, const std::array<double, 3> &spread)
    : map_(std::move(map)), pixelSizeX_(pixelSizeX), spread_(spread)
{}

QRgb StainOverlay::colour(OutlineCode code)
{
    // Colours that stand out on the yellow card and on blue stains alike.
    switch (code) {
    case OutlineCode::Accepted:
        return qRgb(0, 220, 0);
    case OutlineCode::NoValidHue:
        return qRgb(255, 0, 255);
    case OutlineCode::NotRound:
        return qRgb(255, 30, 30);
    case OutlineCode::TooFewValidHues:
        return qRgb(255, 150, 0);
    case OutlineCode::Folded:
        return qRgb(0, 200, 255);
    case OutlineCode::Cut:
        return qRgb(255, 255, 255);
    case OutlineCode::None:
        break;
    }
    return qRgba(0, 0, 0, 0);
}

const QImage &StainOverlay::picture(QSize size)
{
    if (picture_.size() == size)
        return picture_;
    const std::vector<std::uint8_t> codes = map_.outlines(size.width(), size.height());
    QImage indexed(size, QImage::Format_Indexed8);
    QList<QRgb> table;
    for (int c = 0; c < OutlineCodes; ++c)
        table.push_back(colour(static_cast<OutlineCode>(c)));
    indexed.setColorTable(table);
    const auto w = static_cast<std::size_t>(size.width());
    for (int y = 0; y < size.height(); ++y)
        std::memcpy(indexed.scanLine(y), codes.data() + static_cast<std::size_t>(y) * w, w);
    // Converted once here, so that a paint only copies what is in sight.
    picture_ = indexed.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return picture_;
}

QList<CardPicture::LegendEntry> StainOverlay::legend() const
{
    const std::vector<std::int64_t> n = map_.counts();
    const struct {
        OutlineCode Code;
        const char *Caption;
    } entries[] = {
        {OutlineCode::Accepted, QT_TRANSLATE_NOOP("StainOverlay", "Accepted")},
        {OutlineCode::NoValidHue, QT_TRANSLATE_NOOP("StainOverlay", "Rejected: no valid hue")},
        {OutlineCode::NotRound, QT_TRANSLATE_NOOP("StainOverlay", "Rejected: not round")},
        {OutlineCode::TooFewValidHues, QT_TRANSLATE_NOOP("StainOverlay", "Rejected: too few valid hues")},
        {OutlineCode::Folded, QT_TRANSLATE_NOOP("StainOverlay", "Leg folded into another stain")},
        {OutlineCode::Cut, QT_TRANSLATE_NOOP("StainOverlay", "Cut between touching stains")},
    };
    QList<CardPicture::LegendEntry> legend;
    for (const auto &e : entries) {
        const std::int64_t count = n[static_cast<std::size_t>(e.Code)];
        // Every outcome of a scan is named, even when none ended so; the
        // cut only where stains were cut apart.
        if (e.Code == OutlineCode::Cut && count == 0)
            continue;
        legend.push_back({QColor::fromRgb(colour(e.Code)),
                          QStringLiteral("%1 (%2)").arg(QCoreApplication::translate("StainOverlay", e.Caption),
                                                        QString::number(count))});
    }
    return legend;
}

QString StainOverlay::rowAt(double x, double y) const
{
    const std::int32_t stain =
        map_.stainAt(static_cast<std::int32_t>(std::floor(x)), static_cast<std::int32_t>(std::floor(y)));
    if (stain < 0)
        return {};
    return QString::fromStdString(stainRowText(map_.stains()[static_cast<std::size_t>(stain)],
                                               static_cast<std::size_t>(stain) + 1, pixelSizeX_, spread_));
}

} // namespace vex::ui
