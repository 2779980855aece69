#include "services/globals.h"

namespace qv {

MemState Mem;
std::string FileName;
std::string FileTmpName;
std::string MasIdxPath;
int GlobalRequest = 0;
int GlobalResponse = 0;
int32_t VCRRequest = 0;
uint8_t IndexingInProgress = 0;
std::array<uint8_t, 256> IsJunkHash{}, StartWordHash{}, InWordHash{}, EndWordHash{};

std::string joinPath(std::initializer_list<std::string> parts) {
  std::string out;
  for (const std::string& p : parts) {
    size_t n = p.size();
    while (n > 0 && p[n - 1] == ' ') --n;
    std::string_view part(p.data(), n);
    if (part.empty()) continue;
    if (!out.empty() && out.back() != '/') out += '/';
    if (!out.empty() && part.front() == '/') part.remove_prefix(1);
    out += part;
  }
  return out;
}

}  // namespace qv
