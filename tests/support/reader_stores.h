// Other readers' message stores written as those readers write them, for
// tests that import them: the store's table created through its declaration
// and the DBF driver ("FoxPro", which the test registers), with the column
// types the readers use (numbers N with their widths, the trailing flags L),
// and its records appended through the driver.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "storage/file.h"

namespace qvtest {

struct StoreRecord {
  std::map<std::string, std::string> columns;  // texts by column name; numbers as digits, dates YYYYMMDD
  bool deleted = false;    // marked deleted after it was written
  bool memoGone = false;   // its first memo points past the end of the memo file: the record cannot be read
};

// Writes `records` into a new table at `path` holding the first `columns`
// fields of the store's declaration (0: all of them). False with the
// keyed-file layer's error when the driver refused.
bool writeStoreTable(qv::File& store, const std::string& path, const std::vector<StoreRecord>& records,
                     size_t columns = 0);

}  // namespace qvtest
