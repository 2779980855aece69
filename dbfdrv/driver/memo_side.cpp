// The memo side of the driver over the memo-file module: memos loaded after
// each read, written before the record, compacted after a pack.
#include <vector>

#include "driver/ops.h"
#include "memo/memo_field.h"
#include "memo/memo_file.h"
#include "memo/memo_pack.h"

namespace dbf {

namespace {

MemoKind kindOf(const FileBlock& b) {
  const TableInfo* info = tableInfo(b.handle);
  if (info && info->memo != TableMemo::None) return info->memo == TableMemo::Fpt ? MemoKind::Fpt : MemoKind::Dbt;
  return b.dialect == DialectFoxBase ? MemoKind::Dbt : MemoKind::Fpt;
}

class FileMemoSide : public MemoSide {
 public:
  int open(FileBlock& b) override {
    const TableInfo* info = tableInfo(b.handle);
    MemoAccess access = info->readOnly ? MemoAccess::ReadOnly : info->shared ? MemoAccess::Shared : MemoAccess::Exclusive;
    int st = memoOpen(memo_, b.memoPath, kindOf(b), access);
    if (st == ErrFileNotFound) return layerError(b, LayerMemoMissing, "memo file " + b.memoPath + " missing");
    return engineResult(b, st);
  }
  int create(FileBlock& b) override {
    uint32_t size = 0;
    if (int st = memoBlockSize(b.memoFactor, size); st < 0) return engineResult(b, st);
    return engineResult(b, memoCreate(b.memoPath, kindOf(b), size));
  }
  void close(FileBlock&) override {
    if (memo_.isOpen()) memoClose(memo_);
  }
  int read(FileBlock& b, uint32_t block, size_t maxLen, std::string& text, bool& raw) override {
    MemoData data;
    int st = memoRead(memo_, block, maxLen, data);
    if (st < 0) return engineResult(b, st);
    raw = data.raw();
    text = std::string(memoStoredText(data.bytes, raw));
    return LayerOk;
  }
  int write(FileBlock& b, uint32_t block, const std::string& text, bool raw, uint32_t& newBlock) override {
    return engineResult(b, memoStore(memo_, text, raw, block, block != 0, newBlock));
  }
  int writable(FileBlock& b) override {
    if (!memo_.isOpen()) return engineResult(b, ErrInvalidHandleNumber);
    if (memo_.access == MemoAccess::ReadOnly) return engineResult(b, ErrFileOpenForReadingOnly);
    int st = memoAppendable(memo_);
    if (st < 0) {
      engineResult(b, st);
      b.detail += ": " + b.memoPath;
      return fileLayerNumber(st);
    }
    return LayerOk;
  }
  int pack(FileBlock& b) override {
    const TableInfo* info = tableInfo(b.handle);
    MemoPack pack;
    if (int st = memoPackBegin(memo_, pack); st < 0) return engineResult(b, st);
    // the records with their memos' new blocks, written once the new memo
    // file has taken the old one's place
    std::vector<std::pair<uint32_t, std::string>> changed;
    std::string rec;
    int st = StatusOk;
    // every memo field of the table, also those the declaration leaves out:
    // their blocks move as well
    std::vector<const FieldDef*> memoFields;
    for (const FieldDef& f : info->fields)
      if (f.type == 'M') memoFields.push_back(&f);
    for (uint32_t n = 1; st >= 0 && n <= info->records; ++n) {
      st = tableRead(b.handle, n, rec);
      if (st < 0) break;
      bool any = false;
      for (const FieldDef* fp : memoFields) {
        const FieldDef& f = *fp;
        uint32_t block = memoBlockOf(rec, f);
        if (!block) continue;
        uint32_t fresh = 0;
        st = memoPackCopy(memo_, pack, block, fresh);
        if (st < 0) break;
        setMemoBlock(rec, f, fresh);
        any = true;
      }
      if (any && st >= 0) changed.emplace_back(n, rec);
    }
    if (st < 0) {
      memoPackAbort(pack);
      return engineResult(b, st);
    }
    if ((st = memoPackFinish(memo_, pack)) < 0) return engineResult(b, st);
    for (const auto& [n, image] : changed)
      if ((st = tableWrite(b.handle, n, image)) < 0) return engineResult(b, st);
    return LayerOk;
  }

 private:
  MemoFile memo_;
};

}  // namespace

std::unique_ptr<MemoSide> makeFileMemoSide() { return std::make_unique<FileMemoSide>(); }

}  // namespace dbf
