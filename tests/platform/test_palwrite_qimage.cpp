// Files written by Palwrite read by a decoder of its own: Qt's.

#include "palwrite.h"

#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <random>
#include <vector>

namespace {

TEST(PalwriteReadBack, QtReadsAnEightBitPaletteBmpWithTheExpectedPixels)
{
    void *handle = dlopen(PALWRITE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    auto create = reinterpret_cast<int (*)(SavePalwrite **)>(dlsym(handle, "palwrite_create"));
    auto save = reinterpret_cast<int (*)(SavePalwrite *, const PalwritePicture *, const char *)>(
        dlsym(handle, "palwrite_save"));
    auto release = reinterpret_cast<void (*)(SavePalwrite *)>(dlsym(handle, "palwrite_release"));
    ASSERT_TRUE(create && save && release);

    // 37 x 23 random colours, 24-bit, rows from the top.
    const int w = 37;
    const int h = 23;
    std::mt19937 random(5);
    std::vector<std::uint8_t> px(static_cast<std::size_t>(w * h * 3));
    for (std::uint8_t &c : px)
        c = static_cast<std::uint8_t>(random() & 0xFF);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("random.bmp"));
    SavePalwrite *saver = nullptr;
    ASSERT_EQ(create(&saver), 0);
    const PalwritePicture picture{w, h, w * 3, 24, px.data()};
    ASSERT_EQ(save(saver, &picture, file.toLocal8Bit().constData()), 0);
    release(saver);

    QImage image;
    ASSERT_TRUE(image.load(file, "BMP"));
    EXPECT_EQ(image.format(), QImage::Format_Indexed8);
    EXPECT_EQ(image.width(), w);
    EXPECT_EQ(image.height(), h);
    ASSERT_EQ(image.colorCount(), 256);
    const int levels[5] = {0, 64, 128, 192, 255};
    auto nearest = [&levels](int c) {
        int best = 0;
        for (int l = 1; l < 5; ++l)
            if (std::abs(c - levels[l]) < std::abs(c - levels[best]))
                best = l;
        return best;
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint8_t *p = px.data() + (y * w + x) * 3;
            const int index = nearest(p[2]) + 5 * nearest(p[1]) + 25 * nearest(p[0]);
            ASSERT_EQ(image.pixelIndex(x, y), index) << x << ", " << y;
            EXPECT_EQ(image.pixel(x, y), qRgb(levels[nearest(p[2])], levels[nearest(p[1])], levels[nearest(p[0])]));
        }
    EXPECT_EQ(image.color(125), qRgb(0, 0, 0));
    EXPECT_EQ(image.color(124), qRgb(255, 255, 255));
    dlclose(handle);
}

} // namespace
