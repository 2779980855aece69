#include "services/paths.h"

#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <filesystem>

#include "services/file_service.h"
#include "services/globals.h"
#include "services/prompt.h"
#include "storage/fixedstr.h"

namespace fs = std::filesystem;

namespace qv {

bool ExistPath(int kind, int fileNumber, const std::string& extra, const std::string& path, bool quiet) {
  std::string dir;
  if (kind == PathReport || kind == PathCreate) {
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
  if (kind == PathCreate || kind == FileDirCreate) {
    if (!makePrivateDirectory(dir)) {
      Beep();
      Message("The specified directory " + dir + " could not be created.\r\nQuorvane will be halted.",
              " Directory Creation Error", Icon::Hand);
      Halt("Probable access rights violation");
    }
  }
  return false;
}

namespace {
bool maskMatch(const std::string& name, const std::string& mask) {
  return ::fnmatch(mask.c_str(), name.c_str(), FNM_CASEFOLD | FNM_PERIOD) == 0;
}
bool endsWith(const std::string& s, const char* tail) {
  size_t n = std::char_traits<char>::length(tail);
  return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}
}  // namespace

bool matchesPattern(const std::string& name, const std::string& pattern) {
  if (endsWith(pattern, ".*"))
    return maskMatch(name, pattern) || maskMatch(name, pattern.substr(0, pattern.size() - 2));
  if (endsWith(pattern, ".") && pattern.size() > 1 && pattern[pattern.size() - 2] != '.')
    return name.find('.') == std::string::npos && maskMatch(name, pattern.substr(0, pattern.size() - 1));
  return maskMatch(name, pattern);
}

bool makePrivateDirectory(const std::string& dirIn) {
  std::string dir(trimRight(dirIn));
  if (dir.empty()) return false;
  std::error_code ec;
  if (fs::is_directory(dir, ec)) return true;
  fs::path made;
  for (const fs::path& part : fs::path(dir).lexically_normal()) {
    if (part.empty()) continue;
    made /= part;
    if (::mkdir(made.c_str(), 0700) == 0)
      ::chmod(made.c_str(), 0700);  // exactly private, whatever the process's umask
    else if (errno != EEXIST)
      return false;
  }
  return fs::is_directory(dir, ec);
}

namespace {
// A directory as the settings compare it: no trailing blanks or slashes,
// no "." or ".." steps.
std::string cleanDirectory(const std::string& path) {
  std::string s(trimRight(path));
  if (s.empty()) return s;
  s = fs::path(s).lexically_normal().string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}
bool absolute(const std::string& p) { return !p.empty() && p.front() == '/'; }
// The part of `path` below `dir` ("" for `dir` itself), or false when it is not there.
bool below(const std::string& path, const std::string& dir, std::string& rest) {
  if (path == dir) {
    rest.clear();
    return true;
  }
  if (dir.size() > 1 && path.size() > dir.size() && path.compare(0, dir.size(), dir) == 0 && path[dir.size()] == '/') {
    rest = path.substr(dir.size() + 1);
    return true;
  }
  return false;
}
bool holdsInstallation(const std::string& dir) {
  std::error_code ec;
  return fs::is_regular_file(dir + "/CFG/IDX008.ADF", ec);
}
}  // namespace

std::string storedDirectory(const std::string& directory, const std::string& root) {
  std::string d = cleanDirectory(directory), r = cleanDirectory(root), rest;
  if (!absolute(d) || !absolute(r) || !below(d, r, rest)) return d;
  return rest.empty() ? "." : rest;
}

std::string resolvedDirectory(const std::string& stored, const std::string& root, const std::string& former) {
  std::string s = cleanDirectory(stored), r = cleanDirectory(root), f = cleanDirectory(former), rest;
  if (s.empty()) return s;
  if (!absolute(s)) return s == "." ? r : cleanDirectory(r + "/" + s);
  if (absolute(f) && f != r && below(s, f, rest)) return rest.empty() ? r : r + "/" + rest;
  return s;
}

std::string formerRoot(const std::string& storedTemp, const std::string& storedData, const std::string& root) {
  std::string t = cleanDirectory(storedTemp), d = cleanDirectory(storedData), r = cleanDirectory(root);
  std::error_code ec;
  // The first start made the temporary directory as ROOT/TEMP.
  if (absolute(t) && fs::path(t).filename() == "TEMP") {
    std::string parent = fs::path(t).parent_path().string();
    bool movedAway = !fs::exists(parent, ec) && fs::is_directory(r + "/TEMP", ec);
    if (parent != r && (holdsInstallation(parent) || movedAway)) return parent;
  }
  if (absolute(d) && d != r && holdsInstallation(d)) return d;
  return {};
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
