// Whether a file the user names for output keeps clear of the archive: its
// own files, the configuration and database directories, and names that are
// no plain file.
#include "services/output_files.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "services/globals.h"
#include "storage/collation.h"

namespace fs = std::filesystem;

namespace qv {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// IDXnnn.ADF and IDXnnn.DAT with the files SQLite keeps beside them (journals
// and super-journals), and the installation's lock file.
bool archiveFileName(const std::string& name) {
  std::string u = foldUpper(name);
  if (u == "QUORVANE.LCK") return true;
  for (const char* tail : {"-JOURNAL", "-WAL", "-SHM"}) {
    std::string t(tail);
    if (u.size() > t.size() && u.compare(u.size() - t.size(), t.size(), t) == 0) u.resize(u.size() - t.size());
  }
  size_t mj = u.find("-MJ");  // a super-journal of a transaction over several files
  if (mj != std::string::npos) u.resize(mj);
  return u.size() == 10 && u.compare(0, 3, "IDX") == 0 && isDigit(u[3]) && isDigit(u[4]) && isDigit(u[5]) &&
         (u.compare(6, 4, ".ADF") == 0 || u.compare(6, 4, ".DAT") == 0);
}

// True when a file in directory `dir` would lie among the archive's own
// files: in the configuration directory or in a database's directory (F and
// a number) under the data or the word-index root. The temporary directory
// is where export files belong.
bool amongArchiveFiles(const fs::path& dir) {
  if (Mem.Net.empty()) return false;
  std::error_code ec;
  auto canonical = [&](const std::string& d) { return fs::weakly_canonical(fs::path(d), ec); };
  auto within = [](const fs::path& path, const fs::path& base, fs::path& rest) {
    rest = path.lexically_relative(base);
    return !rest.empty() && *rest.begin() != "..";
  };
  fs::path rest;
  if (!Mem.TempDir.empty() && dir == canonical(Mem.TempDir)) return false;
  if (within(dir, canonical(joinPath({Mem.Net, "CFG"})), rest)) return true;
  for (const std::string& base : {Mem.FileDir, MasIdxPath}) {
    if (base.empty() || !within(dir, canonical(base), rest) || rest == ".") continue;
    std::string first = rest.begin()->string();
    if (first.size() > 1 && (first[0] == 'F' || first[0] == 'f') &&
        first.find_first_not_of("0123456789", 1) == std::string::npos)
      return true;
  }
  return false;
}

}  // namespace

std::string outputFileProblem(const std::string& path) {
  fs::path p(path);
  std::string name = p.filename().string();
  if (name.empty() || name == "." || name == "..") return "Please enter a file name.";
  for (unsigned char c : path)
    if (c < 32 || c == 127) return "A file name cannot hold control characters.";
  if (archiveFileName(name)) return "The file " + name + " belongs to the archive and cannot be overwritten.";
  std::error_code ec;
  auto st = fs::symlink_status(p, ec);
  if (!ec && st.type() != fs::file_type::not_found && st.type() != fs::file_type::regular)
    return "The name " + name + " is taken by something that is not a plain file.";
  // Another name of the same file could be one of the archive's.
  if (!ec && st.type() == fs::file_type::regular && fs::hard_link_count(p, ec) > 1 && !ec)
    return "The file " + name + " has other names (hard links) and cannot be overwritten.";
  fs::path dir = fs::weakly_canonical(fs::absolute(p, ec).parent_path(), ec);
  if (amongArchiveFiles(dir))
    return "The file " + name + " would be written among the archive's own files.\r\nChoose another directory.";
  return {};
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(size_t(n));
  }
  return true;
}

}  // namespace qv
