// Measures Palwrite saving a large picture, loaded with dlopen as any client
// loads it: a 10 000 x 10 000 24-bit picture of every kind of colour.
//
//   palwrite_bench <libpalwrite.so> <out.bmp> [size, default 10000] [repeats, default 3]

#include "bench/BenchSupport.h"
#include "palwrite.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

using namespace vex::bench;

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <libpalwrite.so> <out.bmp> [size] [repeats]\n", argv[0]);
        return 2;
    }
    void *handle = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    auto create = reinterpret_cast<int (*)(SavePalwrite **)>(dlsym(handle, "palwrite_create"));
    auto save = reinterpret_cast<int (*)(SavePalwrite *, const PalwritePicture *, const char *)>(
        dlsym(handle, "palwrite_save"));
    auto error = reinterpret_cast<const char *(*)(const SavePalwrite *)>(dlsym(handle, "palwrite_error_description"));
    auto release = reinterpret_cast<void (*)(SavePalwrite *)>(dlsym(handle, "palwrite_release"));
    const int size = argc > 3 ? std::atoi(argv[3]) : 10000;
    const int repeats = argc > 4 ? std::max(1, std::atoi(argv[4])) : 3;

    // A gradient over red and green with blue stepping by row: every level
    // boundary of the cube is crossed many times.
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(size) * static_cast<std::size_t>(size) * 3);
    for (int y = 0; y < size; ++y) {
        std::uint8_t *row = pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(size) * 3;
        for (int x = 0; x < size; ++x) {
            row[3 * x] = static_cast<std::uint8_t>((y * 7) & 0xFF);
            row[3 * x + 1] = static_cast<std::uint8_t>((x + y) & 0xFF);
            row[3 * x + 2] = static_cast<std::uint8_t>(x & 0xFF);
        }
    }
    SavePalwrite *saver = nullptr;
    if (create(&saver) != 0)
        return 1;
    const PalwritePicture picture{size, size, size * 3, 24, pixels.data()};
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        const Clock::time_point start = Clock::now();
        const int code = save(saver, &picture, argv[2]);
        const double seconds = secondsBetween(start, Clock::now());
        if (code != 0) {
            std::fprintf(stderr, "error %d: %s\n", code, error(saver));
            return 1;
        }
        times.push_back(seconds);
        std::printf("round %d: %.3f s\n", i + 1, seconds);
    }
    release(saver);
    std::error_code ec;
    const auto bytes = static_cast<long long>(std::filesystem::file_size(argv[2], ec));
    std::printf("picture %d x %d (%.1f MiB of 24-bit pixels), file %.1f MiB\n", size, size,
                mib(static_cast<long long>(pixels.size())), mib(bytes));
    std::printf("save median %.3f s, best %.3f s\n", median(times), *std::min_element(times.begin(), times.end()));
    std::printf("peak RSS %.1f MiB\n", mib(statusBytes("VmHWM")));
    dlclose(handle);
    return 0;
}
