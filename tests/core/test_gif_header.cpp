#include "intake/GifHeader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vex {
namespace {

std::vector<std::uint8_t> gifHeader(const std::string &signature, int colourResolution, int width = 320,
                                    int height = 200)
{
    std::vector<std::uint8_t> bytes(signature.begin(), signature.end());
    bytes.push_back(static_cast<std::uint8_t>(width));
    bytes.push_back(static_cast<std::uint8_t>(width >> 8));
    bytes.push_back(static_cast<std::uint8_t>(height));
    bytes.push_back(static_cast<std::uint8_t>(height >> 8));
    // Global table present, 256 entries; colour resolution in bits 4 to 6.
    bytes.push_back(static_cast<std::uint8_t>(0x80 | ((colourResolution - 1) << 4) | 7));
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

GifHeaderResult check(const std::vector<std::uint8_t> &bytes)
{
    return checkGifHeader(bytes.data(), bytes.size());
}

TEST(GifHeader, BothVersionsInAnyCaseAreAccepted)
{
    for (const char *signature : {"GIF87a", "GIF89a", "GIF89A", "gif87a"}) {
        SCOPED_TRACE(signature);
        const GifHeaderResult r = check(gifHeader(signature, 8));
        EXPECT_TRUE(r.SignatureValid);
        EXPECT_TRUE(r.Complete);
        EXPECT_EQ(r.ColourDepth, 8);
        EXPECT_EQ(r.Width, 320);
        EXPECT_EQ(r.Height, 200);
    }
}

TEST(GifHeader, OtherSignaturesAreRefused)
{
    EXPECT_FALSE(check(gifHeader("GIF88a", 8)).SignatureValid);
    EXPECT_FALSE(check(gifHeader("\x89PNG\r\n", 8)).SignatureValid);
    EXPECT_FALSE(check(gifHeader("GIF89", 8)).SignatureValid);
}

TEST(GifHeader, ColourResolutionIsReportedAsTheDepth)
{
    EXPECT_EQ(check(gifHeader("GIF89a", 7)).ColourDepth, 7);
    EXPECT_EQ(check(gifHeader("GIF89a", 1)).ColourDepth, 1);
}

TEST(GifHeader, ShortDataIsIncompleteButNeverReadPast)
{
    const std::vector<std::uint8_t> full = gifHeader("GIF89a", 8);
    for (std::size_t size = 0; size < GifScreenDescriptorEnd; ++size) {
        const GifHeaderResult r = checkGifHeader(full.data(), size);
        EXPECT_FALSE(r.Complete) << size;
        EXPECT_EQ(r.SignatureValid, size >= 6) << size;
    }
    EXPECT_FALSE(checkGifHeader(nullptr, 0).SignatureValid);
}

} // namespace
} // namespace vex
