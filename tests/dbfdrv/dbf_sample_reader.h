// Reads the records of a sample table for the corpus index tests: the field
// descriptors and each record's bytes, with nothing of the driver's checks.
#pragma once

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "memory_record.h"

namespace dbftest {

inline std::vector<MemoryRecord> readSampleTable(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<MemoryRecord> out;
  if (b.size() < 32) return out;
  auto u = [&](std::size_t at, int n) {
    unsigned v = 0;
    for (int i = n - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
    return v;
  };
  unsigned count = u(4, 4), headerLength = u(8, 2), recordLength = u(10, 2);
  struct Field { std::string name; char type; unsigned offset, length; };
  std::vector<Field> fields;
  unsigned offset = 1;
  for (std::size_t at = 32; at + 32 <= headerLength && b[at] != '\r'; at += 32) {
    std::string name = b.substr(at, 11);
    name = name.substr(0, name.find('\0'));
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    unsigned length = static_cast<unsigned char>(b[at + 16]);
    fields.push_back({name, b[at + 11], offset, length});
    offset += length;
  }
  for (unsigned r = 0; r < count; ++r) {
    std::size_t at = headerLength + static_cast<std::size_t>(r) * recordLength;
    if (at + recordLength > b.size()) break;
    MemoryRecord rec;
    rec.number = r + 1;
    rec.isDeleted = b[at] == '*';
    for (const Field& f : fields) rec.set(f.name, f.type, b.substr(at + f.offset, f.length));
    out.push_back(rec);
  }
  return out;
}

}  // namespace dbftest
