#pragma once
// The command line of the photo simulator and the sheet generator:
// `vexolin-cardgen photo OUT.jpg ...` and `vexolin-cardgen sheet OUT.png ...`.

#include <string>
#include <vector>

namespace vex::photosim {

// args[0] is "photo" or "sheet"; the exit status (0 written, 1 not written,
// 2 not understood).
int runPhotoCommand(const std::vector<std::string> &args);

} // namespace vex::photosim
