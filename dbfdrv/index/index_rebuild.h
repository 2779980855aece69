// Rebuilding an index from all records: keys read in record order, sorted
// in memory runs written to temporary files and merged, then the tree built
// level by level. A single index file is built under a temporary name and
// then replaces the old file.
#pragma once

#include <string>

#include "expr/record_access.h"
#include "index/compound_index.h"
#include "index/index_key.h"

namespace dbf {

// Bytes of (key, record) pairs sorted in memory at a time; runs are halved
// when memory is short, down to four pages.
constexpr std::size_t kSortRunBytes = 65000;
constexpr std::size_t kMinSortRunBytes = 4 * kIndexPageSize;

// The records a rebuild reads, by number from 1 to count().
class RecordSource {
 public:
  virtual ~RecordSource() = default;
  virtual uint32_t count() const = 0;
  virtual int read(uint32_t number, const RecordAccess*& out) = 0;
};

// Builds the tree again from every record: records the filter refuses are
// skipped, and in a unique tree every record whose key is present already.
// Run files "STKSn.TMP" are made in workDir and removed.
int rebuildTree(IndexTree& tree, const KeyDefinition& def, RecordSource& records, const std::string& workDir,
                std::size_t runBytes = kSortRunBytes);

// Rebuilds a single index file: a new file under the temporary name, then
// the old file deleted and the new one moved to its name and reopened.
int rebuildSingleIndex(SingleIndex& index, const std::string& path, const KeyDefinition& def, RecordSource& records,
                       const IndexOpenOptions& options, const std::string& workDir);

}  // namespace dbf
