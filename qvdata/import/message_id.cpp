#include "import/message_id.h"

#include <cstdint>
#include <cstdio>

#include "storage/fixedstr.h"

namespace qv {

std::string messageIdKey(const std::string& raw) {
  std::string id(trimRight(raw));
  while (!id.empty() && id.front() == ' ') id.erase(0, 1);
  if (id.size() <= 60) return id;
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : id) {
    h ^= c;
    h *= 1099511628211ull;
  }
  char hex[16];
  std::snprintf(hex, sizeof hex, "%012llx", static_cast<unsigned long long>(h & 0xFFFFFFFFFFFFull));
  return id.substr(0, utf8CutLength(id, 47)) + "~" + hex;
}

}  // namespace qv
