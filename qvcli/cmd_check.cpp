// qvcli check DB: the originals of a mail or newsgroup database against its
// messages. Prints each fault found; exits non-zero when there is any.
#include "commands.h"
#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "originals/originals_store.h"
#include "services/databases.h"
#include "services/file_scope.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/installation.h"

namespace qvcli {

int cmdCheck(const Args& args) {
  if (args.size() != 1) return fail("usage: check DB");
  if (!qv::findDatabase(args[0])) return fail("no database named \"" + args[0] + "\"");
  qv::useDatabase();
  int kind = qv::Mem.ForumType;
  if (kind != qv::KindMailDb && kind != qv::KindNewsDb) {
    say("%s: a %s database keeps no originals: nothing to check\n", args[0].c_str(), kindName(kind));
    return 0;
  }
  std::vector<std::string> faults;
  bool keeps = false;
  {
    qv::FileScope scope({kind == qv::KindMailDb ? qv::FileMail : qv::FileMsgNmbr});
    faults = qv::checkOriginals(kind);
    keeps = qv::keepsOriginals(kind);
  }
  qv::Originals.close();
  for (const std::string& f : faults) sayError("%s: %s\n", args[0].c_str(), f.c_str());
  if (!faults.empty()) {
    sayError("%s: %zu fault%s found\n", args[0].c_str(), faults.size(), faults.size() == 1 ? "" : "s");
    return 1;
  }
  say("%s: originals %s, no fault found\n", args[0].c_str(), keeps ? "kept" : "not kept");
  return 0;
}

}  // namespace qvcli
