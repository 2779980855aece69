// The index and memo sides that modules install, and the memo passes of
// every read and write.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "driver/oem_text.h"
#include "driver/ops.h"

namespace dbf {

namespace {

std::mutex& sideMutex() {
  static std::mutex m;
  return m;
}
IndexSideFactory& indexFactory() {
  static IndexSideFactory f;
  return f;
}
MemoSideFactory& memoFactory() {
  static MemoSideFactory f;
  return f;
}

}  // namespace

uint32_t memoBlockOf(const std::string& record, const FieldDef& f) {
  const char* p = record.data() + f.offset;
  if (f.length == 4) {
    return uint32_t(uint8_t(p[0])) | uint32_t(uint8_t(p[1])) << 8 | uint32_t(uint8_t(p[2])) << 16 |
           uint32_t(uint8_t(p[3])) << 24;
  }
  std::string digits;
  for (uint32_t i = 0; i < f.length; ++i)
    if (p[i] >= '0' && p[i] <= '9') digits += p[i];
  return digits.empty() ? 0 : uint32_t(std::strtoul(digits.c_str(), nullptr, 10));
}

void setMemoBlock(std::string& record, const FieldDef& f, uint32_t block) {
  char* p = record.data() + f.offset;
  if (f.length == 4) {
    for (int i = 0; i < 4; ++i) p[i] = char(uint8_t(block >> (8 * i)));
  } else {
    // an empty memo is block 0 in the same form ("         0")
    char buf[24];
    std::snprintf(buf, sizeof buf, "%*lu", int(f.length), static_cast<unsigned long>(block));
    std::memcpy(p, buf + std::strlen(buf) - f.length, f.length);
  }
}

void setIndexSideFactory(IndexSideFactory factory) {
  std::lock_guard<std::mutex> lock(sideMutex());
  indexFactory() = std::move(factory);
}

void setMemoSideFactory(MemoSideFactory factory) {
  std::lock_guard<std::mutex> lock(sideMutex());
  memoFactory() = std::move(factory);
}

std::unique_ptr<IndexSide> makeIndexSide(FileBlock& b, bool always) {
  IndexSideFactory f;
  {
    std::lock_guard<std::mutex> lock(sideMutex());
    f = indexFactory();
  }
  if (!f || (!b.hasKeys && !always)) return nullptr;
  return f(b);
}

std::unique_ptr<MemoSide> makeMemoSide(FileBlock& b) {
  MemoSideFactory f;
  {
    std::lock_guard<std::mutex> lock(sideMutex());
    f = memoFactory();
  }
  return f ? f(b) : nullptr;
}

int needIndex(FileBlock& b) {
  if (b.hasKeys && !b.index) return layerError(b, LayerIndexMissing, "no index module");
  return LayerOk;
}

namespace {

// Reads the memo at a block as the program sees it: a text memo of a field
// with the OEM attribute converted from the table's code page.
int readMemo(FileBlock& b, const MemoMap& m, uint32_t block, std::string& text, bool& raw) {
  const qv::FieldDesc& d = b.file->decl().fields[size_t(m.field)];
  if (int r = b.memo->read(b, block, d.size, text, raw); r) return r;
  if (!raw && d.oem) text = oemToUtf8(text);
  return LayerOk;
}

}  // namespace

int loadMemos(FileBlock& b) {
  if (b.memos.empty()) return LayerOk;
  const TableInfo* info = tableInfo(b.handle);
  const qv::FileDecl& decl = b.file->decl();
  for (MemoMap& m : b.memos) {
    const FieldDef& f = info->fields[size_t(m.dbf)];
    m.block = memoBlockOf(b.record, f);
    std::string text;
    bool raw = false;
    if (m.block && b.memo)
      if (int r = readMemo(b, m, m.block, text, raw); r) return r;
    m.raw = raw;
    qv::setField(decl, m.field, 0, text);
  }
  return LayerOk;
}

int storeMemos(FileBlock& b, std::string& record) {
  if (b.memos.empty()) return LayerOk;
  if (!b.memo) return layerError(b, LayerMemoMissing, b.memoPath);
  // a memo file that cannot take a memo takes none of the record's
  if (int r = b.memo->writable(b); r) return r;
  const TableInfo* info = tableInfo(b.handle);
  const qv::FileDecl& decl = b.file->decl();
  for (MemoMap& m : b.memos) {
    const FieldDef& f = info->fields[size_t(m.dbf)];
    uint32_t current = memoBlockOf(record, f);
    std::string text = std::get<std::string>(qv::getField(decl, m.field, 0));
    if (current) {
      // an unchanged memo keeps its block
      std::string old;
      bool raw = false;
      if (readMemo(b, m, current, old, raw) == LayerOk && old == text) {
        m.block = current;
        continue;
      }
    }
    bool raw = current ? m.raw : false;
    if (!raw && decl.fields[size_t(m.field)].oem) text = utf8ToOem(text);
    uint32_t block = 0;
    if (int r = b.memo->write(b, current, text, raw, block); r) return r;
    m.block = block;
    setMemoBlock(record, f, block);
  }
  return LayerOk;
}

}  // namespace dbf
