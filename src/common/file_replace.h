// Replacing a file by one written completely under another name: the one way
// the library puts a new version of a whole file in place, so that a program
// killed at any moment leaves the old file or the new one under the name,
// never a part of either.
#pragma once

#include <string>

#include "platform/os/files.h"

namespace orvex {

// Puts the file written under the name `temp` (still open as `file`) in the
// place of `name`: flushes `file` and closes it, renames `temp` over `name`
// in one atomic step and flushes the directory so that the rename outlives a
// power loss. On a failure before the rename `temp` is removed and the old
// file stays as it was. Returns 0 or the first Win32 error (32 while `name`
// is open in another program).
int ReplaceWithWrittenFile(os::Handle file, const std::string& temp, const std::string& name);

}  // namespace orvex
