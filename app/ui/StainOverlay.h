#pragma once
// The stains of a card's last scan as the card picture outlines them: the
// picture of the outlines, drawn once per card and kept, its legend, and the
// stain under the pointer as a row of the stain table.

#include "analysis/StainMap.h"
#include "app/ui/CardPicture.h"

#include <QImage>
#include <QList>
#include <QString>

#include <array>

namespace vex::ui {

class StainOverlay {
public:
    StainOverlay(StainMap map, double pixelSizeX, const std::array<double, 3> &spread);

    // The outlines over a picture of `size` (the card's); drawn on the first
    // call, kept for the next ones at that size.
    const QImage &picture(QSize size);
    // Frees the picture while another card is shown: a card of 8 megapixels
    // takes 32 MB of it.
    void release() { picture_ = QImage(); }
    QList<CardPicture::LegendEntry> legend() const;
    // The row of the stain at image point (x, y), empty over the card.
    QString rowAt(double x, double y) const;
    const StainMap &map() const { return map_; }

    static QRgb colour(OutlineCode code);

private:
    StainMap map_;
    double pixelSizeX_ = 0.0;
    std::array<double, 3> spread_{};
    QImage picture_;
};

} // namespace vex::ui
