// What a look-up walk reads: one keyed file, the key of each sort order,
// and how a record of it becomes a list entry. The sources of the look-up
// lists are defined in lookup_sources.cpp; a caller with a file of its own
// may define one too.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "services/lookup_walk.h"
#include "storage/file.h"

namespace qv {

struct KeyedSource {
  std::vector<int> files;  // file numbers the walk holds open
  File* file = nullptr;    // the file walked
  std::function<Key(int order)> key;
  // The entry of the record in the file's buffer (pos is filled in by the walk).
  std::function<LookupEntry()> entry;
  // Puts the key value of a text into the buffer (cleared first) and
  // returns how many leading key components it set; 0 positions nothing.
  std::function<int(int order, const std::string& text)> seekText;
  // Reads the record of an ID into the buffer; false when there is none.
  std::function<bool(uint32_t id)> readId;
};

}  // namespace qv
