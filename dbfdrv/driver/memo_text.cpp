#include "driver/memo_text.h"

#include "driver/table_check.h"
#include "memo/memo_field.h"
#include "memo/memo_file.h"

namespace dbf {

namespace {

// The longest memo shown.
constexpr size_t kShownMemo = 1 << 20;

}  // namespace

struct MemoReader::State {
  MemoFile memo;
  int status = ErrFileNotFound;
};

MemoReader::MemoReader(const std::string& tablePath, const TableInfo& info) : state_(std::make_unique<State>()) {
  std::string path = findMemoFile(tablePath, info.memo);
  if (!path.empty())
    state_->status = memoOpen(state_->memo, path, info.memo == TableMemo::Fpt ? MemoKind::Fpt : MemoKind::Dbt,
                              MemoAccess::ReadOnly);
}

MemoReader::~MemoReader() {
  if (state_->memo.isOpen()) memoClose(state_->memo);
}

std::string MemoReader::text(const FieldDef&, uint32_t block) {
  if (state_->status < 0) return "[memo file: " + std::string(statusText(state_->status)) + "]";
  MemoData data;
  int st = memoRead(state_->memo, block, kShownMemo, data);
  if (st < 0) return "[memo at block " + std::to_string(block) + ": " + statusText(st) + "]";
  if (data.raw()) return "[" + std::to_string(data.bytes.size()) + " bytes of binary data]";
  return std::string(memoStoredText(data.bytes, false));
}

int MemoReader::read(uint32_t block, std::string& text, bool& raw) {
  if (state_->status < 0) return state_->status;
  MemoData data;
  int st = memoRead(state_->memo, block, kShownMemo, data);
  if (st < 0) return st;
  raw = data.raw();
  text = raw ? data.bytes : std::string(memoStoredText(data.bytes, false));
  return StatusOk;
}

}  // namespace dbf
