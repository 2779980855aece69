// The handler of the import's note of a database it posted into.
#include "import/touched_databases.h"

#include <utility>

namespace qv {

namespace {
TouchedDatabaseHandler& handler() {
  static TouchedDatabaseHandler h;
  return h;
}
}  // namespace

void setTouchedDatabaseHandler(TouchedDatabaseHandler h) { handler() = std::move(h); }

void noteDatabaseTouched(uint32_t database) {
  if (handler()) handler()(database);
}

}  // namespace qv
