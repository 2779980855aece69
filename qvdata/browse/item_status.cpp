#include "browse/item_status.h"

#include "dictionary/dictionary.h"
#include "storage/buffer_guard.h"

namespace qv {

namespace {

// Reads the record whose key value `fill` puts into the buffer, holds it,
// sets its status and writes it back; the buffer is restored afterwards.
template <typename Fill, typename Mark>
bool markRecord(File& f, const Key& key, int status, Fill fill, Mark mark) {
  if (status < 0 || status > 2) return false;
  BufferGuard keep({&f});
  f.clear();
  fill();
  bool ok = f.get(key) && f.hold(5);
  if (ok) {
    mark(uint8_t(status));
    ok = f.put();
  }
  f.release();
  return ok;
}

}  // namespace

int statusOfCode(int code) { return code >= 7 && code <= 9 ? code - 7 : -1; }

bool setThreadStatus(uint32_t threadNumber, int status) {
  return markRecord(
      Threads, THR_ThreadKey, status, [&] { THR.THREADNUMBER = threadNumber; }, [](uint8_t s) { THR.DUMMY = s; });
}

bool setSectionStatus(uint32_t sectionId, int status) {
  return markRecord(
      Sections, SEC_SysIdKey, status, [&] { SEC.SECSYSID = sectionId; }, [](uint8_t s) { SEC.DUMMY = s; });
}

}  // namespace qv
