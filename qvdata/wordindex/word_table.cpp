// The indexing run's word table (wordindex/word_table.h): linear probing
// over a power-of-two array of slots, kept at most half full.
#include "wordindex/word_table.h"

#include <functional>

namespace qv::indexing {

namespace {
// Slots of a table's first array.
constexpr size_t kFirstSlots = 1024;
}  // namespace

WordTable::Hash WordTable::hashOf(std::string_view word) {
  uint64_t h = std::hash<std::string_view>{}(word);
  return Hash(h ^ (h >> 32));
}

uint32_t WordTable::find(std::string_view word, Hash h) const {
  if (slots_.empty()) return kNone;
  const size_t mask = slots_.size() - 1;
  for (size_t s = h & mask;; s = (s + 1) & mask) {
    const uint64_t slot = slots_[s];
    if (slot == 0) return kNone;
    if (Hash(slot >> 32) != h) continue;
    const Item& it = items_[uint32_t(slot) - 1];
    if (std::string_view(bytes_.data() + it.at, it.size) == word) return uint32_t(slot) - 1;
  }
}

uint32_t WordTable::add(std::string_view word, Hash h, const WordEntry& e) {
  if ((items_.size() + 1) * 2 > slots_.size()) grow();
  Item it;
  it.entry = e;
  it.at = uint32_t(bytes_.size());
  it.size = uint32_t(word.size());
  bytes_.append(word);
  items_.push_back(it);
  uint32_t n = uint32_t(items_.size() - 1);
  place(n, h);
  return n;
}

void WordTable::place(uint32_t n, Hash h) {
  const size_t mask = slots_.size() - 1;
  size_t s = h & mask;
  while (slots_[s] != 0) s = (s + 1) & mask;
  slots_[s] = (uint64_t(h) << 32) | (n + 1);
}

void WordTable::grow() {
  std::vector<uint64_t> before(slots_.empty() ? kFirstSlots : slots_.size() * 2, 0);
  before.swap(slots_);
  for (uint64_t slot : before)
    if (slot != 0) place(uint32_t(slot) - 1, Hash(slot >> 32));
}

void WordTable::clear() {
  bytes_.clear();
  items_.clear();
  slots_.clear();
}

}  // namespace qv::indexing
