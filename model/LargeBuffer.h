#pragma once
// A card of 10 000 x 13 000 pixels needs a buffer of more than 100 MB, and on
// a virtual machine every 4 KiB page of it costs a trap when first touched;
// that alone took longer than the whole colour pass.  Asking the kernel for
// transparent huge pages on such buffers cuts the traps by a factor of 512.

#include <cstddef>
#include <vector>

namespace vex {

// Buffers below this size are left alone: the advice would gain nothing.
inline constexpr std::size_t LargeBufferBytes = std::size_t{8} << 20;

// Advises the kernel to back [data, data + bytes) with huge pages where the
// range covers whole ones.  Only advice: it does nothing where the system
// has no such pages, and never changes what the memory holds.
void adviseHugePages(void *data, std::size_t bytes);

// Reserves room for `count` elements and, for a large buffer, gives the
// advice before any page of it is touched.
template <typename T, typename Allocator>
void reserveLarge(std::vector<T, Allocator> &buffer, std::size_t count)
{
    buffer.reserve(count);
    if (buffer.capacity() * sizeof(T) >= LargeBufferBytes)
        adviseHugePages(buffer.data(), buffer.capacity() * sizeof(T));
}

} // namespace vex
