// The indexes of a table for qvcli dbf: its tags, its records in a tag's
// order, and the check of every tag against the records.
#pragma once

#include <string>
#include <vector>

namespace qvcli {

// --tags: the tags of the table's compound index with their expressions,
// filters and key counts.
int showDbfTags(const std::string& tablePath);
// The record numbers in the order of a tag of the table's compound index;
// false (with the failure told) when there is no such tag.
bool dbfTagOrder(const std::string& tablePath, const std::string& tag, std::vector<uint32_t>& order);
// --check: every tag holds exactly the keys of the table's records; answers
// the number of faults told.
int checkDbfIndexes(const std::string& tablePath, int handle);

}  // namespace qvcli
