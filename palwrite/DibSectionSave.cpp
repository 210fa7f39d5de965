#include "DibSectionSave.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace palwrite {

namespace {

constexpr int FileNotCreated = 17;
constexpr int WriteFailed = 75;

void put16(std::uint8_t *at, std::uint32_t v)
{
    at[0] = static_cast<std::uint8_t>(v & 0xFFu);
    at[1] = static_cast<std::uint8_t>((v >> 8) & 0xFFu);
}

void put32(std::uint8_t *at, std::uint32_t v)
{
    put16(at, v & 0xFFFFu);
    put16(at + 2, v >> 16);
}

bool writeAll(int fd, const std::uint8_t *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// A new file beside `target` that no one else uses.
int createBeside(const std::string &target, std::string &temporary)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = target + ".palwrite-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

} // namespace

std::int64_t rowLength8(std::int32_t width)
{
    return (static_cast<std::int64_t>(width) + 3) & ~static_cast<std::int64_t>(3);
}

SaveResult DibSectionSave::Save(const std::string &fileName, const DibSection &source, const Palette *palette) const
{
    const std::int32_t width = source.Width();
    const std::int32_t height = source.Height();
    if (width <= 0 || height <= 0 || !source.DIBSectionBitsPtr())
        return {380, "The picture holds no bitmap to save."};
    Palette halfTone;
    if (!palette) {
        halfTone.CreateHalfTone();
        palette = &halfTone;
    }
    const std::int64_t row = rowLength8(width);
    const std::int64_t imageSize = row * height;
    if (imageSize + 1078 > 0xFFFFFFFFLL)
        return {380, "The picture is too large for a BMP file."};

    std::uint8_t header[1078] = {};
    header[0] = 'B';
    header[1] = 'M';
    put32(header + 2, static_cast<std::uint32_t>(1078 + imageSize));
    put32(header + 10, 1078);
    put32(header + 14, 40);
    put32(header + 18, static_cast<std::uint32_t>(width));
    put32(header + 22, static_cast<std::uint32_t>(height));
    put16(header + 26, 1);
    put16(header + 28, 8);
    put32(header + 34, static_cast<std::uint32_t>(imageSize));
    const std::int32_t n = std::min(255, palette->Count() - 1);
    for (std::int32_t k = 0; k <= n; ++k) {
        std::uint8_t *entry = header + 54 + 4 * k;
        entry[0] = palette->Blue(k + 1);
        entry[1] = palette->Green(k + 1);
        entry[2] = palette->Red(k + 1);
    }

    std::string temporary;
    const int fd = createBeside(fileName, temporary);
    if (fd < 0)
        return {FileNotCreated, std::strerror(errno)};
    auto fail = [&](int code) {
        const std::string why = std::strerror(code != 0 ? code : EIO);
        ::close(fd);
        ::unlink(temporary.c_str());
        return SaveResult{WriteFailed, why};
    };
    if (!writeAll(fd, header, sizeof header))
        return fail(errno);

    // Rows go out in blocks of a few megabytes, bottom row first like the
    // picture itself; table entries are colour indices 0.. (palette entry - 1).
    const bool cube = palette == &halfTone;
    const HalfToneLookup lookup;
    const std::int64_t rowsPerBlock = std::max<std::int64_t>(1, (4 << 20) / row);
    std::vector<std::uint8_t> block(static_cast<std::size_t>(std::min<std::int64_t>(rowsPerBlock, height) * row), 0);
    const std::uint8_t *bits = source.DIBSectionBitsPtr();
    const std::int64_t sourceLine = source.BytesPerScanLine();
    for (std::int64_t first = 0; first < height; first += rowsPerBlock) {
        const std::int64_t rows = std::min<std::int64_t>(rowsPerBlock, height - first);
        for (std::int64_t r = 0; r < rows; ++r) {
            const std::uint8_t *from = bits + (first + r) * sourceLine;
            std::uint8_t *to = block.data() + r * row;
            if (cube) {
                for (std::int32_t x = 0; x < width; ++x, from += 3)
                    to[x] = static_cast<std::uint8_t>(lookup(from[2], from[1], from[0]) - 1);
            } else {
                for (std::int32_t x = 0; x < width; ++x, from += 3) {
                    const std::int32_t index = palette->ClosestIndex(from[2], from[1], from[0]);
                    to[x] = static_cast<std::uint8_t>(index > 0 ? index - 1 : 0);
                }
            }
        }
        if (!writeAll(fd, block.data(), static_cast<std::size_t>(rows * row)))
            return fail(errno);
    }
    if (::close(fd) != 0) {
        const int code = errno;
        ::unlink(temporary.c_str());
        return {WriteFailed, std::strerror(code)};
    }
    if (std::rename(temporary.c_str(), fileName.c_str()) != 0) {
        const int code = errno;
        ::unlink(temporary.c_str());
        return {FileNotCreated, std::strerror(code)};
    }
    return {};
}

} // namespace palwrite
