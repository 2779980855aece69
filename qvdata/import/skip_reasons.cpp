#include "import/skip_reasons.h"

#include <algorithm>
#include <utility>

namespace qv {

std::vector<std::string> skipReasonLines(const std::map<std::string, int64_t>& reasons) {
  std::vector<std::pair<std::string, int64_t>> sorted(reasons.begin(), reasons.end());
  std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
  std::vector<std::string> lines;
  for (const auto& [reason, count] : sorted) lines.push_back(reason + ": " + std::to_string(count));
  return lines;
}

}  // namespace qv
