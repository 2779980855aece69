// The word-breaking tables' defaults and their storage in the control file
// (word_break_tables.h).
//
// Rules:
// - The four tables are packed end to end, 1024 bytes, and stored in the
//   200-byte areas of Control records 11..16 in order; the last record
//   holds the remaining 24 bytes.
// - Loading starts from the defaults, so a record that was never written
//   gives the default part of the tables, and one that cannot be read gives
//   the defaults of all four.
#include "services/word_break_tables.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "services/globals.h"
#include "services/settings.h"

namespace qv {

namespace {

void mark(std::array<uint8_t, 256>& t, std::initializer_list<int> codes, uint8_t v = 1) {
  for (int c : codes) t[size_t(c)] = v;
}
void markRange(std::array<uint8_t, 256>& t, int from, int to, uint8_t v = 1) {
  for (int c = from; c <= to; ++c) t[size_t(c)] = v;
}

constexpr uint8_t kFirstTableRecord = BlockWordTables;
constexpr int kTableRecords = 6;
constexpr size_t kTableBytes = 4 * 256;

// The four tables as the 1024 bytes kept in the control file.
std::array<uint8_t, kTableBytes> packTables() {
  std::array<uint8_t, kTableBytes> b{};
  const std::array<uint8_t, 256>* tables[] = {&IsJunkHash, &StartWordHash, &InWordHash, &EndWordHash};
  for (int i = 0; i < 4; ++i) std::memcpy(b.data() + i * 256, tables[i]->data(), 256);
  return b;
}
void unpackTables(const std::array<uint8_t, kTableBytes>& b) {
  std::array<uint8_t, 256>* tables[] = {&IsJunkHash, &StartWordHash, &InWordHash, &EndWordHash};
  for (int i = 0; i < 4; ++i) std::memcpy(tables[i]->data(), b.data() + i * 256, 256);
}

// The 200-byte area of record 11 + i within the packed tables.
std::array<uint8_t, 200> slice(const std::array<uint8_t, kTableBytes>& b, int i) {
  std::array<uint8_t, 200> s{};
  size_t from = size_t(i) * 200;
  size_t n = from + 200 <= kTableBytes ? 200 : kTableBytes - from;
  std::memcpy(s.data(), b.data() + from, n);
  return s;
}

}  // namespace

void setDefaultWordTables() {
  StartWordHash.fill(0);
  markRange(StartWordHash, 0, 47);
  markRange(StartWordHash, 59, 64);
  markRange(StartWordHash, 123, 126);
  mark(StartWordHash, {91, 93, 95, 96, 58, 133, 134, 135, 145, 146, 147, 148, 160, 180});

  InWordHash.fill(0);
  markRange(InWordHash, 0, 47);
  InWordHash[46] = 0;  // a full stop may stand inside a word
  markRange(InWordHash, 59, 64);
  mark(InWordHash, {91, 93, 96, 123, 124, 125, 133, 134, 135, 160, 180});

  EndWordHash = InWordHash;
  mark(EndWordHash, {46, 95, 58, 126, 124, 145, 146, 147, 148, 133, 134, 160, 180, 135, 91, 93, 123, 125, 96});

  IsJunkHash.fill(0);
  markRange(IsJunkHash, '0', '9', 1);
  mark(IsJunkHash, {45, 46, 43}, 1);
  markRange(IsJunkHash, 'A', 'F', 3);
  IsJunkHash['H'] = 3;
  mark(IsJunkHash, {':', 'X', 'P', 'M', '[', ']', 135, 160, 163, 180}, 2);
}

bool loadWordTables() {
  setDefaultWordTables();
  std::array<uint8_t, kTableBytes> packed = packTables();
  const std::array<uint8_t, kTableBytes> defaults = packed;
  for (int i = 0; i < kTableRecords; ++i) {
    std::array<uint8_t, 200> data{};
    bool created = false;
    if (!loadBlock(uint8_t(kFirstTableRecord + i), data, slice(defaults, i), created)) {
      // A record that is there but cannot be read: start again from the defaults.
      setDefaultWordTables();
      return false;
    }
    size_t from = size_t(i) * 200;
    size_t n = from + 200 <= kTableBytes ? 200 : kTableBytes - from;
    std::memcpy(packed.data() + from, data.data(), n);
  }
  unpackTables(packed);
  return true;
}

bool saveWordTables() {
  std::array<uint8_t, kTableBytes> packed = packTables();
  for (int i = 0; i < kTableRecords; ++i)
    if (!saveBlock(uint8_t(kFirstTableRecord + i), slice(packed, i))) return false;
  return true;
}

}  // namespace qv
