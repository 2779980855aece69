// init and info: create an installation and show what it holds.
#include <cstdio>

#include "commands.h"
#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/datetime.h"
#include "services/file_scope.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "services/startup.h"

namespace qvcli {

namespace {
uint32_t nextId() {
  qv::FileScope scope({qv::FileControl});
  qv::CTL = qv::ControlRec();
  qv::CTL.ID = 1;
  return qv::Control.get(qv::CTL_IdKey) ? qv::CTL.NEXTNUMBER : 0;
}
}  // namespace

int cmdInit(const Args& args) {
  if (!args.empty()) return fail("init takes no arguments");
  // Opening the installation created it; make the database list too.
  qv::FileScope({qv::FileForums}).release();
  // A new installation is of this version: nothing in it is for the
  // converter to upgrade, nor for the program to reset on its first start.
  // Its window positions and column widths start at their defaults, as on
  // the program's own first start.
  if (qv::KonfigGet(qv::ItemConfigVersion) == 0) {
    qv::KonfigSet(qv::ItemConfigVersion, qv::kConfigVersion);
    if (!qv::ResetWindowSettings() || !qv::Konfig(qv::KSave))
      return fail("The control file is not available - no access to application!");
  }
  say("Installation ready at %s (next ID %u)\n", qv::Mem.Net.c_str(), nextId());
  return 0;
}

int cmdInfo(const Args& args) {
  if (!args.empty()) return fail("info takes no arguments");
  say("Installation       %s\n", qv::Mem.Net.c_str());
  say("Configuration      %s/CFG\n", qv::Mem.Net.c_str());
  say("Databases          %s\n", qv::Mem.FileDir.c_str());
  say("Word index         %s\n", qv::MasIdxPath.c_str());
  say("Temporary files    %s\n", qv::Mem.TempDir.c_str());
  say("Next ID            %u\n", nextId());
  say("\nGeneral settings (block 1)\n");
  for (int item = 2; item <= 21; ++item) {
    std::string text = qv::KonfigText(item);
    if (item == 14 || item == 20 || item == 21)
      say("  item %2d  \"%s\"\n", item, text.c_str());
    else
      say("  item %2d  %lld\n", item, static_cast<long long>(qv::KonfigGet(item)));
  }
  say("  date format %s, last ID check %s\n", qv::formatDate(qv::today(), int(qv::KonfigGet(qv::ItemDateFormat))).c_str(),
      qv::formatDate(int32_t(qv::KonfigGet(qv::ItemLastIdCheck)), 10).c_str());
  say("\nDisplay and tuning (block 9)\n");
  for (int item = qv::ItemColourHighlight; item <= qv::ItemAddressVcardNews; ++item) {
    if (item >= 33 && item <= 36) {
      qv::FontSetting f = qv::KonfigFont(item);
      say("  item %2d  font %s %d%s\n", item, f.name.c_str(), f.size, f.bold ? " bold" : "");
    } else {
      say("  item %2d  %lld\n", item, static_cast<long long>(qv::KonfigGet(item)));
    }
  }
  say("  working speed values:");
  for (int item = qv::ItemSpeedDuplicates; item <= qv::ItemImportSlice; ++item)
    say(" %d=%lld", item, static_cast<long long>(qv::SpeedVal(qv::KGet, item)));
  say("\n\nDirectories (block 4)\n  item 17  %s\n  item 18  %s\n", qv::AutoPathGet(qv::ItemTempDirectory).c_str(),
      qv::AutoPathGet(qv::ItemDataDirectory).c_str());
  say("\nWord index (block 10)\n  item 44  %s\n", qv::WSVarsText(qv::ItemIndexRoot).c_str());
  for (int item : {49, 50, 51, 52, 53, 54, 55, 56})
    say("  item %2d  %lld\n", item, static_cast<long long>(qv::WSVarsGet(item)));

  say("\nDatabases\n");
  qv::FileScope scope({qv::FileForums});
  qv::Forums.set(qv::FOR_AlphaKey);
  int n = 0;
  while (qv::Forums.next()) {
    ++n;
    say("  %-9s F%-5u %8u messages  %s\n", kindName(qv::FOR.TYPE), qv::FOR.DIRNUMBER, qv::FOR.MSGCOUNT,
        qv::FOR.DESCRIPTION.str().c_str());
  }
  if (n == 0) say("  (none)\n");
  return 0;
}

}  // namespace qvcli
