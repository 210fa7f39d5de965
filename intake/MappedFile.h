#pragma once
// A card file read in place.  A large card's file is already in the page
// cache; mapping those pages into the process costs a millisecond, where
// copying 130 MB into fresh memory cost the copy and a fault on every page of
// the copy.
//
// A mapped file that another program cuts short would turn every read of
// the lost pages into SIGBUS and end the process.  While a MappedFile is
// open, a guard puts a page of zeros where a page was lost and notes it, so
// that the reader comes to no harm and intact() refuses what it read.

#include "text/Status.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include <sys/stat.h>
#include <sys/types.h>

namespace vex {

class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(MappedFile &&other) noexcept;
    MappedFile &operator=(MappedFile &&other) noexcept;
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;

    // The whole regular file, read only, its pages mapped at once; on a
    // file system that cannot map files, a copy read into memory.  Fails
    // with the system's reason; an empty file maps to nothing and says so.
    Status open(const std::string &path);

    const std::uint8_t *data() const { return data_; }
    std::size_t size() const { return size_; }
    bool isOpen() const { return data_ != nullptr; }

    // Fine while the file is the one mapped: no page of it lost, and its
    // size and modification time as they were when it was opened.  What was
    // read from a file that has since changed may be a mix of both versions.
    Status intact() const;

private:
    void close();
    Status readCopy(int fd, std::size_t size);
    void noteFile(int fd, const struct stat &info);

    const std::uint8_t *data_ = nullptr;
    std::size_t size_ = 0;
    int fd_ = -1;
    int guard_ = -1; // the guard's slot; -1 for a copy
    std::unique_ptr<std::uint8_t[]> copy_;
    off_t fileSize_ = 0;
    std::int64_t modifiedSeconds_ = 0;
    std::int64_t modifiedNanoseconds_ = 0;
};

} // namespace vex
