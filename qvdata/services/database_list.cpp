// The database list read as values (see database_list.h).
#include "services/database_list.h"

#include "dictionary/dictionary.h"
#include "services/databases.h"
#include "services/file_scope.h"

namespace qv {

DatabaseRecord bufferedDatabase() {
  DatabaseRecord r;
  r.id = FOR.ID;
  r.name = FOR.DESCRIPTION.str();
  r.dirNumber = FOR.DIRNUMBER;
  r.kind = FOR.TYPE;
  r.importAllowed = FOR.NOIMPORT == 0;
  r.messages = FOR.MSGCOUNT;
  r.counted = FOR.COUNTFLAG == 0;
  r.status = FOR.DUMMY;
  r.autoIndexing = FOR.INDEXTYPE == 1;
  r.mailAddress = FOR.MAILADDRESS.str();
  for (size_t i = 0; i < kAltAddresses; ++i) r.altAddresses[i] = FOR.ALTADDRESS[i].str();
  return r;
}

bool DatabaseRecord::hasAltAddress() const {
  for (const std::string& a : altAddresses)
    if (!a.empty()) return true;
  return false;
}

std::optional<DatabaseRecord> readDatabase(uint32_t id) {
  if (!findDatabase(id)) return std::nullopt;
  return bufferedDatabase();
}

std::optional<DatabaseRecord> readDatabase(const std::string& name) {
  if (!findDatabase(name)) return std::nullopt;
  return bufferedDatabase();
}

std::vector<DatabaseRecord> mailboxRecords() {
  std::vector<DatabaseRecord> out;
  FileScope files({FileForums});
  FOR = ForumsRec();
  FOR.TYPE = KindMailDb;
  Forums.setPrefix(FOR_TypeKey, 1);
  while (Forums.next() && FOR.TYPE == KindMailDb) out.push_back(bufferedDatabase());
  return out;
}

}  // namespace qv
