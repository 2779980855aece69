#include "support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace qvtest {

TempDir::TempDir() {
  std::string tmpl = (fs::temp_directory_path() / "qvtest-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("cannot create a temporary directory");
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string corpusDir() {
  if (const char* env = std::getenv("QV_CORPUS_DIR"); env && *env && fs::is_directory(env)) return env;
#ifdef QV_CORPUS_DIR
  if (fs::is_directory(QV_CORPUS_DIR)) return QV_CORPUS_DIR;
#endif
  return "";
}

}  // namespace qvtest
