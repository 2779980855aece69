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
  // The memo's bytes (a text without its trailing blanks; `raw` for binary
  // data); an engine status.
  int read(uint32_t block, std::string& text, bool& raw);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace dbf
