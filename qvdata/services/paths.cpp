#include "services/paths.h"

#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "services/file_service.h"
#include "services/globals.h"
#include "services/prompt.h"
#include "storage/fixedstr.h"

namespace fs = std::filesystem;

namespace qv {

bool ExistPath(int kind, int fileNumber, const std::string& extra, const std::string& path, bool quiet) {
  std::string dir;
  if (kind == 1 || kind == 3) {
    dir = std::string(trimRight(path));
    // A directory is given by its full path.
    if (dir.empty() || dir.front() != '/') return false;
  } else {
    std::string p = filePath(fileNumber);
    size_t slash = p.find_last_of('/');
    dir = slash == std::string::npos ? "." : p.substr(0, slash);
  }
  std::error_code ec;
  if (fs::is_directory(dir, ec)) return true;
  if (!quiet && !unattended()) {
    Beep();
    Message("The specified path " + dir + " does not exist.\r\n" + extra, " Path Not Found", Icon::Exclamation);
  }
  if (kind == 3 || kind == 4) {
    fs::create_directories(dir, ec);
    if (ec || !fs::is_directory(dir)) {
      Beep();
      Message("The specified directory " + dir + " could not be created.\r\nQuorvane will be halted.",
              " Directory Creation Error", Icon::Hand);
      Halt("Probable access rights violation");
    }
    ::chmod(dir.c_str(), 0700);
  }
  return false;
}

bool matchesPattern(const std::string& name, const std::string& pattern) {
  return ::fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD | FNM_PERIOD) == 0;
}

namespace {
// Calls `fn` for every regular file in the pattern's directory matching its name part.
template <typename Fn>
void forMatching(const std::string& pattern, Fn fn) {
  fs::path p(pattern);
  fs::path dir = p.has_parent_path() ? p.parent_path() : fs::path(".");
  std::string mask = p.filename().string();
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    if (matchesPattern(it->path().filename().string(), mask)) fn(it->path());
  }
}
}  // namespace

int64_t GetFSize(const std::string& pattern) {
  int64_t total = 0;
  forMatching(pattern, [&](const fs::path& f) {
    std::error_code ec;
    auto n = fs::file_size(f, ec);
    if (!ec) total += int64_t(n);
  });
  return total;
}

bool DOSFunc(int op, const std::string& path, const std::string& directory) {
  switch (op) {
    case DosDeleteFile: {
      if (::unlink(path.c_str()) == 0 || errno == ENOENT) return true;
      std::string name = fs::path(path).filename().string();
      if (errno == EACCES || errno == EPERM || errno == EROFS)
        Message("No access rights - the file " + name + " cannot be removed", "File Deletion Error!",
                Icon::Exclamation);
      else
        Message("The file " + name + " is open and cannot be removed", "File Deletion Error!", Icon::Exclamation);
      return false;
    }
    case DosDeleteMatching: {
      bool all = true;
      std::string pattern = directory.empty() ? path : joinPath({directory, path});
      forMatching(pattern, [&](const fs::path& f) {
        if (::unlink(f.c_str()) != 0 && errno != ENOENT) all = false;
      });
      if (!all)
        Message("One or more files have not been \r\nremoved in subdirectory " + directory, "File Deletion Error!",
                Icon::Exclamation);
      return all;
    }
    case DosAnyMatch: {
      bool any = false;
      std::string pattern = directory.empty() ? path : joinPath({directory, path});
      forMatching(pattern, [&](const fs::path&) { any = true; });
      return any;
    }
    default: return false;
  }
}

}  // namespace qv
