#include "services/text_match.h"

#include <cstddef>

#include "storage/fixedstr.h"

namespace qv {

bool DupString(std::string_view a, std::string_view b) {
  // The whole texts are compared, however long: two long messages that only
  // part after some fixed length are different messages, and taking them as
  // one would throw one of them away.
  a = trimRight(a);
  b = trimRight(b);
  std::string_view shorter = a.size() <= b.size() ? a : b;
  std::string_view longer = a.size() <= b.size() ? b : a;
  if (longer.compare(0, shorter.size(), shorter) != 0) return false;
  // The length difference is counted in characters, so a trailer in accented
  // letters counts as long as the same trailer in plain ones.
  size_t extra = 0;
  for (size_t i = shorter.size(); i < longer.size(); ++i)
    if ((static_cast<unsigned char>(longer[i]) & 0xC0) != 0x80) ++extra;
  return extra < 20;
}

void StripChar(int /*mode*/, std::string& line) {
  auto isControlCode = [](char c) { return c == 'b' || c == 'l'; };

  size_t end = line.size();
  while (end > 0) {
    char c = line[end - 1];
    if (c == '\r' || c == '\n') {
      --end;
    } else if (end >= 2 && line[end - 2] == '@' && isControlCode(c)) {
      end -= 2;
    } else {
      break;
    }
  }

  size_t start = 0;
  while (start < end) {
    char c = line[start];
    if (c == '\r' || c == '\n') {
      ++start;
    } else if (start + 1 < end && c == '@' && isControlCode(line[start + 1])) {
      start += 2;
    } else {
      break;
    }
  }

  line = line.substr(start, end - start);
}

}  // namespace qv
