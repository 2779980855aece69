// Step 7 of the full conversion (the files move into CFG and TEMP), the
// minor upgrade of the current layout, and the way back from the saved
// copies.
#include <filesystem>
#include <vector>

#include "conv_files.h"
#include "conv_impl.h"
#include "dictionary/config_files.h"
#include "dictionary/file_numbers.h"
#include "old_files.h"
#include "services/crash_point.h"
#include "services/paths.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "services/startup.h"
#include "storage/collation.h"

namespace fs = std::filesystem;

namespace qvconv {

namespace {

std::string dirFile(const std::string& dir, int number) { return dir + "/" + idxName(number); }

bool samePlace(const std::string& a, const std::string& b) {
  std::error_code ec;
  return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec);
}

// Files of the configuration area that old versions kept in the program
// directory besides the database list, the control file and the mailboxes.
constexpr int kConfigFiles[] = {qv::FileTasks, qv::FileStopList, qv::FileBatches, qv::FileTaskBatch};
// The old files the conversion keeps in the database directories until it
// has finished.
constexpr int kKeptOldFiles[] = {FileOldMail, FileOldPerson, FileOldText, FileOldCodes};

// Copies the database list at `oldPath` (40-character names) into `newPath`.
bool convertDatabaseList(const std::string& oldPath, const std::string& newPath) {
  if (!openExisting(OldForums40, oldPath)) return false;
  if (!createNew(qv::Forums, newPath)) {
    OldForums40.close();
    return false;
  }
  bool ok = qv::Forums.stream() || qv::ErrorCode() == qv::ErrNotSupported;
  if (!ok) fail(qv::ErrorText(), "Conversion error!");
  OldForums40.setFileOrder();
  while (ok && OldForums40.next()) {
    copyByName(OldForums40.decl(), qv::Forums.decl());
    std::string name = OF4.DESCRIPTION.str();
    if (qv::foldUpper(name.substr(0, 4)) == "CIS:") qv::FOR.DESCRIPTION = name.substr(4);
    // A name that is taken once "CIS:" is gone keeps its definition.
    ok = addDatabase();
    qv::crashPoint("conv-minor-added");
  }
  OldForums40.close();
  if (ok && !(qv::Forums.flush() || qv::ErrorCode() == qv::ErrNotSupported)) ok = fail(qv::ErrorText(), "Conversion error!");
  qv::Forums.close();
  return ok;
}

// One file of the minor upgrade: saved as `saved`, moved aside to `aside`,
// made anew and filled; the copy aside is removed on success. A file found
// aside is the old one of a run that was cut short: it is converted again.
// A file of neither layout stops the upgrade with its open message.
bool upgradeFile(qv::File& oldDecl, qv::File& newDecl, const std::string& path, const std::string& aside,
                 const std::string& saved, bool (*convert)(const std::string&, const std::string&)) {
  if (!fileExists(aside)) {
    if (!fileExists(path)) return true;
    if (!matchesDeclaration(oldDecl, path)) {
      if (matchesDeclaration(newDecl, path)) return true;  // already of the new layout
      return openExisting(newDecl, path) && (newDecl.close(), true);
    }
    if (!copyFile(path, saved)) return fail(qv::ErrorText(), "Conversion error!");
    if (!moveFile(path, aside)) return fail(qv::ErrorText(), "Conversion error!");
  }
  if (!convert(aside, path)) return false;
  removeFile(aside);
  return true;
}

}  // namespace

bool storeVersion(const std::string& path, int version) {
  std::array<uint8_t, 200> general{};
  if (!readControlBlock(path, qv::BlockGeneral, general)) return fail(qv::ErrorText(), "Control File Error");
  qv::setRawItem(qv::BlockGeneral, general, qv::ItemConfigVersion, version);
  return writeControlBlock(path, qv::BlockGeneral, general) || fail(qv::ErrorText(), "Control File Error");
}

bool convertFileList(const std::string& oldPath, const std::string& newPath) {
  if (!openExisting(OldFileList, oldPath)) return false;
  if (!createNew(qv::FileList, newPath)) {
    OldFileList.close();
    return false;
  }
  bool ok = qv::FileList.stream() || qv::ErrorCode() == qv::ErrNotSupported;
  OldFileList.setFileOrder();
  while (ok && OldFileList.next()) {
    copyByName(OldFileList.decl(), qv::FileList.decl());
    if (!qv::FileList.add() && qv::ErrorCode() != qv::ErrDuplicateKey) ok = false;
  }
  OldFileList.close();
  if (ok) ok = qv::FileList.flush() || qv::ErrorCode() == qv::ErrNotSupported;
  if (!ok) fail(qv::ErrorText(), "Conversion error!");
  qv::FileList.close();
  return ok;
}

bool minorUpgrade(Conversion& c) {
  const std::string cfg = cfgDir(c.root());
  if (!upgradeFile(OldFileList, qv::FileList, dirFile(cfg, qv::FileFileList), dirFile(cfg, FileOldFileList),
                   dirFile(cfg, FileSavedFileList), convertFileList))
    return false;
  if (!upgradeFile(OldForums40, qv::Forums, dirFile(cfg, qv::FileForums), dirFile(cfg, FileOldForums),
                   dirFile(cfg, FileSavedForums), convertDatabaseList))
    return false;
  // Converted: the saved copies go, and the installation is of version 3.60.
  if (!storeVersion(dirFile(cfg, qv::FileControl), kTargetVersion)) return false;
  removeFile(dirFile(cfg, FileSavedFileList));
  removeFile(dirFile(cfg, FileSavedForums));
  return true;
}

bool stepMoveFiles(Conversion& c) {
  const std::string root = c.root(), cfg = cfgDir(root), temp = tempDirOf(root);
  if (!makeDirectory(cfg))
    return fail("The specified directory " + cfg + " could not be created.", " Directory Creation Error");
  for (int n : {int(qv::FileForums), int(FileMailBoxes)}) {
    std::string from = c.rootFile(n);
    if (fileExists(from) && !moveFile(from, dirFile(cfg, n))) return fail(qv::ErrorText(), "Conversion error!");
  }
  for (int n : kConfigFiles) {
    std::string from = c.rootFile(n);
    if (fileExists(from) && !moveFile(from, dirFile(cfg, n))) return fail(qv::ErrorText(), "Conversion error!");
    qv::crashPoint("conv-file-moved");
  }
  // The file lists of the import definitions, in the new layout.
  if (fileExists(c.rootFile(qv::FileFileList)) &&
      !convertFileList(c.rootFile(qv::FileFileList), dirFile(cfg, qv::FileFileList)))
    return false;
  if (!makeDirectory(temp))
    return fail("The specified directory " + temp + " could not be created.", " Directory Creation Error");
  std::string registry = dirFile(c.inst.tempDir, qv::FileImpRegistry);
  if (fileExists(registry) && !copyFile(registry, dirFile(cfg, qv::FileImpRegistry)))
    return fail("Could not copy " + registry + " to " + dirFile(cfg, qv::FileImpRegistry) + ".\r\n" + qv::ErrorText(),
                "Conversion error!");
  std::array<uint8_t, 200> paths{};
  if (!readControlBlock(c.controlPath(), qv::BlockPaths, paths)) paths.fill(' ');
  if (samePlace(c.inst.tempDir, root)) {
    for (int n : {int(qv::FileImpHeader), int(qv::FileImpCCR)}) {
      std::string from = c.rootFile(n);
      if (fileExists(from) && !moveFile(from, dirFile(temp, n))) return fail(qv::ErrorText(), "Conversion error!");
    }
    qv::setRawText(qv::BlockPaths, paths, qv::ItemTempDirectory, qv::storedDirectory(temp, root));
    if (!writeControlBlock(c.controlPath(), qv::BlockPaths, paths)) return fail(qv::ErrorText(), "Control File Error");
  }
  if (!storeVersion(c.controlPath(), kTargetVersion)) return false;
  // The control file in CFG marks the installation converted: it goes
  // there last, whole, under a name of its own first.
  std::string control = dirFile(cfg, qv::FileControl);
  if (!copyFile(c.controlPath(), control + ".NEW") || !moveFile(control + ".NEW", control))
    return fail(qv::ErrorText(), "Conversion error!");
  // From here there is no going back: what is left is removing the old files.
  if (!markConversion(root, qv::kMarkFinishing)) return fail(qv::ErrorText(), "Conversion error!");
  qv::crashPoint("conv-control-moved");
  return removeOldFiles(c);
}

bool removeOldFiles(const Conversion& c) {
  const std::string root = c.root();
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(root, ec)) {
    std::string name = e.path().filename().string();
    if (e.is_regular_file(ec) && qv::matchesPattern(name, "IDX*.ADF")) removeFile(e.path().string());
  }
  // The old files of the converted databases, in the directories of the new list.
  std::vector<std::string> dirs;
  if (!openExisting(qv::Forums, dirFile(cfgDir(root), qv::FileForums))) return false;
  qv::Forums.setFileOrder();
  while (qv::Forums.next()) dirs.push_back(databaseDir(c.inst.dataDir, qv::FOR.DIRNUMBER));
  qv::Forums.close();
  for (const std::string& dir : dirs)
    for (int n : kKeptOldFiles) {
      if (!fileExists(dirFile(dir, n))) continue;
      if (!removeFile(dirFile(dir, n))) return fail(qv::ErrorText(), "Conversion error!");
      qv::crashPoint("conv-old-removed");
    }
  return markConversion(root, "") || fail(qv::ErrorText(), "Conversion error!");
}

bool restoreSaved(const std::string& rootIn, const std::function<void(const std::string&)>& report,
                  std::string& error) {
  Installation inst = inspect(rootIn);
  const std::string root = inst.root, cfg = cfgDir(root);
  if (inst.situation == Situation::Finishing) {
    error = "The conversion of this installation had finished: the converted files are in place and the old ones "
            "are partly removed, so there is nothing to go back to. Run qvconv again to remove the rest of the old "
            "files.";
    return false;
  }
  if (!fileExists(root + "/" + savName(qv::FileForums)) || !fileExists(root + "/" + savName(qv::FileControl))) {
    error = "No saved copies SAV002.ADF and SAV008.ADF were found in the program directory.";
    return false;
  }
  auto failed = [&] {
    error = qv::ErrorText();
    return false;
  };
  // Copies and moves take the journal that a killed writer left beside the
  // file they replace away with it: rolled onto the file put back, it would
  // overwrite it with pages of the converted one.
  auto put = [&](const std::string& from, const std::string& to) {
    if (!fileExists(from)) return true;
    if (!copyFile(from, to)) return false;
    report(from + " -> " + to);
    return true;
  };
  for (int n : {int(qv::FileForums), int(qv::FileControl), int(FileMailBoxes)})
    if (!put(root + "/" + savName(n), root + "/" + idxName(n))) return failed();
  // The other files of the configuration area go back beside them.
  for (int n : {int(qv::FileTasks), int(qv::FileStopList), int(qv::FileBatches), int(qv::FileTaskBatch)})
    if (fileExists(dirFile(cfg, n)) && !fileExists(root + "/" + idxName(n))) {
      if (!moveFile(dirFile(cfg, n), root + "/" + idxName(n))) return failed();
      report(dirFile(cfg, n) + " -> " + root + "/" + idxName(n));
    }
  // Without its control file the configuration area no longer marks the
  // installation as converted. The import registry and the file lists that
  // the conversion put there go too while their originals are still in the
  // program directory (the registry goes back when it is not).
  for (int n : {int(qv::FileControl), int(qv::FileForums), int(FileMailBoxes)}) removeFile(dirFile(cfg, n));
  removeFile(dirFile(cfg, qv::FileControl) + ".NEW");
  for (int n : {int(qv::FileImpRegistry), int(qv::FileFileList)}) {
    std::string kept = dirFile(cfg, n), original = root + "/" + idxName(n);
    if (!fileExists(kept)) continue;
    if (fileExists(original)) {
      removeFile(kept);
    } else if (n == qv::FileImpRegistry) {
      if (!moveFile(kept, original)) return failed();
      report(kept + " -> " + original);
    }
  }
  // The database directories named by the restored list get their old files back.
  inst = inspect(root);
  if (openExisting(OldForums30, root + "/" + idxName(qv::FileForums), true)) {
    std::vector<std::string> dirs;
    OldForums30.setFileOrder();
    while (OldForums30.next()) dirs.push_back(databaseDir(inst.dataDir, OF3.DIRNUMBER));
    OldForums30.close();
    const std::pair<int, int> back[] = {{FileOldMail, qv::FileMail},
                                        {FileOldPerson, qv::FilePerson},
                                        {FileOldText, qv::FileMsgText},
                                        {FileOldCodes, qv::FileCodes}};
    for (const std::string& dir : dirs) {
      // The self-description is the conversion's: old versions had none.
      removeFile(dir + "/IDX022.DAT");
      for (auto [kept, original] : back)
        if (fileExists(dirFile(dir, kept))) {
          if (!moveFile(dirFile(dir, kept), dirFile(dir, original))) return failed();
          report(dirFile(dir, kept) + " -> " + dirFile(dir, original));
        }
    }
  }
  // The old installation is back: nothing is left half converted.
  return markConversion(root, "") || failed();
}

}  // namespace qvconv
