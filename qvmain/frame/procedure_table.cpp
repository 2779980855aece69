#include "frame/procedure_table.h"

#include <vector>

#include "browse/browse_kinds.h"
#include "browse/browse_window.h"
#include "frame/procedures.h"
#include "services/db_kind.h"
#include "services/procedure_starter.h"
#include "window_registry/window_registry.h"

namespace qvm {

namespace {

// number, thread, thread for forum/newsgroup, routine, command, exclusive, tool bar off, title
const std::vector<Procedure> kTable = {
    {1, "ImportMeny", nullptr, 201, 0, true, false, true},
    {2, "ChangeForum", nullptr, 0, 0, true, true, false},
    {3, "UserPanel", nullptr, 214, 0, true, true, false},
    {6, "SetIndex", nullptr, 0, 0, false, false, false},
    {7, "BrowseMail", "BrowseMsgNmbr", 0, 0, false, false, false},
    {8, "BrowsePersonMerge", nullptr, 0, 0, false, false, false},
    {9, "BrowseBox", nullptr, 0, 0, true, false, false},
    {10, "DupMail", "Duplicates", 0, 0, false, false, false},
    {11, "PurgeMail", "PurgeMess", 0, 0, false, false, false},
    {12, "PurgeMail", "PurgeMess", 0, 0, true, false, false},
    {13, nullptr, nullptr, 0, 1332, false, false, false},
    {20, "About", nullptr, 0, 0, false, false, false},
    {21, "MergeMeny", nullptr, 203, 0, true, false, true},
    {22, "RebuildMeny", nullptr, 0, 0, true, false, true},
    {24, nullptr, nullptr, 0, 1315, false, false, false},
    {25, nullptr, nullptr, 0, 1364, false, false, false},
    {26, "BrowseTopics", nullptr, 0, 0, false, false, false},
    {27, nullptr, nullptr, 0, 1365, false, false, false},
    {28, "BrowseTasks", nullptr, 204, 0, true, false, true},
    {29, "StartTask", nullptr, 207, 0, false, false, false},
    {30, "AutoIndex", nullptr, 218, 0, true, false, false},
    {31, "WordList", nullptr, 217, 0, false, false, false},
    {32, "StopList", nullptr, 211, 0, false, false, false},
    {35, "BrowseBatch", nullptr, 205, 0, true, false, true},
    {36, "ShowLog", nullptr, 202, 0, false, false, true},
    {37, nullptr, nullptr, 0, 1395, false, false, false},
    {38, "SearchWz", nullptr, 219, 0, true, true, false},
    {40, "AddressExport", nullptr, 0, 0, false, false, false},
    {41, nullptr, nullptr, 0, 1400, false, false, false},
    {42, nullptr, nullptr, 0, 1401, false, false, false},
    {43, nullptr, nullptr, 0, 1408, false, false, false},
};

}  // namespace

const Procedure* procedure(int number) {
  for (const Procedure& p : kTable)
    if (p.number == number) return &p;
  return nullptr;
}

QString threadName(const Procedure& p, int kind) {
  const char* name = (kind != qv::KindMailDb && p.threadOther) ? p.threadOther : p.thread;
  return name ? QString::fromLatin1(name) : QString();
}

bool procedureInVersion(const Procedure& p, int kind) {
  if (p.command != 0) return browseCommandInVersion(p.command, kind);
  if (p.semafore != 0) return qv::semaForeRegistered(p.semafore);
  return procedureRegistered(threadName(p, kind));
}

bool procedureAvailable(const Procedure& p, int kind) {
  if (!procedureInVersion(p, kind)) return false;
  // A command to the browse: available while the browse of the database's kind runs.
  return p.command == 0 || (browseCommandOffered(p.command, kind) && TmGetId(browseThreadName(kind)) != 0);
}

}  // namespace qvm
