// The walks behind the look-up lists: one keyed file in one of its sort
// orders, read a page at a time around a place, so that a list over many
// thousands of records reads only the rows it shows. A walk holds its files
// open for as long as it lives, and every call leaves the file's record
// buffer as it found it, so a walk may run between the reads of any other
// procedure.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "services/file_scope.h"

namespace qv {

// One record as a look-up list shows it.
struct LookupEntry {
  uint32_t id = 0;                 // what the list returns
  int64_t pos = 0;                 // the record's stored position, from which a walk goes on
  std::vector<std::string> texts;  // one per column, uncut
  int status = 0;                  // 0 normal, 1 keep, 2 delete
};

struct KeyedSource;  // services/keyed_walk.h

class LookupWalk {
 public:
  // Opens the source's files; they stay open until the walk goes.
  explicit LookupWalk(KeyedSource source);
  ~LookupWalk();
  LookupWalk(const LookupWalk&) = delete;
  LookupWalk& operator=(const LookupWalk&) = delete;

  // How many records the file holds.
  int64_t records() const;
  // Up to n entries after (forward) or before the record at `pos` in sort
  // order `order`, nearest first; pos 0 walks from the start (forward) or
  // the end (backward). reachedEnd: the walk ran out of records.
  std::vector<LookupEntry> walk(int order, int64_t pos, int n, bool forward, bool& reachedEnd) const;
  // The entry of the record at a stored position; false when there is none.
  bool entryAt(int64_t pos, LookupEntry& out) const;
  // The stored position of the first record at or after a text in sort
  // order `order`; 0 when the text positions nothing, with `past` set when
  // it sorts after every record.
  int64_t seek(int order, const std::string& text, bool& past) const;
  // The entry of the record with an ID; false when there is none.
  bool entryOfId(uint32_t id, LookupEntry& out) const;

 private:
  std::unique_ptr<KeyedSource> source_;
  FileScope files_;
};

}  // namespace qv
