#include "services/ids.h"

#include "dictionary/dictionary.h"
#include "services/prompt.h"
#include "services/settings.h"

namespace qv {

namespace {
uint32_t failed() {
  Message(ErrorText() + "\r\nNext ID cannot be generated!", "Control File Error", Icon::Hand);
  return 0;
}
}  // namespace

namespace {
bool reservedCounter = false;
}

void reserveIdCounter(bool reserved) { reservedCounter = reserved; }
bool idCounterReserved() { return reservedCounter; }

uint32_t NextNr() {
  if (reservedCounter) {
    setError(ErrHeld, Control.name(), "an import holds the ID counter");
    return failed();
  }
  CTL = ControlRec();
  CTL.ID = BlockGeneral;
  if (!Control.get(CTL_IdKey)) {
    if (ErrorCode() != ErrNotFound) return failed();
    CTL = ControlRec();
    CTL.ID = BlockGeneral;
    CTL.NEXTNUMBER = 1;
    if (!Control.add()) return failed();
  }
  uint32_t id = CTL.NEXTNUMBER;
  CTL.NEXTNUMBER = id + 1;
  if (!Control.put()) return failed();
  return id;
}

}  // namespace qv
