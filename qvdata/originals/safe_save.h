// Saving a part of a message as a file of the user's: under a name that
// cannot leave the chosen directory or hide, never over an existing file,
// private to the user. The file is written, never opened or run.
#pragma once

#include <string>
#include <string_view>

namespace qv {

// Longest name given to a saved file, in bytes (room is left for " (n)").
inline constexpr size_t kSafeNameMax = 120;

// The name under which a part is saved: the last component of `name` (after
// any '/' or '\'), its control characters (C0, DEL and C1) dropped, its leading dots and
// outer blanks removed, cut to kSafeNameMax bytes on a character boundary
// with its extension kept; "attachment-<number>" when nothing is left.
std::string safeFileName(std::string_view name, int number);

// Writes `bytes` to a new file `name` (a safe name) in directory `dir`; when
// that name is taken, "name (2).ext", "name (3).ext" ... is used instead.
// An existing file is never replaced or written through. The file is
// private (0600); a directory that is missing is made (0700). Returns the
// path written, or "" with `error` set (nothing is left behind).
std::string saveNewFile(const std::string& dir, const std::string& name, std::string_view bytes, std::string& error);

}  // namespace qv
