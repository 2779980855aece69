#include "services/startup.h"

#include <array>
#include <filesystem>
#include <fstream>

#include "services/globals.h"
#include "services/installation.h"
#include "services/prompt.h"
#include "services/procedure_starter.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "services/window_settings.h"

namespace fs = std::filesystem;

namespace qv {

bool ResetWindowSettings() {
  // Zero means "not set": the keepers fill their defaults when loading.
  const std::array<uint8_t, 200> zeros{};
  for (uint8_t block : {BlockWindows, BlockWindows2, BlockColumns})
    if (!saveBlock(block, zeros)) return false;
  WindowRect r;
  std::array<int, kListColumns> widths{};
  return WindowPos(KLoad, 0, r) && WindowPos2(KLoad, 0, r) && ListCol(KLoad, 0, widths);
}

bool needsConversion(int64_t version) {
  return version > 0 && (version < kFirstCurrentListVersion ||
                         (version > kLastCurrentListVersion && version < kConvertedVersion));
}

std::string conversionMark(const std::string& root) {
  std::ifstream in(fs::path(root) / kConversionMarker);
  std::string word;
  in >> word;
  return word;
}

bool oldLayoutInstallation(const std::string& root) {
  std::error_code ec;
  fs::path base(root);
  if (conversionMark(root) == kMarkConverting) return true;
  return fs::exists(base / "IDX008.ADF", ec) && fs::exists(base / "IDX002.ADF", ec) &&
         !fs::exists(base / "CFG" / "IDX002.ADF", ec);
}

std::string convertFirstMessage(const std::string& root, const std::string& version) {
  return "This installation was written by Quorvane " + version +
         ". Its files must be converted before this version can use them.\r\n\r\n"
         "Back up the installation, run the upgrade converter qvconv on it (qvconv --root " +
         root + ") and start Quorvane again.";
}

std::string versionText(int64_t version) {
  return std::to_string(version / 100) + "." + std::to_string(version % 100 / 10) + std::to_string(version % 10);
}

int StartupChecks(const std::string& root, std::string& error) {
  std::error_code ec;
  fs::path base = fs::absolute(root.empty() ? fs::path(".") : fs::path(root), ec).lexically_normal();
  bool existed = fs::exists(base / "CFG" / "IDX008.ADF", ec);
  // Versions before 3.00 kept the control file in the program directory: such
  // an installation is converted first, and nothing is made beside it here.
  if (oldLayoutInstallation(base.string())) {
    error = convertFirstMessage(base.string(), "before 3.00");
    return StartupStop;
  }
  GlobalRequest = 0;
  GlobalResponse = 0;
  if (!openInstallation(base.string(), error, MissingPaths::Report)) return StartupStop;
  // No database is active yet (an empty Dirnamn keeps database files closed).
  Mem.Dirnamn.clear();
  Mem.Description.clear();
  Mem.ForumNumber = 0;
  Mem.WordListIndexNeedsUpdate = 0;

  int result = StartupGo;
  int64_t version = KonfigGet(ItemConfigVersion);
  if (existed && needsConversion(version)) {
    closeInstallation();
    error = convertFirstMessage(base.string(), versionText(version));
    return StartupStop;
  }
  if (version < kConfigVersion) {
    if (existed && version != 0)
      Message("This new version needs new default values! All window positions, window sizes and list box column "
              "widths will be reset to default!",
              "Upgrading to version 3.7", Icon::Information);
    else if (version == 0)
      result = StartupFirstRun;
    if (!ResetWindowSettings()) {
      error = "The control file is not available - no access to application!";
      return StartupStop;
    }
    KonfigSet(ItemConfigVersion, kConfigVersion);
  }
  if (!Konfig(KSave)) {
    error = "The control file is not available - no access to application!";
    return StartupStop;
  }
  SemaFore(TaskServiceStartup);
  return result;
}

}  // namespace qv
