// The posting driver's kept-back changes (storage/posting_edits.h): linear
// probing over a power-of-two array of slots kept at most half full, with
// backward-shift deletion so that no slot is ever left marked as deleted.
#include "storage/posting_edits.h"

#include <algorithm>
#include <cmath>

namespace qv {

namespace {
// Slots of a table's first array.
constexpr size_t kFirstSlots = 256;
// Numbers added out of order that a look-up scans before they are sorted in.
constexpr size_t kScanned = 64;

uint32_t mix(uint32_t h) {
  h ^= h >> 16;
  h *= 0x85EBCA6Bu;
  h ^= h >> 13;
  h *= 0xC2B2AE35u;
  h ^= h >> 16;
  return h;
}
}  // namespace

size_t PostingEdits::slotOf(uint32_t id) const { return mix(id) & (slots_.size() - 1); }

uint32_t PostingEdits::indexOf(uint32_t id) const {
  if (slots_.empty()) return kNone;
  const size_t mask = slots_.size() - 1;
  for (size_t s = slotOf(id);; s = (s + 1) & mask) {
    const uint64_t slot = slots_[s];
    if (slot == 0) return kNone;
    if (idOf(slot) == id) return itemOf(slot);
  }
}

PostingEdit* PostingEdits::find(uint32_t id) {
  uint32_t n = indexOf(id);
  return n == kNone ? nullptr : &items_[n].edit;
}

PostingEdit& PostingEdits::at(uint32_t id, bool& made) {
  uint32_t n = indexOf(id);
  made = n == kNone;
  if (!made) return items_[n].edit;
  if ((items_.size() + 1) * 2 > slots_.size()) grow();
  items_.push_back(Item{id, PostingEdit()});
  place(uint32_t(items_.size() - 1));
  if (recent_.empty() && (sorted_.empty() || id > sorted_.back()))
    sorted_.push_back(id);
  else
    recent_.push_back(id);
  return items_.back().edit;
}

void PostingEdits::place(uint32_t n) {
  const size_t mask = slots_.size() - 1;
  const uint32_t id = items_[n].id;
  size_t s = slotOf(id);
  while (slots_[s] != 0) s = (s + 1) & mask;
  slots_[s] = (uint64_t(id) << 32) | (n + 1);
}

void PostingEdits::grow() {
  slots_.assign(slots_.empty() ? kFirstSlots : slots_.size() * 2, 0);
  for (uint32_t n = 0; n < items_.size(); ++n) place(n);
}

// Frees slot `s`, moving back the entries after it that probed past it.
void PostingEdits::unslot(size_t s) {
  const size_t mask = slots_.size() - 1;
  size_t hole = s;
  for (size_t j = (hole + 1) & mask; slots_[j] != 0; j = (j + 1) & mask) {
    size_t home = slotOf(idOf(slots_[j]));
    bool stays = hole <= j ? (hole < home && home <= j) : (hole < home || home <= j);
    if (!stays) {
      slots_[hole] = slots_[j];
      hole = j;
    }
  }
  slots_[hole] = 0;
}

// The slot that holds list `id`, which has an edit.
size_t PostingEdits::slotHolding(uint32_t id) const {
  const size_t mask = slots_.size() - 1;
  size_t s = slotOf(id);
  while (idOf(slots_[s]) != id || slots_[s] == 0) s = (s + 1) & mask;
  return s;
}

void PostingEdits::erase(uint32_t id) {
  uint32_t n = indexOf(id);
  if (n == kNone) return;
  unslot(slotHolding(id));
  uint32_t last = uint32_t(items_.size() - 1);
  if (n != last) {
    // The last item takes the erased one's place in the vector.
    uint32_t moved = items_[last].id;
    slots_[slotHolding(moved)] = (uint64_t(moved) << 32) | (n + 1);
    items_[n] = std::move(items_[last]);
  }
  items_.pop_back();
  auto r = std::find(recent_.begin(), recent_.end(), id);
  if (r != recent_.end()) {
    recent_.erase(r);
  } else {
    auto o = std::lower_bound(sorted_.begin(), sorted_.end(), id);
    if (o != sorted_.end() && *o == id) sorted_.erase(o);
  }
}

void PostingEdits::clear() {
  items_.clear();
  slots_.clear();
  sorted_.clear();
  recent_.clear();
}

void PostingEdits::sortIn() {
  if (recent_.empty()) return;
  std::sort(recent_.begin(), recent_.end());
  size_t mid = sorted_.size();
  sorted_.insert(sorted_.end(), recent_.begin(), recent_.end());
  std::inplace_merge(sorted_.begin(), sorted_.begin() + std::ptrdiff_t(mid), sorted_.end());
  recent_.clear();
}

const std::vector<uint32_t>& PostingEdits::ordered() {
  sortIn();
  return sorted_;
}

// A look-up scans the unsorted numbers while they are fewer than about the
// square root of the sorted ones: a walk that alternates with additions
// then costs that much a step rather than a sort.
bool PostingEdits::after(uint32_t id, uint32_t& out) {
  if (recent_.size() > kScanned + size_t(std::sqrt(double(sorted_.size())))) sortIn();
  bool found = false;
  auto it = std::upper_bound(sorted_.begin(), sorted_.end(), id);
  if (it != sorted_.end()) found = true, out = *it;
  for (uint32_t r : recent_)
    if (r > id && (!found || r < out)) found = true, out = r;
  return found;
}

bool PostingEdits::before(uint32_t id, uint32_t& out) {
  if (recent_.size() > kScanned + size_t(std::sqrt(double(sorted_.size())))) sortIn();
  bool found = false;
  auto it = std::lower_bound(sorted_.begin(), sorted_.end(), id);
  if (it != sorted_.begin()) found = true, out = *std::prev(it);
  for (uint32_t r : recent_)
    if (r < id && (!found || r > out)) found = true, out = r;
  return found;
}

}  // namespace qv
