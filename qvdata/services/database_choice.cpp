// Changing which database is active (see database_choice.h).
#include "services/database_choice.h"

#include <string>

#include "dictionary/file_numbers.h"
#include "services/databases.h"
#include "services/dbref.h"
#include "services/file_scope.h"
#include "services/globals.h"
#include "services/record_helpers.h"

namespace qv {

bool chooseDatabase(uint32_t id) {
  if (id == 0 || !ActivateDatabase(id)) return false;
  // ActivateDatabase left the database's entry in the Forums buffer, from
  // which the self-description is written.
  FileScope files({FileDbRef});
  UpdREF(ReportShow);
  return true;
}

void forgetActiveDatabase() { Mem.ForumNumber = 0; }

void deleteActiveDatabase() {
  if (Mem.ForumNumber != 0) DeleteDatabase(Mem.ForumNumber);
  Mem.ForumNumber = 0;
}

bool isActiveDirectory(uint32_t dirNumber) { return Mem.Dirnamn == "F" + std::to_string(dirNumber); }

}  // namespace qv
