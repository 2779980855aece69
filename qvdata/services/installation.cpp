#include "services/installation.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "dictionary/dictionary.h"
#include "services/default_stop_list.h"
#include "services/file_scope.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/paths.h"
#include "services/prompt.h"
#include "storage/collation.h"
#include "storage/fixedstr.h"
#include "services/persons.h"
#include "services/record_helpers.h"
#include "services/procedure_starter.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "services/window_settings.h"

namespace fs = std::filesystem;

namespace qv {

namespace {
int lockFd = -1;
pid_t lockPid = 0;  // the process that took the lock (a forked child shares it)
bool readOnly = false;  // the mode of the open being made or in force

bool makeDir(const std::string& dir, std::string& error) {
  if (makePrivateDirectory(dir)) return true;
  error = "The directory " + dir + " cannot be created: " + std::strerror(errno);
  return false;
}
// Takes a configured directory into `current` when it differs from it. A
// directory that does not exist is made (MissingPaths::Create) or reported,
// and `current` is kept (MissingPaths::Report). Reading takes it as it is.
bool useDirectory(const std::string& configured, std::string& current, const std::string& text, MissingPaths paths,
                  std::string& error) {
  std::string dir(trimRight(configured));
  if (dir.empty()) return true;
  if (readOnly) {
    current = dir;
    return true;
  }
  if (paths == MissingPaths::Create) {
    current = dir;
    return makeDir(dir, error);
  }
  if (compareNoCase(dir, trimRight(current)) == 0) return true;
  std::error_code ec;
  if (fs::is_directory(dir, ec)) {
    current = dir;
    return true;
  }
  Message(text + "\r\n" + dir + "Check data file path in Preferences\r\n", "Path not found!", Icon::Exclamation);
  return true;
}

enum class LockResult { Taken, Busy, NotWritable };
// Takes the installation lock CFG/QUORVANE.LCK for this process.
LockResult takeLock(const std::string& root, std::string& error) {
  std::string lockPath = root + "/CFG/QUORVANE.LCK";
  int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    error = "The installation " + root + " cannot be written: " + std::strerror(errno) + ".";
    return LockResult::NotWritable;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    error = "Quorvane is already running on the installation " + root +
            ".\r\nOnly one program at a time may work on an installation.";
    return LockResult::Busy;
  }
  lockFd = fd;
  lockPid = ::getpid();
  return LockResult::Taken;
}

}  // namespace

void registerLibraryServices() {
  registerSemaFore(212, [] { return TransactionCheck() ? 1 : 0; });
  registerSemaFore(213, [] { return RecountForumPerson(); });
}

bool openInstallation(const std::string& rootIn, std::string& error, MissingPaths paths, Access access) {
  // One installation at a time: a program that opens another lets the first go.
  if (installationOpen()) closeInstallation();
  std::error_code ec;
  fs::path root = fs::absolute(rootIn.empty() ? fs::path(".") : fs::path(rootIn), ec).lexically_normal();
  std::string r = root.string();
  while (r.size() > 1 && r.back() == '/') r.pop_back();

  // A new installation is one whose control file does not exist yet.
  bool created = !fs::exists(r + "/CFG/IDX008.ADF", ec);
  if (access != Access::Read && !(access == Access::WriteIfFree && created)) {
    if (!makeDir(r, error) || !makeDir(r + "/CFG", error)) {
      if (access == Access::Write) return false;
    } else {
      // One program at a time writes to an installation.
      LockResult lock = takeLock(r, error);
      if (lock != LockResult::Taken && access == Access::Write) return false;
    }
  }
  readOnly = lockFd < 0;
  if (readOnly) {
    if (created) {
      error = "There is no installation at " + r + ".";
      return false;
    }
    error.clear();
  }
  setInstallationState(true, readOnly);

  Mem = MemState();
  Mem.Net = r;
  Mem.FileDir = r;
  Mem.TempDir = r + "/TEMP";
  MasIdxPath = r;
  registerLibraryServices();

  // The settings blocks are loaded (and written back where loading changed
  // them) in one write of the control file rather than one each.
  FileScope scope({FileControl});
  if (!readOnly) Control.stream();
  bool ok = Konfig(KLoad) && Konfig(KLoadDisplay) && AutoPath(KLoad);
  if (ok) {
    Mem.TempDir = AutoPathGet(ItemTempDirectory);
    if (!readOnly) ok = makeDir(Mem.TempDir, error);
    if (ok) ok = useDirectory(AutoPathGet(ItemDataDirectory), Mem.FileDir, "The path to the data files cannot be found!", paths, error);
    MasIdxPath = Mem.FileDir;
    if (ok) ok = WSVars(KLoad);
    if (ok)
      ok = useDirectory(WSVarsText(ItemIndexRoot), MasIdxPath, "The path to the word indexing files cannot be found!", paths, error);
    WindowRect dummy;
    std::array<int, kListColumns> widths{};
    if (ok) ok = WindowPos(KLoad, 0, dummy) && WindowPos2(KLoad, 0, dummy) && ListCol(KLoad, 0, widths);
    // It starts with a stop list of common English words.
    if (ok && created) ok = installDefaultStopList();
  }
  if (!readOnly && !Control.flush()) ok = false;
  scope.release();
  if (!ok) {
    if (error.empty()) error = "The control file is not available - no access to application!";
    closeInstallation();
    return false;
  }
  return true;
}

namespace {
std::string lockPathOf(const std::string& rootIn) {
  std::error_code ec;
  fs::path root = fs::absolute(rootIn.empty() ? fs::path(".") : fs::path(rootIn), ec).lexically_normal();
  return (root / "CFG" / "QUORVANE.LCK").string();
}

// Takes and lets go the lock of `root` on a descriptor of its own: true when
// it could be taken (waiting for it when `wait` is set).
bool lockFree(const std::string& root, bool wait) {
  int fd = ::open(lockPathOf(root).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return true;
  int rc;
  do rc = ::flock(fd, wait ? LOCK_EX : LOCK_EX | LOCK_NB);
  while (rc != 0 && errno == EINTR);
  bool free = rc == 0;
  if (free) ::flock(fd, LOCK_UN);
  ::close(fd);
  return free;
}
}  // namespace

bool holdInstallation(const std::string& root, std::string& error) {
  fs::path cfg = fs::path(lockPathOf(root)).parent_path();
  std::error_code ec;
  if (!fs::is_directory(cfg, ec)) return true;
  if (lockFd >= 0) return true;
  return takeLock(cfg.parent_path().string(), error) == LockResult::Taken;
}

bool installationBusy(const std::string& root) { return !lockFree(root, false); }
void waitForInstallation(const std::string& root) { lockFree(root, true); }

void closeInstallation() {
  for (File* f : allDeclaredFiles()) f->close();
  for (int n = kFirstFileNumber; n <= kLastFileNumber; ++n)
    if (fileByNumber(n)) OP_CLOSE(OpForceClose, {n});
  if (lockFd >= 0) {
    // Only the process that took the lock lets it go; a forked child that
    // closes its copy must not unlock its parent's installation.
    if (lockPid == ::getpid()) ::flock(lockFd, LOCK_UN);
    ::close(lockFd);
    lockFd = -1;
  }
  readOnly = false;
  setInstallationState(false, false);
}

void useDatabase() {
  Mem.ForumNumber = FOR.ID;
  Mem.Description = FOR.DESCRIPTION.str();
  Mem.ForumType = FOR.TYPE;
  Mem.Dirnamn = "F" + std::to_string(FOR.DIRNUMBER);
  Mem.PersonID = FOR.PERSONID;
}

}  // namespace qv
