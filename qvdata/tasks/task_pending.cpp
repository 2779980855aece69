#include "tasks/task_pending.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <utility>

#include "services/globals.h"
#include "services/output_files.h"

namespace qv {

namespace {
std::vector<std::pair<uint32_t, uint32_t>> readAll() {
  std::vector<std::pair<uint32_t, uint32_t>> out;
  struct stat st{};
  if (::lstat(taskRunPath().c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return out;
  std::ifstream in(taskRunPath());
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    unsigned long task = 0, db = 0;
    // A line cut short by a crash is passed over.
    if (fields >> task >> db && task != 0 && db != 0 && task <= UINT32_MAX && db <= UINT32_MAX)
      out.emplace_back(uint32_t(task), uint32_t(db));
  }
  return out;
}

bool writeText(const std::string& path, const std::string& text, int flags) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | flags, 0600);
  if (fd < 0) return false;
  bool ok = writeAll(fd, text) && ::fsync(fd) == 0;
  return ::close(fd) == 0 && ok;
}
}  // namespace

std::string taskRunPath() { return joinPath({Mem.Net, "CFG", kTaskRunName}); }

std::vector<uint32_t> pendingDatabases(uint32_t task) {
  std::vector<uint32_t> out;
  for (const auto& [t, db] : readAll())
    if (t == task) out.push_back(db);
  return out;
}

bool addPendingDatabase(uint32_t task, uint32_t database) {
  return writeText(taskRunPath(), std::to_string(task) + " " + std::to_string(database) + "\n", O_APPEND);
}

namespace {
// Rewrites the file with the entries `keep` accepts (it goes when none is
// left); nothing is written when every entry is kept.
void keepEntries(const std::function<bool(uint32_t task, uint32_t database)>& keep) {
  std::string kept;
  bool dropped = false;
  for (const auto& [t, db] : readAll()) {
    if (!keep(t, db)) {
      dropped = true;
      continue;
    }
    kept += std::to_string(t) + " " + std::to_string(db) + "\n";
  }
  if (kept.empty()) {
    ::unlink(taskRunPath().c_str());
    return;
  }
  if (!dropped) return;
  // Written beside and renamed over, so that a crash leaves one whole file.
  std::string temp = taskRunPath() + ".new";
  ::unlink(temp.c_str());
  if (writeText(temp, kept, O_TRUNC | O_EXCL)) std::rename(temp.c_str(), taskRunPath().c_str());
}

bool contains(const std::vector<uint32_t>& v, uint32_t x) { return std::find(v.begin(), v.end(), x) != v.end(); }
}  // namespace

void clearPendingDatabases(uint32_t task) {
  keepEntries([task](uint32_t t, uint32_t) { return t != task; });
}

void keepPendingDatabases(const std::vector<uint32_t>& tasks, const std::vector<uint32_t>& databases) {
  keepEntries([&](uint32_t t, uint32_t db) { return contains(tasks, t) && contains(databases, db); });
}

}  // namespace qv
