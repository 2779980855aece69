#include "import/import_settings.h"

namespace qv {

std::vector<std::string> ImportSettings::splitMasks(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(';', start);
    std::string part = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    while (!part.empty() && part.front() == ' ') part.erase(0, 1);
    while (!part.empty() && part.back() == ' ') part.pop_back();
    if (!part.empty()) out.push_back(part);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return out;
}

std::string ImportSettings::joinMasks(const std::vector<std::string>& masks) {
  std::string text;
  for (const std::string& m : masks) text += (text.empty() ? "" : ";") + m;
  return text;
}

}  // namespace qv
