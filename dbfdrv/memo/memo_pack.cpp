#include "memo/memo_pack.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "table/engine_status.h"

namespace dbf {

std::string memoPackName(const std::string& directory, MemoKind kind) {
  std::string dir = directory;
  if (!dir.empty() && dir.back() != '/') dir += '/';
  const char* ext = kind == MemoKind::Fpt ? ".FPT" : ".DBT";
  for (unsigned n = 0;; ++n) {
    std::string name = dir + std::to_string(n) + ext;
    std::error_code ec;
    if (!std::filesystem::exists(name, ec) && !ec) return name;
  }
}

std::string memoBackupName(const std::string& memoPath) {
  size_t slash = memoPath.find_last_of('/');
  size_t dot = memoPath.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return memoPath + ".BKT";
  return memoPath.substr(0, dot) + ".BKT";
}

int memoPackBegin(MemoFile& memo, MemoPack& pack) {
  if (!memo.isOpen()) return ErrInvalidHandleNumber;
  if (memo.access == MemoAccess::ReadOnly) return ErrFileOpenForReadingOnly;
  std::string directory = std::filesystem::path(memo.path).parent_path().string();
  pack.freshPath = memoPackName(directory, memo.kind);
  int status = memoCreate(pack.freshPath, memo.kind, memo.blockSize);
  if (status == StatusOk) status = memoOpen(pack.fresh, pack.freshPath, memo.kind, MemoAccess::Exclusive);
  if (status != StatusOk) memoPackAbort(pack);
  return status;
}

int memoPackCopy(MemoFile& memo, MemoPack& pack, uint32_t oldBlock, uint32_t& newBlock) {
  newBlock = 0;
  if (oldBlock == 0) return StatusOk;
  MemoData data;
  int status = memoRead(memo, oldBlock, kMemoNoLimit, data);
  if (status != StatusOk) return status;
  if (data.bytes.empty()) return StatusOk;  // an empty memo is stored as block 0
  return memoWrite(pack.fresh, data.bytes, data.type, 0, false, newBlock);
}

int memoPackFinish(MemoFile& memo, MemoPack& pack) {
  std::string path = memo.path;
  MemoKind kind = memo.kind;
  MemoAccess access = memo.access;
  int status = memoClose(pack.fresh);
  int closed = memoClose(memo);
  if (status == StatusOk) status = closed;
  if (status != StatusOk) {
    memoPackAbort(pack);
    memoOpen(memo, path, kind, access);
    return status;
  }
  std::string backup = memoBackupName(path);
  std::error_code ec;
  std::filesystem::remove(backup, ec);
  if (!ec) std::filesystem::rename(path, backup, ec);
  if (ec) {
    memoPackAbort(pack);
    memoOpen(memo, path, kind, access);
    return ErrAccessToFileDenied;
  }
  std::filesystem::rename(pack.freshPath, path, ec);
  if (ec) {
    // Put the old file back so that the table keeps its memos.
    std::error_code ignored;
    std::filesystem::rename(backup, path, ignored);
    memoPackAbort(pack);
    memoOpen(memo, path, kind, access);
    return ErrAccessToFileDenied;
  }
  pack.freshPath.clear();
  return memoOpen(memo, path, kind, access);
}

void memoPackAbort(MemoPack& pack) {
  memoClose(pack.fresh);
  if (!pack.freshPath.empty()) {
    std::error_code ec;
    std::filesystem::remove(pack.freshPath, ec);
    pack.freshPath.clear();
  }
}

}  // namespace dbf
