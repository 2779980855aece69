// qvcli originals DB [on|off]: whether a mail or newsgroup database keeps the
// originals of what is imported, and switching it.
#include "commands.h"
#include "dictionary/dictionary.h"
#include "originals/originals_store.h"
#include "services/databases.h"
#include "services/globals.h"
#include "services/installation.h"
#include "services/record_helpers.h"

namespace qvcli {

int cmdOriginals(const Args& args) {
  if (args.empty() || args.size() > 2 || (args.size() == 2 && args[1] != "on" && args[1] != "off"))
    return fail("usage: originals DB [on|off]");
  if (!qv::findDatabase(args[0])) return fail("no database named \"" + args[0] + "\"");
  qv::useDatabase();
  int kind = qv::Mem.ForumType;
  if (kind != qv::KindMailDb && kind != qv::KindNewsDb)
    return fail(args[0] + ": a " + kindName(kind) + " database keeps no originals (its messages are their own)");
  if (args.size() == 2 && !qv::setKeepOriginals(kind, args[1] == "on", qv::ReportQuiet))
    return fail(args[0] + ": the setting could not be written");
  say("%s: originals %s\n", args[0].c_str(), qv::keepsOriginals(kind) ? "kept" : "not kept");
  qv::Originals.close();
  return 0;
}

}  // namespace qvcli
