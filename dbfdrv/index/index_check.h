// What the command line shows of a table's indexes: the tags of an index
// file with their expressions and key counts, the records in a tag's order,
// and a check that every tag holds exactly the keys of the records.
#pragma once

#include <string>
#include <vector>

#include "index/index_rebuild.h"

namespace dbf {

struct TagReport {
  std::string name;  // the tag; empty for a single index file
  std::string keyExpression;
  std::string forExpression;
  int keyLength = 0;
  bool unique = false;
  bool descending = false;
  uint64_t keys = 0;
};

// The structural compound index of a table: its name with the extension
// ".CDX" in any letter case; empty when there is none.
std::string structuralIndexPath(const std::string& tablePath);

// The tags of a compound file, or the one tree of a single index file.
int describeIndexFile(const std::string& path, std::vector<TagReport>& out);

// The record numbers of a tag (empty name: a single index file) in its order.
int tagRecordOrder(const std::string& path, const std::string& tag, std::vector<uint32_t>& records);

// Checks every tag of an index file against the records: the tree sound and
// in order, and its entries exactly the keys of the records its filter
// admits (a unique tag: each key once, on a record that has it). Each fault
// is one line of text; notes name tags that were not compared (keys of an
// encoding this driver does not make, such as other writers' binary
// integers).
int checkIndexFile(const std::string& path, RecordSource& records, std::vector<std::string>& faults,
                   std::vector<std::string>& notes);

}  // namespace dbf
