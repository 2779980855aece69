// The directory for temporary files, as the preferences change it: the
// setting is stored and, when it names a directory, temporary files go there
// from now on.
#pragma once

#include <string>

namespace qv {

// Sets the temporary directory (settings item ItemTempDirectory, saved with
// the other directories by AutoPath(KSave)). A blank text is stored as the
// setting but leaves the directory in use as it is.
void setTempDirectory(const std::string& dir);

}  // namespace qv
