#include "export/export_names.h"

#include "services/globals.h"
#include "services/prompt.h"

namespace qv {

bool checkOutputFile(const std::string& path) {
  std::string problem = outputFileProblem(path);
  if (problem.empty()) return true;
  Message(problem, "Filename error", Icon::Exclamation);
  return false;
}

std::string exportNameProblem(const std::string& name) {
  if (name.find('/') != std::string::npos || name.find('\\') != std::string::npos ||
      name.find("..") != std::string::npos)
    return "Do not include the path, just the filename!";
  if (name.empty() || name == ".") return "Please enter a file name.";
  for (unsigned char c : name)
    if (c < 32 || c == 127) return "A file name cannot hold control characters.";
  if (name.size() > kExportNameMax)
    return "A file name can have at most " + std::to_string(kExportNameMax) + " characters.";
  return outputFileProblem(exportPath(name));
}

bool checkExportName(const std::string& name) {
  std::string problem = exportNameProblem(name);
  if (problem.empty()) return true;
  Message(problem, "Filename error", Icon::Exclamation);
  return false;
}

std::string exportPath(const std::string& name) { return joinPath({Mem.TempDir, name}); }

}  // namespace qv
