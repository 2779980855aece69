#include "originals/safe_save.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "mime/charset.h"
#include "services/output_files.h"

namespace qv {

using mime::isValidUtf8;
using mime::utf8PrefixLength;
using mime::windows1252ToUtf8;

namespace {

constexpr int kMaxSuffix = 9999;      // " (2)" to " (9999)"
constexpr size_t kMaxExtension = 16;  // a longer tail after the last dot is no extension

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// "name (n).ext" for n >= 2, the name itself for n == 1.
std::string numbered(const std::string& name, int n) {
  if (n == 1) return name;
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0 || name.size() - dot > kMaxExtension) dot = name.size();
  return name.substr(0, dot) + " (" + std::to_string(n) + ")" + name.substr(dot);
}

}  // namespace

std::string safeFileName(std::string_view name, int number) {
  size_t slash = name.find_last_of("/\\");
  if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
  std::string out;
  for (char c : name) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u != 0x7F) out += c;
  }
  // Invalid UTF-8 (a name in an undeclared charset) is read as Windows-1252.
  if (!isValidUtf8(out)) out = windows1252ToUtf8(out);
  // C1 controls (U+0080..U+009F, "\xC2\x80".."\xC2\x9F") go as C0 ones do: a
  // terminal acts on U+009B as on ESC "[".
  std::string kept;
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i] == '\xC2' && i + 1 < out.size() && static_cast<unsigned char>(out[i + 1]) < 0xA0) {
      ++i;
      continue;
    }
    kept += out[i];
  }
  out = std::move(kept);
  size_t start = 0;
  while (start < out.size() && (out[start] == '.' || isBlank(out[start]))) ++start;
  out.erase(0, start);
  while (!out.empty() && isBlank(out.back())) out.pop_back();
  if (out.size() > kSafeNameMax) {
    size_t dot = out.rfind('.');
    std::string ext = dot != std::string::npos && out.size() - dot <= kMaxExtension ? out.substr(dot) : "";
    if (!isValidUtf8(ext)) ext.clear();
    out.resize(utf8PrefixLength(out, kSafeNameMax - ext.size()));
    out += ext;
  }
  if (out.empty()) out = "attachment-" + std::to_string(number);
  return out;
}

std::string saveNewFile(const std::string& dir, const std::string& name, std::string_view bytes, std::string& error) {
  error.clear();
  if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
    error = "The name \"" + name + "\" is no plain file name.";
    return "";
  }
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
    error = "The directory " + dir + " cannot be made: " + std::strerror(errno);
    return "";
  }
  // The directory itself may not be among the archive's files.
  if (std::string problem = outputFileProblem(dir + "/attachment"); !problem.empty()) {
    error = problem;
    return "";
  }
  for (int n = 1; n <= kMaxSuffix; ++n) {
    std::string path = dir + "/" + numbered(name, n);
    // A name the archive keeps for its own files is passed over like a taken one.
    if (!outputFileProblem(path).empty()) continue;
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) {
      error = "The file " + path + " cannot be created: " + std::strerror(errno);
      return "";
    }
    ::fchmod(fd, 0600);
    bool ok = writeAll(fd, bytes);
    if (::close(fd) != 0) ok = false;
    if (!ok) {
      error = "The file " + path + " cannot be written: " + std::strerror(errno);
      ::unlink(path.c_str());
      return "";
    }
    return path;
  }
  error = "Every name like " + name + " is taken in " + dir + ".";
  return "";
}

}  // namespace qv
