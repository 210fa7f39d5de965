#include "model/CardGeometry.h"

namespace vex {

double pixelSizeMicrons(std::int32_t dpi)
{
    return ((1.0 / dpi) / 12.0 / 3.2808) * 1e6;
}

double cardAreaCm2(std::int32_t width, std::int32_t height, double pixelSizeX, double pixelSizeY)
{
    return (width * pixelSizeX / 10000.0) * (height * pixelSizeY / 10000.0);
}

void applyResolution(CardRecord &card, std::int32_t dpi)
{
    card.Resolution = dpi;
    card.PixelSizeX = pixelSizeMicrons(dpi);
    card.PixelSizeY = card.PixelSizeX;
    card.CardArea = cardAreaCm2(card.ImageWidth, card.ImageHeight, card.PixelSizeX, card.PixelSizeY);
}

} // namespace vex
