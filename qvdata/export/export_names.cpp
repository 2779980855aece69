#include "export/export_names.h"

#include <filesystem>

#include "services/globals.h"
#include "services/prompt.h"
#include "storage/collation.h"

namespace qv {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// IDXnnn.ADF and IDXnnn.DAT with the files SQLite keeps beside them, and the
// installation's lock file.
bool archiveFileName(const std::string& name) {
  std::string u = foldUpper(name);
  if (u == "QUORVANE.LCK") return true;
  for (const char* tail : {"-JOURNAL", "-WAL", "-SHM"}) {
    std::string t(tail);
    if (u.size() > t.size() && u.compare(u.size() - t.size(), t.size(), t) == 0) u.resize(u.size() - t.size());
  }
  return u.size() == 10 && u.compare(0, 3, "IDX") == 0 && isDigit(u[3]) && isDigit(u[4]) && isDigit(u[5]) &&
         (u.compare(6, 4, ".ADF") == 0 || u.compare(6, 4, ".DAT") == 0);
}

}  // namespace

std::string exportNameProblem(const std::string& name) {
  if (name.find('/') != std::string::npos || name.find('\\') != std::string::npos ||
      name.find("..") != std::string::npos)
    return "Do not include the path, just the filename!";
  if (name.empty() || name == ".") return "Please enter a file name.";
  for (unsigned char c : name)
    if (c < 32 || c == 127) return "A file name cannot hold control characters.";
  if (name.size() > kExportNameMax)
    return "A file name can have at most " + std::to_string(kExportNameMax) + " characters.";
  if (archiveFileName(name)) return "The file " + name + " belongs to the archive and cannot be overwritten.";
  std::error_code ec;
  auto st = std::filesystem::symlink_status(exportPath(name), ec);
  if (!ec && st.type() != std::filesystem::file_type::not_found && st.type() != std::filesystem::file_type::regular)
    return "The name " + name + " is taken by something that is not a plain file.";
  return {};
}

bool checkExportName(const std::string& name) {
  std::string problem = exportNameProblem(name);
  if (problem.empty()) return true;
  Message(problem, "Filename error", Icon::Exclamation);
  return false;
}

std::string exportPath(const std::string& name) { return joinPath({Mem.TempDir, name}); }

}  // namespace qv
