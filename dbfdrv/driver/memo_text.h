// Memo texts of a table for showing them: the memo file beside the table,
// read block by block.
#pragma once

#include <memory>
#include <string>

#include "table/table.h"

namespace dbf {

class MemoReader {
 public:
  MemoReader(const std::string& tablePath, const TableInfo& info);
  ~MemoReader();
  MemoReader(const MemoReader&) = delete;
  MemoReader& operator=(const MemoReader&) = delete;
  // The memo at a block, or a bracketed note when it cannot be read.
  std::string text(const FieldDef& field, uint32_t block);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace dbf
