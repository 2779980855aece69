// Closing every declared file at once: before the program ends, and before a
// command that needs the files free (deleting a database, a rebuild). Each
// file's use count is set to 0, whoever held it.
#pragma once

namespace qv {

// Closes every declared file that is open for a procedure (use count above
// 0); files nobody holds are left as they are.
void closeAllFiles();

}  // namespace qv
