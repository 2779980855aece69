// A reader's DBF table in memory, as the store reader's record source: rows
// in physical order, some of them deleted (passed over) or unreadable.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "import/parsers/dbf_store_reader.h"

namespace qvtest {

class MemoryTable : public qv::dbfstore::RecordSource {
 public:
  struct Entry {
    qv::dbfstore::DbfRow row;
    bool bad = false;
    bool deleted = false;
  };
  explicit MemoryTable(std::vector<Entry> entries) : entries_(std::move(entries)) {}
  int64_t recordCount() override { return int64_t(entries_.size()); }
  Read next(qv::dbfstore::DbfRow& row) override {
    while (position_ < recordCount()) {
      const Entry& e = entries_[size_t(position_)];
      if (e.bad) return Read::Error;
      ++position_;
      if (e.deleted) continue;
      row = e.row;
      return Read::Record;
    }
    return Read::End;
  }
  int64_t position() override { return position_; }
  void passBad() override { ++position_; }

 private:
  std::vector<Entry> entries_;
  int64_t position_ = 0;
};

}  // namespace qvtest
