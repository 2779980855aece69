#include "conv_install.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "conv_files.h"
#include "dictionary/config_files.h"
#include "dictionary/file_numbers.h"
#include "services/paths.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "services/startup.h"
#include "storage/errors.h"

namespace fs = std::filesystem;

namespace qvconv {

std::string cfgDir(const std::string& root) { return root + "/CFG"; }
std::string tempDirOf(const std::string& root) { return root + "/TEMP"; }

std::string idxName(int number) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "IDX%03d.ADF", number);
  return buf;
}

std::string databaseDir(const std::string& dataDir, uint32_t dirNumber) {
  return dataDir + "/F" + std::to_string(dirNumber);
}

bool readControlBlock(const std::string& path, uint8_t block, std::array<uint8_t, 200>& data) {
  qv::Control.close();
  qv::Control.setName(path);
  if (!qv::Control.open(qv::Share::ReadOnly)) return false;
  qv::CTL = qv::ControlRec();
  qv::CTL.ID = block;
  bool ok = qv::Control.get(qv::CTL_IdKey);
  if (ok) data = qv::CTL.CTLFIELD;
  qv::Control.close();
  return ok;
}

bool writeControlBlock(const std::string& path, uint8_t block, const std::array<uint8_t, 200>& data) {
  qv::Control.close();
  qv::Control.setName(path);
  if (!qv::Control.open(qv::Share::Exclusive)) return false;
  qv::CTL = qv::ControlRec();
  qv::CTL.ID = block;
  bool ok;
  if (qv::Control.get(qv::CTL_IdKey)) {
    qv::CTL.CTLFIELD = data;
    ok = qv::Control.put();
  } else {
    qv::CTL = qv::ControlRec();
    qv::CTL.ID = block;
    qv::CTL.CTLFIELD = data;
    ok = qv::Control.add();
  }
  qv::Control.close();
  return ok;
}

uint32_t nextId(const std::string& path) {
  qv::Control.close();
  qv::Control.setName(path);
  if (!qv::Control.open(qv::Share::Exclusive)) return 0;
  qv::CTL = qv::ControlRec();
  qv::CTL.ID = qv::BlockGeneral;
  uint32_t id = 0;
  if (qv::Control.get(qv::CTL_IdKey)) {
    if (qv::CTL.NEXTNUMBER < qv::kFirstId) qv::CTL.NEXTNUMBER = qv::kFirstId;
    id = qv::CTL.NEXTNUMBER;
    qv::CTL.NEXTNUMBER = id + 1;
    if (!qv::Control.put()) id = 0;
  }
  qv::Control.close();
  return id;
}

namespace {

// The log that the program's rebuild writes in CFG.
constexpr const char* kRebuildLog = "TestDB.Txt";

// A directory setting as stored, made absolute; blank gives `fallback`.
std::string settingDirectory(const std::array<uint8_t, 200>& paths, int item, const std::string& root,
                             const std::string& fallback) {
  std::string stored = qv::rawText(qv::BlockPaths, paths, item);
  if (stored.empty()) return fallback;
  return qv::resolvedDirectory(stored, root);
}

}  // namespace

Installation inspect(const std::string& rootIn) {
  Installation inst;
  std::error_code ec;
  fs::path root = fs::absolute(rootIn.empty() ? fs::path(".") : fs::path(rootIn), ec).lexically_normal();
  inst.root = root.string();
  while (inst.root.size() > 1 && inst.root.back() == '/') inst.root.pop_back();
  std::string newControl = cfgDir(inst.root) + "/" + idxName(qv::FileControl);
  std::string oldControl = inst.root + "/" + idxName(qv::FileControl);
  std::string control;
  // The control file in the configuration area marks the current layout;
  // before 3.00 it stood in the program directory.
  if (qv::oldLayoutInstallation(inst.root)) {
    control = oldControl;
    inst.situation = Situation::Full;
  } else if (fs::exists(newControl, ec)) {
    control = newControl;
    inst.situation = Situation::Minor;
  } else {
    return inst;
  }
  std::array<uint8_t, 200> general{}, paths{};
  if (readControlBlock(control, qv::BlockGeneral, general))
    inst.version = int(qv::rawItem(qv::BlockGeneral, general, qv::ItemConfigVersion));
  bool havePaths = readControlBlock(control, qv::BlockPaths, paths);
  // Before 3.00 the temporary files stood in the program directory unless
  // the settings named another; since then in TEMP.
  std::string tempDefault = inst.situation == Situation::Full ? inst.root : tempDirOf(inst.root);
  inst.tempDir = havePaths ? settingDirectory(paths, qv::ItemTempDirectory, inst.root, tempDefault) : tempDefault;
  inst.dataDir = havePaths ? settingDirectory(paths, qv::ItemDataDirectory, inst.root, inst.root) : inst.root;
  if (inst.situation == Situation::Minor) {
    // A new installation stores version 0 (or, made by qvcli, the current
    // one): it has the current layout and nothing to convert; neither has
    // one of this version or a later one.
    if (inst.version == 0 || inst.version >= kTargetVersion)
      inst.situation = Situation::Upgraded;
    else if (inst.version >= kNoNeedFrom && inst.version <= kNoNeedTo)
      inst.situation = Situation::NoNeed;
  }
  // A full conversion that was cut short left its marker.
  const std::string mark = qv::conversionMark(inst.root);
  if (mark == qv::kMarkConverting)
    inst.situation = Situation::Interrupted;
  else if (mark == qv::kMarkFinishing && inst.situation == Situation::Upgraded)
    inst.situation = Situation::Finishing;
  return inst;
}

bool markConversion(const std::string& root, const std::string& mark) {
  const fs::path marker = fs::path(root) / qv::kConversionMarker;
  std::error_code ec;
  if (mark.empty()) {
    fs::remove(marker, ec);
    if (ec) qv::setError(qv::ErrOther, marker.string(), ec.message());
    return !ec;
  }
  // Written beside and renamed, so that the marker is never half written.
  const fs::path fresh = marker.string() + ".NEW";
  {
    std::ofstream out(fresh, std::ios::trunc);
    out << mark << "\n";
    out.flush();
    if (!out) {
      qv::setError(qv::ErrOther, fresh.string(), "cannot be written");
      return false;
    }
  }
  fs::rename(fresh, marker, ec);
  if (ec) qv::setError(qv::ErrOther, marker.string(), ec.message());
  return !ec;
}

std::string interruptedText() {
  return "A conversion of this installation was interrupted and has left its files half converted. Run qvconv "
         "--restore to put back the files it saved, then run qvconv again to convert the installation.";
}

std::string versionText(int version) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d.%02d", version / 100, version % 100);
  return buf;
}

std::string windowText(const Installation& inst) {
  const std::string version = versionText(inst.version);
  const std::string cfg = cfgDir(inst.root);
  switch (inst.situation) {
    case Situation::NoInstallation:
      // A conversion cut short by a version that kept no marker may have
      // moved the files that show an installation.
      if (fileExists(inst.root + "/" + savName(qv::FileForums))) return interruptedText();
      return "No Quorvane installation was found in " + inst.root + ". Run qvconv in the Quorvane program directory.";
    case Situation::Upgraded:
      return "You have already upgraded to version 3.60. If Quorvane does not work properly, run the File|Rebuild "
             "process and analyze the log file " +
             cfg + "/" + kRebuildLog;
    case Situation::NoNeed:
      return "No need to run a conversion program when upgrading from version 3.30 - 3.52.";
    case Situation::Minor:
      return "Your current version is " + version +
             ". Upgrading to version 3.60 some minor changes in the database list will be implemented. "
             "There is no need to make a full backup because of this, because the affected files " +
             cfg + "/" + idxName(qv::FileForums) + " and " + cfg + "/" + idxName(qv::FileFileList) +
             " will be saved before conversion as " + cfg + "/" + idxName(FileSavedForums) + " and " + cfg + "/" +
             idxName(FileSavedFileList) +
             ". If the conversion is successful these files will be removed, if not they will remain.\r\n\r\n"
             "The modifications include an increase of the length of the database name field from 40 to 100 "
             "characters and of the length of the import file name field also from 40 to 100 characters.";
    case Situation::Full:
      return "Your current version is " + version +
             ". Upgrading to version 3.60 means not only converting some files to a new format but also "
             "rearranging and creating some new directories. "
             "Please back up your entire Quorvane installation before converting. The conversion includes:\r\n\r\n"
             "- creating a " +
             cfg + " and a " + tempDirOf(inst.root) +
             " directory below the Quorvane program directory and moving all data "
             "files out of the program direcory into these directories.\r\n\r\n"
             "- creating one database per existing mailbox and splitting the existing mail database on these "
             "directories.\r\n\r\n"
             "- slightly modifying the person file IDX005.ADF in all directories\r\n\r\n"
             "- removing any existing Internet headers in the mail text file\r\n\r\n"
             "- Increasing the length of the database name field from 30 to 100 characters.";
    case Situation::Interrupted:
      return "The last conversion of this installation was interrupted and has left its files half converted. "
             "Start puts back the files it saved (as qvconv --restore does) and converts the installation "
             "again.";
    case Situation::Finishing:
      return "The last conversion of this installation was interrupted after the converted files were in place, "
             "while it removed the old files. Start removes the rest.";
  }
  return {};
}

bool offersStart(const Installation& inst) {
  return inst.situation == Situation::Minor || inst.situation == Situation::Full ||
         inst.situation == Situation::Interrupted || inst.situation == Situation::Finishing;
}

}  // namespace qvconv
