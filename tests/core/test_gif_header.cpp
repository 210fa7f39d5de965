#include "intake/GifHeader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vex {
namespace {

// Signature, logical screen descriptor and nothing else.  `tableBits` is the
// size field of the global colour table (2^(bits+1) entries).
std::vector<std::uint8_t> gifHeader(const std::string &signature, int colourResolution, int width = 320,
                                    int height = 200, int tableBits = 7)
{
    std::vector<std::uint8_t> bytes(signature.begin(), signature.end());
    bytes.push_back(static_cast<std::uint8_t>(width));
    bytes.push_back(static_cast<std::uint8_t>(width >> 8));
    bytes.push_back(static_cast<std::uint8_t>(height));
    bytes.push_back(static_cast<std::uint8_t>(height >> 8));
    // Global table present; colour resolution minus one in bits 4 to 6.
    bytes.push_back(static_cast<std::uint8_t>(0x80 | ((colourResolution - 1) << 4) | tableBits));
    bytes.push_back(0); // background index
    bytes.push_back(0); // aspect ratio
    return bytes;
}

GifHeaderResult check(const std::vector<std::uint8_t> &bytes)
{
    return checkGifHeader(bytes.data(), bytes.size());
}

TEST(GifHeader, BothVersionsInAnyCaseAreAccepted)
{
    for (const char *signature : {"GIF87a", "GIF89a", "GIF89A", "gif87a", "gIf89A"}) {
        SCOPED_TRACE(signature);
        const GifHeaderResult r = check(gifHeader(signature, 8));
        EXPECT_TRUE(r.SignatureValid);
        EXPECT_TRUE(r.Complete);
    }
}

TEST(GifHeader, OtherSignaturesAreRefused)
{
    for (const char *signature : {"GIF88a", "GIF89b", "GIF8 a", "\x89PNG\r\n", "BM6\x01\0\0"}) {
        SCOPED_TRACE(signature);
        EXPECT_FALSE(check(gifHeader(std::string(signature, 6), 8)).SignatureValid);
    }
}

TEST(GifHeader, ScreenSizeIsLittleEndian)
{
    const GifHeaderResult r = check(gifHeader("GIF89a", 8, 0x0A0B, 0x0102));
    EXPECT_EQ(r.Width, 0x0A0B);
    EXPECT_EQ(r.Height, 0x0102);
}

TEST(GifHeader, ColourResolutionIsTheDepth)
{
    EXPECT_EQ(check(gifHeader("GIF89a", 8)).ColourDepth, 8);
    EXPECT_EQ(check(gifHeader("GIF89a", 7)).ColourDepth, 7);
    EXPECT_EQ(check(gifHeader("GIF89a", 1)).ColourDepth, 1);
}

TEST(GifHeader, ColourTableSizeDoesNotChangeTheDepth)
{
    // A 256-entry table at 7 bits of resolution, and a 2-entry one at 8.
    EXPECT_EQ(check(gifHeader("GIF89a", 7, 10, 10, 7)).ColourDepth, 7);
    EXPECT_EQ(check(gifHeader("GIF89a", 8, 10, 10, 0)).ColourDepth, 8);
}

TEST(GifHeader, ShortDataIsIncompleteAndFillsWhatIsThere)
{
    const std::vector<std::uint8_t> full = gifHeader("GIF89a", 7, 300, 400);
    for (std::size_t size = 0; size < GifScreenDescriptorEnd; ++size) {
        SCOPED_TRACE(size);
        const GifHeaderResult r = checkGifHeader(full.data(), size);
        EXPECT_FALSE(r.Complete);
        EXPECT_EQ(r.SignatureValid, size >= 6);
        EXPECT_EQ(r.Width, size >= 8 ? 300 : 0);
        EXPECT_EQ(r.Height, size >= 10 ? 400 : 0);
        EXPECT_EQ(r.ColourDepth, size >= 11 ? 7 : 0);
    }
    EXPECT_TRUE(checkGifHeader(full.data(), GifScreenDescriptorEnd).Complete);
}

TEST(GifHeader, NoDataIsNothing)
{
    const GifHeaderResult r = checkGifHeader(nullptr, 13);
    EXPECT_FALSE(r.SignatureValid);
    EXPECT_FALSE(r.Complete);
}

} // namespace
} // namespace vex
