// Free disk space: how much a directory's file system has, and the warning
// that a long run (import, purge) gives when it is short.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "services/prompt.h"

namespace qv {

// Free bytes on the file system of a directory; -1 when it cannot be read.
// Tests replace it to drive the low-space paths.
using FreeSpaceFunction = std::function<int64_t(const std::string& directory)>;
void setFreeSpaceFunction(FreeSpaceFunction f);
int64_t freeSpace(const std::string& directory);
inline constexpr int64_t kMinimumFreeSpace = 5000000;
// CheckSpace: true when `directory` has at least `bytes` free, or the user
// chose to go on after the low-space warning; false (stop) otherwise, and
// always false when nobody may be asked. The warning offers OK and
// `stopButton` (the import's Cancel, the maintenance runs' Abort), the
// latter the default.
bool CheckSpace(const std::string& directory, int64_t bytes, Button stopButton = BtnCancel);
// The start of the low-space warning: "You have only 1,234 bytes free on
// disk /mnt " (the mount point stands for the drive the message names).
std::string lowSpaceStart(const std::string& directory, int64_t free);

}  // namespace qv
