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

// The look-up walks of the open database. Sort order 0 is the first named.
//
// GP_THREAD: threads by heading; columns heading, messages; the ID is
// THR:THREADNUMBER.
std::shared_ptr<LookupWalk> threadWalk();
// GP_SECTION: sections by number; columns "04 Name", messages; a text
// positions by the section number it begins with; the ID is SEC:SECSYSID.
std::shared_ptr<LookupWalk> sectionWalk();
// GP_ANS: persons by name or by address; columns "Last, First", address,
// sent, received; a text positions by "Last, First" as written, else by
// the name split as a sender's name is split; the ID is PER:PERSONID.
std::shared_ptr<LookupWalk> personPickWalk();
// BROWSEPERSON: persons by last name or by address; columns the name as
// the person windows show it, address, sent, received; a text positions by
// the start of the last name or of the address.
std::shared_ptr<LookupWalk> personListWalk();
// GP_WORDLIST and the word list: indexed words by word or by the number of
// messages holding them; columns word, messages; a text positions by the
// word (as the index spells it) or by the number.
std::shared_ptr<LookupWalk> wordWalk();

// The orders of the person walks and of the word walk.
enum PersonWalkOrder : int { PersonByName = 0, PersonByAddress = 1 };
enum WordWalkOrder : int { WordByWord = 0, WordByCount = 1 };

}  // namespace qv
