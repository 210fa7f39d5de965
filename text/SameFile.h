#pragma once
// Which file a path stands for, as the system sees it: two spellings of one
// file (a link, "..", a second hard link) are one file, so that nothing is
// written over a file that is still to be read or written.

#include <string>

namespace vex {

// Where a path's symbolic links lead.
struct LinkEnd {
    std::string Path;    // absolute, its folder as the system resolves it; the last part need not exist
    int Descriptor = -1; // a descriptor of this process the path names (/dev/stdout, /dev/fd/3), else -1
    int Error = 0;       // ELOOP when the links go round
};
LinkEnd followLinks(const std::string &path);

// True when both paths name one file: the same device and inode where both
// exist, else the same place once their links are followed.
bool sameFile(const std::string &a, const std::string &b);

} // namespace vex
