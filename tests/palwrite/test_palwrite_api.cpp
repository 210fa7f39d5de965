// The library as a client sees it: loaded with dlopen, called through its
// exported C functions, files read back byte by byte.

#include "palwrite.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

struct Library {
    void *Handle = nullptr;
    int (*Create)(SavePalwrite **) = nullptr;
    int (*Save)(SavePalwrite *, const PalwritePicture *, const char *) = nullptr;
    const char *(*Error)(const SavePalwrite *) = nullptr;
    void (*Release)(SavePalwrite *) = nullptr;
    int (*CanUnload)() = nullptr;
    int (*Register)() = nullptr;
    int (*Unregister)() = nullptr;

    Library()
    {
        Handle = dlopen(PALWRITE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (!Handle)
            return;
        auto get = [this](auto &fn, const char *name) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(Handle, name));
        };
        get(Create, "palwrite_create");
        get(Save, "palwrite_save");
        get(Error, "palwrite_error_description");
        get(Release, "palwrite_release");
        get(CanUnload, "palwrite_can_unload_now");
        get(Register, "palwrite_register_server");
        get(Unregister, "palwrite_unregister_server");
    }
    ~Library()
    {
        if (Handle)
            dlclose(Handle);
    }
};

Library &lib()
{
    static Library l;
    return l;
}

class Palwrite : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(lib().Handle, nullptr) << dlerror();
        ASSERT_EQ(lib().Create(&saver_), 0);
        std::random_device seed;
        folder_ =
            std::filesystem::temp_directory_path() / ("palwrite_" + std::to_string(seed()) + std::to_string(seed()));
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override
    {
        lib().Release(saver_);
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    std::string path(const char *name) const { return (folder_ / name).string(); }

    // A 24-bit picture of w x h pixels, every one the given colour.
    static std::vector<std::uint8_t> plain(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b)
    {
        std::vector<std::uint8_t> px;
        for (int i = 0; i < w * h; ++i)
            px.insert(px.end(), {b, g, r});
        return px;
    }
    int save(const std::vector<std::uint8_t> &px, int w, int h, int format, const std::string &file, int stride = -1)
    {
        const PalwritePicture pic{w, h, stride >= 0 ? stride : w * format / 8, format, px.data()};
        return lib().Save(saver_, &pic, file.c_str());
    }
    static std::vector<std::uint8_t> read(const std::string &file)
    {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static std::uint32_t u32(const std::vector<std::uint8_t> &b, std::size_t at)
    {
        return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
    }

    SavePalwrite *saver_ = nullptr;
    std::filesystem::path folder_;
};

TEST_F(Palwrite, FiveByTwoGivesRowsOfEightAndAFileOf1094Bytes)
{
    ASSERT_EQ(save(plain(5, 2, 255, 0, 0), 5, 2, 24, path("a.bmp")), 0) << lib().Error(saver_);
    EXPECT_STREQ(lib().Error(saver_), "");
    const std::vector<std::uint8_t> f = read(path("a.bmp"));
    ASSERT_EQ(f.size(), 1094u);
    EXPECT_EQ(f[0], 'B');
    EXPECT_EQ(f[1], 'M');
    EXPECT_EQ(u32(f, 2), 1094u);
    EXPECT_EQ(u32(f, 10), 1078u);
    EXPECT_EQ(u32(f, 14), 40u);
    EXPECT_EQ(u32(f, 18), 5u);
    EXPECT_EQ(u32(f, 22), 2u);
    EXPECT_EQ(f[28], 8);
    EXPECT_EQ(u32(f, 34), 16u);
    EXPECT_EQ(u32(f, 46), 0u);
    // Pure red is table index 4; the padding bytes are zero.
    const std::vector<std::uint8_t> row(f.begin() + 1078, f.begin() + 1086);
    EXPECT_EQ(row, (std::vector<std::uint8_t>{4, 4, 4, 4, 4, 0, 0, 0}));
}

TEST_F(Palwrite, NarrowPicturesPadToFour)
{
    for (int w = 1; w <= 4; ++w) {
        ASSERT_EQ(save(plain(w, 3, 0, 0, 0), w, 3, 24, path("n.bmp")), 0);
        const std::vector<std::uint8_t> f = read(path("n.bmp"));
        EXPECT_EQ(u32(f, 34), 12u) << w;
        EXPECT_EQ(f.size(), 1078u + 12u) << w;
        EXPECT_EQ(f[1078], 0) << w; // black is index 0
    }
}

TEST_F(Palwrite, TheColourTableIsTheHalftoneCubeThenBlack)
{
    ASSERT_EQ(save(plain(2, 2, 10, 20, 30), 2, 2, 24, path("t.bmp")), 0);
    const std::vector<std::uint8_t> f = read(path("t.bmp"));
    const int levels[5] = {0, 64, 128, 192, 255};
    for (int k = 0; k < 256; ++k) {
        const std::size_t at = 54 + 4 * static_cast<std::size_t>(k);
        if (k < 125) {
            EXPECT_EQ(f[at + 2], levels[k % 5]) << k;       // red
            EXPECT_EQ(f[at + 1], levels[(k / 5) % 5]) << k; // green
            EXPECT_EQ(f[at], levels[k / 25]) << k;          // blue
        } else {
            EXPECT_EQ(f[at] + f[at + 1] + f[at + 2], 0) << k;
        }
        EXPECT_EQ(f[at + 3], 0) << k;
    }
}

TEST_F(Palwrite, PixelsAreReducedBottomRowFirstFromEitherFormat)
{
    // 3 x 2, 32-bit with a wide stride: top row red, green, blue; bottom row
    // white, (200, 200, 200), (96, 0, 0).
    std::vector<std::uint8_t> px(2 * 16, 0xAA);
    const std::uint8_t top[] = {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0};
    const std::uint8_t bottom[] = {255, 255, 255, 0, 200, 200, 200, 0, 0, 0, 96, 0};
    std::copy(std::begin(top), std::end(top), px.begin());
    std::copy(std::begin(bottom), std::end(bottom), px.begin() + 16);
    ASSERT_EQ(save(px, 3, 2, 32, path("p.bmp"), 16), 0) << lib().Error(saver_);
    const std::vector<std::uint8_t> f = read(path("p.bmp"));
    EXPECT_EQ((std::vector<std::uint8_t>(f.begin() + 1078, f.begin() + 1081)), (std::vector<std::uint8_t>{124, 93, 1}));
    EXPECT_EQ((std::vector<std::uint8_t>(f.begin() + 1082, f.begin() + 1085)), (std::vector<std::uint8_t>{4, 20, 100}));
}

TEST_F(Palwrite, SavingOverAFileReplacesIt)
{
    {
        std::ofstream old(path("r.bmp"), std::ios::binary);
        old << std::string(5000, 'x');
    }
    ASSERT_EQ(save(plain(4, 1, 0, 0, 0), 4, 1, 24, path("r.bmp")), 0);
    EXPECT_EQ(read(path("r.bmp")).size(), 1082u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), std::filesystem::directory_iterator()), 1);
}

TEST_F(Palwrite, AFileThatCannotBeCreatedIsError17WithTheSystemsText)
{
    const std::string missing = path("no/such/folder/x.bmp");
    EXPECT_EQ(save(plain(2, 2, 0, 0, 0), 2, 2, 24, missing), 17);
    EXPECT_STREQ(lib().Error(saver_), "No such file or directory");
    EXPECT_FALSE(std::filesystem::exists(missing));
    // A folder in the way of the name: nothing written, the folder intact.
    std::filesystem::create_directories(path("taken.bmp"));
    EXPECT_EQ(save(plain(2, 2, 0, 0, 0), 2, 2, 24, path("taken.bmp")), 17);
    EXPECT_TRUE(std::filesystem::is_directory(path("taken.bmp")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), std::filesystem::directory_iterator()), 1);
    // A later success clears the text.
    ASSERT_EQ(save(plain(2, 2, 0, 0, 0), 2, 2, 24, path("ok.bmp")), 0);
    EXPECT_STREQ(lib().Error(saver_), "");
}

TEST_F(Palwrite, UnusablePicturesAreRefusedWithAReason)
{
    const std::vector<std::uint8_t> px = plain(4, 4, 1, 2, 3);
    const PalwritePicture none{4, 4, 12, 24, nullptr};
    EXPECT_NE(lib().Save(saver_, &none, path("x.bmp").c_str()), 0);
    EXPECT_NE(std::string(lib().Error(saver_)).find("no pixels"), std::string::npos);
    EXPECT_NE(save(px, 0, 4, 24, path("x.bmp")), 0);
    EXPECT_NE(save(px, 4, -1, 24, path("x.bmp")), 0);
    EXPECT_NE(save(px, 4, 4, 16, path("x.bmp")), 0);
    EXPECT_NE(std::string(lib().Error(saver_)).find("16"), std::string::npos);
    EXPECT_NE(save(px, 4, 4, 24, path("x.bmp"), 11), 0);
    EXPECT_NE(std::string(lib().Error(saver_)).find("stride"), std::string::npos);
    EXPECT_NE(lib().Save(saver_, nullptr, path("x.bmp").c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(path("x.bmp")));
}

TEST(PalwriteServer, UnloadCheckAndRegistration)
{
    ASSERT_NE(lib().Handle, nullptr) << dlerror();
    EXPECT_EQ(lib().CanUnload(), 1);
    SavePalwrite *a = nullptr;
    SavePalwrite *b = nullptr;
    ASSERT_EQ(lib().Create(&a), 0);
    ASSERT_EQ(lib().Create(&b), 0);
    EXPECT_EQ(lib().CanUnload(), 0);
    lib().Release(a);
    EXPECT_EQ(lib().CanUnload(), 0);
    lib().Release(b);
    EXPECT_EQ(lib().CanUnload(), 1);
    EXPECT_EQ(lib().Register(), 0);
    EXPECT_EQ(lib().Unregister(), 0);
    EXPECT_NE(lib().Create(nullptr), 0);
    // Only the interface is exported.
    EXPECT_EQ(dlsym(lib().Handle, "_ZN8palwrite7Palette14CreateHalfToneEv"), nullptr);
}

} // namespace
