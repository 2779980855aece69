// Merging person records: the merge list the user fills, and the merge that
// moves every message and alias of the listed persons to the kept one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qv {

inline constexpr const char* kMergeKeep = "Keep";
inline constexpr const char* kMergeMerge = "Merge";

struct MergeEntry {
  bool keep = false;         // "Keep" (the kept person) or "Merge"
  std::string name;          // display name; the first name when there is no last name
  std::string address;       // PER:ADDRESS
  uint32_t personId = 0;
  std::string lastName;      // PER:LASTNAME
  std::string personString;  // PER:PERSONSTRING
  const char* action() const { return keep ? kMergeKeep : kMergeMerge; }
};

// One entry per person. While the list is not empty exactly one entry is
// kept: the first one added, or the one chosen with keep().
class MergeList {
 public:
  enum class Added { Added, NotFound, Listed };
  // Adds the person of an ID (read from Person of the current database).
  Added add(uint32_t personId);
  // The entry at `index` becomes the kept one; the others are merged.
  void keep(size_t index);
  // Removes an entry; when it was the kept one, the first remaining is kept.
  void remove(size_t index);
  // Removes the entry of a person, when listed.
  void removePerson(uint32_t personId);

  const std::vector<MergeEntry>& entries() const { return entries_; }
  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  // The ID of the kept person; 0 when the list is empty.
  uint32_t keptId() const;
  // Merging needs two entries or more.
  bool canMerge() const { return entries_.size() >= 2; }

 private:
  std::vector<MergeEntry> entries_;
};

struct MergeResult {
  // Every entry was handled (the mailbox owner may have stayed); false when
  // the merge ended early (kept person gone, locks, a failed write).
  bool completed = false;
  std::vector<uint32_t> merged;  // the persons merged into the kept one, in list order
  bool ownerStayed = false;      // the mailbox owner was listed to be merged and stayed
};

// Merges every "Merge" entry into the kept person of the current database,
// each in a transaction of its own that moves its messages and aliases,
// makes its person string an alias of the kept person, deletes it and
// recounts the kept person's messages. The mailbox owner is never merged
// away ("You are not allowed to change the MailBox owner default address!").
MergeResult mergePersons(const MergeList& list);

}  // namespace qv
