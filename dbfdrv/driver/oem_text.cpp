#include "driver/oem_text.h"

#include <map>
#include <mutex>

#include "mime/charset.h"

namespace dbf {

namespace {

constexpr const char* kOemCharset = "IBM437";

// UTF-8 text of each code page byte from 0x80 up, decoded once.
const std::map<std::string, char>& reverseTable() {
  static std::map<std::string, char> table;
  static std::once_flag once;
  std::call_once(once, [] {
    for (int c = 0x80; c <= 0xFF; ++c) {
      std::string one(1, char(c));
      table.emplace(qv::mime::decodeText(one, kOemCharset), char(c));
    }
  });
  return table;
}

}  // namespace

std::string oemToUtf8(const std::string& oem) { return qv::mime::decodeText(oem, kOemCharset); }

std::string utf8ToOem(const std::string& utf8) {
  const auto& table = reverseTable();
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      out += char(c);
      ++i;
      continue;
    }
    size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    auto it = table.find(utf8.substr(i, n));
    out += it != table.end() ? it->second : '?';
    i += n;
  }
  return out;
}

}  // namespace dbf
