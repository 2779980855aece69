// A fresh directory under the system's temporary directory, removed with its
// contents when the test ends.
#pragma once

#include <string>

namespace qvtest {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Writes bytes to a file, replacing it.
void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);

// The folder of sample files made by other programs; empty when absent.
std::string corpusDir();

}  // namespace qvtest
