// The index and memo sides that modules install, and the memo passes of
// every read and write.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

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
  } else if (block == 0) {
    std::memset(p, ' ', f.length);
  } else {
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
      if (int r = b.memo->read(b, m.block, decl.fields[size_t(m.field)].size, text, raw); r) return r;
    m.raw = raw;
    qv::setField(decl, m.field, 0, text);
  }
  return LayerOk;
}

int storeMemos(FileBlock& b, std::string& record) {
  if (b.memos.empty()) return LayerOk;
  if (!b.memo) return layerError(b, LayerMemoMissing, b.memoPath);
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
      if (b.memo->read(b, current, decl.fields[size_t(m.field)].size, old, raw) == LayerOk && old == text) {
        m.block = current;
        continue;
      }
    }
    uint32_t block = 0;
    if (int r = b.memo->write(b, current, text, current ? m.raw : false, block); r) return r;
    m.block = block;
    setMemoBlock(record, f, block);
  }
  return LayerOk;
}

}  // namespace dbf
