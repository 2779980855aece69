// The one ID counter of an installation.
#pragma once

#include <cstdint>

namespace qv {

// Returns a new ID from the control file's counter; 0 when none could be
// drawn (the failure is reported unless unattended). The control file
// (number 8) must be open.
uint32_t NextNr();

// While an import converts, it numbers from the counter in memory and holds
// the counter: NextNr then fails for everybody else until it is released.
void reserveIdCounter(bool reserved);
bool idCounterReserved();

}  // namespace qv
