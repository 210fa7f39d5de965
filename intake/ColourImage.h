#pragma once
// A decoded colour picture before it is reduced to a colour table: what 16,
// 24 and 32-bit bitmaps, PNG, JPEG and colour TIF files give.  Channels of 16
// bits are rounded to 8 on the way in (a 16-bit copy of an 8-bit picture
// comes back exactly); alpha is dropped, since a card has no transparency.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace vex {

// Leaves new elements uninitialised: the decoders write every byte, and
// zeroing 400 MB first costs as much as reading them.
template <class T>
struct UninitialisedAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    template <class U>
    UninitialisedAllocator(const UninitialisedAllocator<U> &) noexcept
    {}
    template <class U>
    void construct(U *p) noexcept(std::is_nothrow_default_constructible_v<U>)
    {
        ::new (static_cast<void *>(p)) U;
    }
    template <class U, class... Args>
    void construct(U *p, Args &&...args)
    {
        ::new (static_cast<void *>(p)) U(std::forward<Args>(args)...);
    }
};

struct ColourImage {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    // Height rows of Width blue-green-red triples, no padding; row 0 is the
    // bottom image row, as in IndexedImage.
    std::vector<std::uint8_t, UninitialisedAllocator<std::uint8_t>> Bgr;
    // Bits per pixel of the file the picture came from, for the user.
    int SourceBits = 24;

    std::uint8_t *row(std::int32_t bottomUpRow)
    {
        return Bgr.data() + static_cast<std::size_t>(bottomUpRow) * 3u * static_cast<std::size_t>(Width);
    }
    const std::uint8_t *row(std::int32_t bottomUpRow) const
    {
        return Bgr.data() + static_cast<std::size_t>(bottomUpRow) * 3u * static_cast<std::size_t>(Width);
    }
};

// How a colour picture became an 8-bit one; FromBits is 0 for a picture that
// needed no reduction.
struct ColourReduction {
    int FromBits = 0;
    int Colours = 0;    // colours in the table the analysis sees
    bool Exact = false; // every pixel kept its colour
};

} // namespace vex
