#include "services/disk_space.h"

#include <sys/stat.h>

#include <filesystem>

#include "services/globals.h"

namespace fs = std::filesystem;

namespace qv {

namespace {

FreeSpaceFunction freeSpaceFn;

// Thousands separators, as the low-space message writes a byte count.
std::string grouped(int64_t n) {
  std::string digits = std::to_string(n < 0 ? -n : n);
  std::string out;
  int count = 0;
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    if (count && count % 3 == 0) out.insert(out.begin(), ',');
    out.insert(out.begin(), *it);
    ++count;
  }
  return n < 0 ? "-" + out : out;
}

// The mount point of a directory stands for the drive a message names.
std::string mountPoint(const std::string& dir) {
  std::error_code ec;
  fs::path p = fs::weakly_canonical(fs::path(dir), ec);
  if (ec) return dir;
  struct stat st;
  if (::stat(p.c_str(), &st) != 0) return dir;
  dev_t dev = st.st_dev;
  while (p.has_parent_path() && p != p.root_path()) {
    fs::path parent = p.parent_path();
    struct stat ps;
    if (::stat(parent.c_str(), &ps) != 0 || ps.st_dev != dev) break;
    p = parent;
  }
  return p.string();
}

}  // namespace

void setFreeSpaceFunction(FreeSpaceFunction f) { freeSpaceFn = std::move(f); }

int64_t freeSpace(const std::string& directory) {
  if (freeSpaceFn) return freeSpaceFn(directory);
  std::error_code ec;
  fs::space_info si = fs::space(directory, ec);
  if (ec) return -1;
  return int64_t(si.available);
}

std::string lowSpaceStart(const std::string& directory, int64_t free) {
  return "You have only " + grouped(free) + " bytes free on disk " + mountPoint(directory) + " ";
}

bool CheckSpace(const std::string& directory, int64_t bytes, Button stopButton) {
  int64_t free = freeSpace(directory);
  if (free < 0 || free >= bytes) return true;
  if (unattended()) return false;
  Button b = Message(lowSpaceStart(directory, free) +
                         "This may be too little for this process. Running out of diskspace may corrupt the "
                         "currently accessed data file(s).Press OK if you want to continue and Cancel if you want "
                         "to abort this process!",
                     "Warning", Icon::Exclamation, BtnOk | stopButton, stopButton);
  return b == BtnOk;
}

}  // namespace qv
