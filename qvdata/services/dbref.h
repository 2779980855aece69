// The database's own description (DbRef), from which a lost database list
// can be rebuilt.
#pragma once

namespace qv {

// Writes the current database's entry (the FOR buffer) into DbRef (file 22,
// open): added when the file is empty, changed when it differs. `mode` is
// the report mode of the record helpers. False on failure.
bool UpdREF(int mode);

}  // namespace qv
