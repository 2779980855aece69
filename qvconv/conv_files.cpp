#include "conv_files.h"

#include <cstdio>
#include <filesystem>
#include <vector>

#include "services/paths.h"
#include "services/prompt.h"
#include "storage/errors.h"

namespace fs = std::filesystem;

namespace qvconv {

std::string savName(int number) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "SAV%03d.ADF", number);
  return buf;
}

std::string fileErrorText() { return qv::ErrorText(); }

void showOpenFailure(const std::string& path) {
  int code = qv::ErrorCode();
  switch (code) {
    case qv::ErrPathNotFound:
      qv::Message("The path " + fs::path(path).parent_path().string() + " does not exist.", "Path Not Found");
      break;
    case qv::ErrAccessDenied:
      qv::Message("The file " + path + " cannot be opened!", " File Open Error - Access denied");
      break;
    case qv::ErrInvalidFileName:
      qv::Message("The file " + path + " cannot be opened.\r\nThe filename is not a valid DOS file name \r\n",
                  "Invalid File Name Error");
      break;
    case qv::ErrLayout:
      qv::Message("The file " + path + " cannot be opened\r\nas the file definition is incorrect.",
                  " File Open Error - Invalid record declaration");
      break;
    case qv::ErrBadKeys:
      qv::Message("The file " + path + " cannot be opened\r\ndue to corrupted indices.", "File Open Error - Bad keys");
      break;
    default:
      qv::Message("The file " + path + " cannot be opened.\r\nError no " + std::to_string(code) + "\r\n" +
                      qv::ErrorText(),
                  "File Open Error");
  }
}

bool openExisting(qv::File& f, const std::string& path, bool quiet) {
  f.close();
  f.setName(path);
  if (!fileExists(path)) {
    qv::setError(qv::ErrFileNotFound, path);
    if (!quiet) showOpenFailure(path);
    return false;
  }
  if (f.open(qv::Share::Exclusive)) return true;
  if (qv::ErrorCode() == qv::ErrBadKeys && f.buildKeys() && f.open(qv::Share::Exclusive)) return true;
  if (!quiet) showOpenFailure(path);
  return false;
}

bool matchesDeclaration(qv::File& f, const std::string& path) {
  bool ok = openExisting(f, path, true);
  f.close();
  return ok;
}

bool createNew(qv::File& f, const std::string& path) {
  f.close();
  f.setName(path);
  if (!f.create() || !f.open(qv::Share::Exclusive)) {
    showOpenFailure(path);
    return false;
  }
  return true;
}

void copyByName(const qv::FileDecl& from, const qv::FileDecl& to) {
  qv::clearRecord(to);
  for (size_t i = 0; i < to.fields.size(); ++i) {
    const qv::FieldDesc& field = to.fields[i];
    int source = from.fieldIndex(field.name);
    if (source < 0) continue;
    uint32_t elements = std::min(field.dim, from.fields[size_t(source)].dim);
    for (uint32_t e = 0; e < elements; ++e) qv::setField(to, int(i), e, qv::getField(from, source, e));
  }
}

bool fileExists(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

// The files SQLite keeps beside a file while a write is under way: its
// journal (with the super-journals of a write over several files) or its
// write-ahead log. Left behind by a killed writer, a journal is rolled onto
// whatever file bears its name when that is opened next.
void removeJournals(const std::string& path) {
  std::error_code ec;
  for (const char* suffix : {"-journal", "-wal", "-shm"}) fs::remove(path + suffix, ec);
  fs::path p(path);
  const std::string superPrefix = p.filename().string() + "-mj";
  fs::path dir = p.has_parent_path() ? p.parent_path() : fs::path(".");
  std::vector<fs::path> supers;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
    if (it->path().filename().string().rfind(superPrefix, 0) == 0) supers.push_back(it->path());
  for (const fs::path& f : supers) fs::remove(f, ec);
}

bool moveFile(const std::string& from, const std::string& to) {
  std::error_code ec;
  // A journal at the target belongs to the file that is replaced.
  removeJournals(to);
  fs::rename(from, to, ec);
  if (ec) {
    qv::setError(qv::ErrOther, from, ec.message());
    return false;
  }
  if (fs::exists(from + "-journal", ec)) fs::rename(from + "-journal", to + "-journal", ec);
  return true;
}

bool copyFile(const std::string& from, const std::string& to) {
  std::error_code ec;
  removeJournals(to);
  fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
  if (ec) {
    qv::setError(qv::ErrOther, from, ec.message());
    return false;
  }
  fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write, ec);
  // A write cut short in the original is undone in the copy as well.
  if (fs::exists(from + "-journal", ec)) {
    fs::copy_file(from + "-journal", to + "-journal", fs::copy_options::overwrite_existing, ec);
    if (ec) {
      qv::setError(qv::ErrOther, from + "-journal", ec.message());
      fs::remove(to, ec);
      return false;
    }
  }
  return true;
}

bool removeFile(const std::string& path) {
  std::error_code ec;
  removeJournals(path);
  fs::remove(path, ec);
  if (ec) qv::setError(qv::ErrOther, path, ec.message());
  return !ec;
}

int64_t fileSize(const std::string& path) {
  std::error_code ec;
  auto n = fs::file_size(path, ec);
  return ec ? 0 : int64_t(n);
}

bool makeDirectory(const std::string& path) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) return true;
  return qv::makePrivateDirectory(path);
}

}  // namespace qvconv
