// Process-wide registries of the SQLite driver, by canonical file path: the
// share modes of the opens of each file, the drivers open on it, and the
// record holds.
//
// Rules:
// - The registries are read and changed only in this file, and only under
//   registryMutex; no SQLite call is made while it is held.
// - A file's share modes admit a new open by the rules of Share (file.h): an
//   exclusive open admits nothing else, a deny-write open no other writer.
// - A record is held by one holder (a thread, or what setCurrentHolder()
//   names) at a time, and a holder holds one record per file: holding
//   another lets the first go. Holds of a driver end when it closes.
// - A driver about to write ends the reads of the others open on the same
//   file (quiesceSiblings); while no file has two drivers this costs one
//   atomic load.
#include "storage/sqlite_registry.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "storage/sqlite_driver.h"

namespace fs = std::filesystem;

namespace qv {

namespace {

std::mutex registryMutex;

struct HoldEntry {
  int holder;
  const SqlFileDriver* driver;
};
std::map<std::pair<std::string, int64_t>, HoldEntry>& holds() {
  static std::map<std::pair<std::string, int64_t>, HoldEntry> h;
  return h;
}

struct ShareEntry {
  int readers = 0;     // ReadOnly opens
  int writers = 0;     // Shared opens
  int denyWrite = 0;   // DenyWrite opens
  int exclusive = 0;   // Exclusive opens
};
std::map<std::string, ShareEntry>& shares() {
  static std::map<std::string, ShareEntry> s;
  return s;
}

bool shareAllowed(const ShareEntry& e, Share s) {
  int others = e.readers + e.writers + e.denyWrite + e.exclusive;
  if (e.exclusive) return false;
  switch (s) {
    case Share::Exclusive: return others == 0;
    case Share::DenyWrite: return e.writers == 0 && e.denyWrite == 0;
    case Share::Shared: return e.denyWrite == 0;
    case Share::ReadOnly: return true;
  }
  return false;
}

void shareCount(ShareEntry& e, Share s, int delta) {
  switch (s) {
    case Share::Exclusive: e.exclusive += delta; break;
    case Share::DenyWrite: e.denyWrite += delta; break;
    case Share::Shared: e.writers += delta; break;
    case Share::ReadOnly: e.readers += delta; break;
  }
}

// The drivers open on each file, so that a write through one of them can
// end the read statements of the others (an open read keeps the file locked
// against writers) and tell them that their cached counts and walks are stale.
std::map<std::string, std::set<SqlFileDriver*>>& openDrivers() {
  static std::map<std::string, std::set<SqlFileDriver*>> m;
  return m;
}
// Number of files open through more than one driver; while 0, writes need not
// look for siblings.
std::atomic<int> sharedFiles{0};

thread_local int holderId = 0;

}  // namespace

std::string canonicalPath(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::weakly_canonical(fs::path(path), ec);
  return ec ? path : p.string();
}

bool shareAdmits(const std::string& path, Share share) {
  std::lock_guard<std::mutex> lock(registryMutex);
  return shareAllowed(shares()[path], share);
}

void enlistDriver(const std::string& path, Share share, SqlFileDriver* d) {
  std::lock_guard<std::mutex> lock(registryMutex);
  shareCount(shares()[path], share, +1);
  auto& set = openDrivers()[path];
  set.insert(d);
  if (set.size() == 2) ++sharedFiles;
}

void delistDriver(const std::string& path, Share share, SqlFileDriver* d) {
  std::lock_guard<std::mutex> lock(registryMutex);
  auto& h = holds();
  for (auto it = h.begin(); it != h.end();)
    it = it->second.driver == d ? h.erase(it) : std::next(it);
  auto od = openDrivers().find(path);
  if (od != openDrivers().end()) {
    if (od->second.erase(d) && od->second.size() == 1) --sharedFiles;
    if (od->second.empty()) openDrivers().erase(od);
  }
  auto it = shares().find(path);
  if (it != shares().end()) {
    shareCount(it->second, share, -1);
    const ShareEntry& e = it->second;
    if (e.readers + e.writers + e.denyWrite + e.exclusive == 0) shares().erase(it);
  }
}

void forgetHold(const std::string& path, int64_t pos) {
  std::lock_guard<std::mutex> lock(registryMutex);
  holds().erase({path, pos});
}

int currentHolder() {
  if (holderId == 0) {
    static std::atomic<int> nextThread{1000000};
    holderId = nextThread++;
  }
  return holderId;
}
void setCurrentHolder(int holder) { holderId = holder; }

void quiesceSiblings(const std::string& path, SqlFileDriver* self) {
  if (sharedFiles.load(std::memory_order_relaxed) == 0) return;
  std::vector<SqlFileDriver*> others;
  {
    std::lock_guard<std::mutex> lock(registryMutex);
    auto it = openDrivers().find(path);
    if (it == openDrivers().end()) return;
    for (SqlFileDriver* d : it->second)
      if (d != self) others.push_back(d);
  }
  for (SqlFileDriver* d : others) d->yieldReads();
}

bool openAlone(const std::string& path, const SqlFileDriver* self) {
  std::lock_guard<std::mutex> lock(registryMutex);
  auto it = openDrivers().find(path);
  return it != openDrivers().end() && it->second.size() == 1 && it->second.count(const_cast<SqlFileDriver*>(self));
}

void SqliteDriver::quiesceSiblings() { qv::quiesceSiblings(path_, this); }

bool SqliteDriver::heldByOther(int64_t pos) const {
  std::lock_guard<std::mutex> lock(registryMutex);
  auto it = holds().find({path_, pos});
  return it != holds().end() && it->second.holder != currentHolder();
}

bool SqliteDriver::hold(int seconds) {
  if (curPos_ == 0) {
    setError(ErrNotAvailable, file_.name(), "no current record");
    return false;
  }
  const std::string& path = path_;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds < 0 ? 0 : seconds);
  int me = currentHolder();
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(registryMutex);
      auto& h = holds();
      auto it = h.find({path, curPos_});
      if (it == h.end() || it->second.holder == me) {
        // One held record per file and holder: holding another lets the first go.
        for (auto j = h.begin(); j != h.end();)
          j = (j->first.first == path && j->second.holder == me && j->first.second != curPos_) ? h.erase(j)
                                                                                                 : std::next(j);
        h[{path, curPos_}] = HoldEntry{me, this};
        break;
      }
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      setError(ErrHeld, file_.name());
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  // Read the record as it is stored now.
  if (!getPosition(curPos_)) {
    forgetHold(path, curPos_);
    return false;
  }
  return true;
}

void SqliteDriver::release() {
  std::lock_guard<std::mutex> lock(registryMutex);
  auto& h = holds();
  int me = currentHolder();
  const std::string& path = path_;
  for (auto it = h.begin(); it != h.end();)
    it = (it->first.first == path && it->second.holder == me) ? h.erase(it) : std::next(it);
}

}  // namespace qv
