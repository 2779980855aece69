// Records held in memory, handed to an index rebuild or check in order.
#pragma once

#include <vector>

#include "index/index_rebuild.h"
#include "memory_record.h"
#include "table/engine_status.h"

namespace dbftest {

class MemoryRecords : public dbf::RecordSource {
 public:
  std::vector<MemoryRecord> rows;
  uint32_t count() const override { return static_cast<uint32_t>(rows.size()); }
  int read(uint32_t n, const dbf::RecordAccess*& out) override {
    out = &rows[n - 1];
    return dbf::StatusOk;
  }
};

}  // namespace dbftest
