// The indexing run's table of the words it has met: each distinct word once,
// its bytes in one arena, its entry in a vector in the order the words were
// first met, found through an open-addressing hash of the word computed once
// per word cut from a text.
//
// Rules:
// - An entry, once added, keeps its number (its place in the vector) until
//   the table is cleared; entries are never removed.
// - The hash of a word is hashOf(word); find and add take it so that the
//   caller computes it once for both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv::indexing {

struct WordEntry {
  int32_t id = 0;
  int32_t count = 0;
  int32_t stored = 0;     // the count as last written to WordList
  int64_t pos = 0;        // stored position in WordList; 0 while not written
  uint32_t lastMsg = 0;   // the message that counted it last (a run-local number)
  uint32_t textId = 0;    // its number among the occurrence file's text words; 0 until asked
  bool dirty = false;
  bool stop = false;      // a stop word, or moved to the stop list: only textId counts
};

class WordTable {
 public:
  using Hash = uint32_t;
  static constexpr uint32_t kNone = UINT32_MAX;

  static Hash hashOf(std::string_view word);

  // The number of the entry of `word` (hashed to `h`); kNone when it has none.
  uint32_t find(std::string_view word, Hash h) const;
  // Adds an entry for `word`, which has none; its number.
  uint32_t add(std::string_view word, Hash h, const WordEntry& e);

  WordEntry& entry(uint32_t n) { return items_[n].entry; }
  const WordEntry& entry(uint32_t n) const { return items_[n].entry; }
  std::string_view word(uint32_t n) const { return {bytes_.data() + items_[n].at, items_[n].size}; }
  // Entries numbered 0 to size() - 1.
  uint32_t size() const { return uint32_t(items_.size()); }
  void clear();

 private:
  struct Item {
    WordEntry entry;
    uint32_t at = 0;    // its word's first byte in bytes_
    uint32_t size = 0;  // and its length
  };
  void grow();
  void place(uint32_t n, Hash h);

  std::string bytes_;
  std::vector<Item> items_;
  // Per slot the entry's hash (high half) and its number + 1 (low half, 0
  // for a free slot): a probe reads the entries of its own hash only.
  std::vector<uint64_t> slots_;
};

}  // namespace qv::indexing
