// The posting driver's kept-back changes of one side of the index (a
// word's messages, or a message's words): one edit per list, held in a
// vector and found by the list's number through an open-addressing hash.
//
// Rules:
// - A reference to an edit stays good until the next add or erase.
// - The numbers in increasing order (ordered, after, before) are kept
//   sorted lazily: those added since the last sort are scanned while they
//   are few, and sorted in once they are many or the whole order is asked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv {

// A list changed since the last write to the file: `ids` is the whole list
// once loaded; `added` the numbers added since (written as a new segment
// unless the list is rewritten whole).
struct PostingEdit {
  std::vector<uint32_t> ids;
  std::vector<uint32_t> added;
  bool loaded = false;
  bool rewrite = false;
  bool grew = false;  // a message that received words: last in file order
  std::vector<uint32_t> stored;  // a message's words as the file holds them
  std::vector<uint32_t> tokens;  // a message's words in order, when given
  uint32_t tokensCut = 0;
  uint32_t tokensSubject = 0;  // how many of them are the subject's (whole sequences)
  bool tokensSet = false;
  bool tokensWhole = false;  // text-word numbers of subject and text, not the older form
};

class PostingEdits {
 public:
  // The edit of list `id`, or null.
  PostingEdit* find(uint32_t id);
  bool contains(uint32_t id) const { return indexOf(id) != kNone; }
  // The edit of list `id`, made empty when it has none; `made` tells which.
  PostingEdit& at(uint32_t id, bool& made);
  void erase(uint32_t id);
  bool empty() const { return items_.empty(); }
  void clear();

  // The numbers of the edits in increasing order.
  const std::vector<uint32_t>& ordered();
  // The least number above `id` (after) or the greatest below it (before);
  // false when there is none.
  bool after(uint32_t id, uint32_t& out);
  bool before(uint32_t id, uint32_t& out);

 private:
  static constexpr uint32_t kNone = UINT32_MAX;
  struct Item {
    uint32_t id;
    PostingEdit edit;
  };
  uint32_t indexOf(uint32_t id) const;
  size_t slotOf(uint32_t id) const;
  void place(uint32_t n);
  static uint32_t itemOf(uint64_t slot) { return uint32_t(slot) - 1; }
  static uint32_t idOf(uint64_t slot) { return uint32_t(slot >> 32); }
  void grow();
  void unslot(size_t s);
  size_t slotHolding(uint32_t id) const;
  void sortIn();

  std::vector<Item> items_;
  // Per slot the list's number (high half) and its item's index + 1 (low
  // half, 0 for a free slot): a probe reads no item.
  std::vector<uint64_t> slots_;
  std::vector<uint32_t> sorted_;   // numbers in increasing order
  std::vector<uint32_t> recent_;   // numbers added since, in no order
};

}  // namespace qv
