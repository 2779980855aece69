#include "driver/memo_text.h"

#include "driver/table_check.h"

namespace dbf {

struct MemoReader::State {
  std::string path;
};

MemoReader::MemoReader(const std::string& tablePath, const TableInfo& info) : state_(std::make_unique<State>()) {
  state_->path = findMemoFile(tablePath, info.memo);
}

MemoReader::~MemoReader() = default;

std::string MemoReader::text(const FieldDef&, uint32_t block) {
  if (state_->path.empty()) return "[memo file missing; block " + std::to_string(block) + "]";
  return "[memo at block " + std::to_string(block) + "]";
}

}  // namespace dbf
