// Reading and writing single memos of an FPT or DBT file.
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "memo/memo_file.h"
#include "memo/memo_io.h"
#include "table/engine_status.h"

namespace dbf {
namespace {

constexpr unsigned char kDbtEnd = 0x1A;
constexpr size_t kFptBlockHeader = 8;
constexpr size_t kDbtEndBytes = 2;
// dBASE IV writes each memo behind a block header of its own: these four
// bytes, then the length of header and text (little-endian).
constexpr unsigned char kDbase4Mark[4] = {0xFF, 0xFF, 0x08, 0x00};

uint64_t blockOffset(const MemoFile& memo, uint32_t block) { return uint64_t(block) * memo.blockSize; }

int readFpt(MemoFile& memo, uint32_t block, size_t maxLen, MemoData& out) {
  // Another user of a shared file may have written memos since the header was read.
  if (block >= memo.nextFree && memo.access == MemoAccess::Shared && !memo.locked) {
    int status = memoRefresh(memo);
    if (status != StatusOk) return status;
  }
  if (block == 0 || block >= memo.nextFree) return ErrSeekFailed;
  long long size = memoio::fileSize(memo.fd);
  if (size < 0) return ErrFileReadFailure;
  uint64_t offset = blockOffset(memo, block);
  unsigned char header[kFptBlockHeader];
  long long got = memoio::readAt(memo.fd, header, sizeof header, offset);
  if (got < 0) return ErrFileReadFailure;
  if (got < static_cast<long long>(sizeof header)) return ErrFileCorrupted;
  uint32_t length = memoio::getBE32(header + 4);
  if (length > maxLen) return ErrBadFieldLength;
  if (offset + kFptBlockHeader + length > uint64_t(size)) return ErrFileCorrupted;
  out.type = memoio::getBE32(header);
  out.bytes.resize(length);
  if (memoio::readAt(memo.fd, out.bytes.data(), length, offset + kFptBlockHeader) != static_cast<long long>(length))
    return ErrFileReadFailure;
  return StatusOk;
}

// A dBASE IV memo: its length (header included) follows the mark.
int readDbase4(MemoFile& memo, const unsigned char* header, uint64_t offset, long long size,
               size_t maxLen, MemoData& out) {
  uint32_t length = memoio::getLE32(header + 4);
  if (length < kFptBlockHeader) return ErrFileCorrupted;
  length -= kFptBlockHeader;
  if (length > maxLen) return ErrBadFieldLength;
  if (offset + kFptBlockHeader + length > uint64_t(size)) return ErrFileCorrupted;
  out.bytes.resize(length);
  if (memoio::readAt(memo.fd, out.bytes.data(), length, offset + kFptBlockHeader) != static_cast<long long>(length))
    return ErrFileReadFailure;
  return StatusOk;
}

// The text of a dBASE III memo, up to its first end byte. blocksUsed answers
// the blocks up to and including the one with the end byte.
int scanDbt(MemoFile& memo, uint64_t offset, size_t maxLen, std::string& text, uint32_t& blocksUsed) {
  uint64_t maxBlocks = kMaxDbtScanBlocks;
  if (maxLen == kMemoNoLimit) {
    maxBlocks = UINT64_MAX;
  } else {
    maxBlocks = std::max<uint64_t>(maxBlocks, (uint64_t(maxLen) + 1 + kDbtBlockSize - 1) / kDbtBlockSize);
  }
  text.clear();
  unsigned char chunk[kDbtBlockSize];
  for (uint64_t n = 0; n < maxBlocks; ++n) {
    long long got = memoio::readAt(memo.fd, chunk, sizeof chunk, offset + n * kDbtBlockSize);
    if (got < 0) return ErrFileReadFailure;
    const unsigned char* end = std::find(chunk, chunk + got, kDbtEnd);
    text.append(reinterpret_cast<const char*>(chunk), size_t(end - chunk));
    if (end != chunk + got) {
      blocksUsed = uint32_t(n + 1);
      return text.size() > maxLen ? ErrBadFieldLength : StatusOk;
    }
    if (got < static_cast<long long>(sizeof chunk)) return ErrFileCorrupted;  // the file ends inside the memo
    if (text.size() > maxLen) return ErrBadFieldLength;
  }
  return ErrBadFieldLength;
}

int readDbt(MemoFile& memo, uint32_t block, size_t maxLen, MemoData& out) {
  long long size = memoio::fileSize(memo.fd);
  if (size < 0) return ErrFileReadFailure;
  uint64_t offset = blockOffset(memo, block);
  if (block == 0 || offset >= uint64_t(size)) return ErrSeekFailed;
  out.type = MemoTypeText;
  unsigned char header[kFptBlockHeader] = {};
  long long got = memoio::readAt(memo.fd, header, sizeof header, offset);
  if (got < 0) return ErrFileReadFailure;
  if (got == static_cast<long long>(sizeof header) && std::memcmp(header, kDbase4Mark, sizeof kDbase4Mark) == 0)
    return readDbase4(memo, header, offset, size, maxLen, out);
  uint32_t blocksUsed = 0;
  return scanDbt(memo, offset, maxLen, out.bytes, blocksUsed);
}

// The bytes an old memo may be rewritten into, or 0 when it cannot be.
uint64_t inPlaceRoom(MemoFile& memo, uint32_t oldBlock) {
  if (oldBlock == 0) return 0;
  if (memo.kind == MemoKind::Fpt) {
    if (oldBlock >= memo.nextFree) return 0;
    unsigned char header[kFptBlockHeader];
    if (memoio::readAt(memo.fd, header, sizeof header, blockOffset(memo, oldBlock)) != static_cast<long long>(sizeof header))
      return 0;
    // The smallest multiple of the block size that is not below the old length.
    uint64_t oldLength = memoio::getBE32(header + 4);
    return (oldLength + memo.blockSize - 1) / memo.blockSize * memo.blockSize;
  }
  long long size = memoio::fileSize(memo.fd);
  uint64_t offset = blockOffset(memo, oldBlock);
  if (size < 0 || offset >= uint64_t(size)) return 0;
  unsigned char header[kFptBlockHeader] = {};
  if (memoio::readAt(memo.fd, header, sizeof header, offset) == static_cast<long long>(sizeof header) &&
      std::memcmp(header, kDbase4Mark, sizeof kDbase4Mark) == 0) {
    uint64_t length = memoio::getLE32(header + 4);
    return std::max<uint64_t>(kDbtBlockSize, (length + kDbtBlockSize - 1) / kDbtBlockSize * kDbtBlockSize);
  }
  std::string old;
  uint32_t blocksUsed = 0;
  if (scanDbt(memo, offset, kMaxDbtScanBlocks * kDbtBlockSize, old, blocksUsed) != StatusOk) return 0;
  return uint64_t(blocksUsed) * kDbtBlockSize;
}

int writeHeaderNextFree(MemoFile& memo, uint64_t nextFree) {
  if (nextFree > UINT32_MAX) return ErrFileWriteFailure;
  unsigned char bytes[4];
  if (memo.kind == MemoKind::Fpt) memoio::putBE32(bytes, uint32_t(nextFree));
  else memoio::putLE32(bytes, uint32_t(nextFree));
  if (!memoio::writeAt(memo.fd, bytes, sizeof bytes, 0)) return ErrFileWriteFailure;
  memo.nextFree = uint32_t(nextFree);
  return StatusOk;
}

// The memo as its blocks hold it: FPT block header and text, or DBT text and end bytes.
std::string blockImage(const MemoFile& memo, std::string_view text, uint32_t type) {
  std::string image;
  if (memo.kind == MemoKind::Fpt) {
    unsigned char header[kFptBlockHeader];
    memoio::putBE32(header, type);
    memoio::putBE32(header + 4, uint32_t(text.size()));
    image.assign(reinterpret_cast<const char*>(header), sizeof header);
    image.append(text);
  } else {
    image.assign(text);
    image.append(kDbtEndBytes, char(kDbtEnd));
  }
  return image;
}

int writeUnlocked(MemoFile& memo, std::string_view text, uint32_t type, uint32_t oldBlock, bool writeBack,
                  uint32_t& block) {
  std::string image = blockImage(memo, text, type);
  if (writeBack) {
    uint64_t room = inPlaceRoom(memo, oldBlock);
    if (room != 0 && image.size() <= room) {
      if (!memoio::writeAt(memo.fd, image.data(), image.size(), blockOffset(memo, oldBlock)))
        return ErrFileWriteFailure;
      block = oldBlock;
      return StatusOk;
    }
  }
  if (int st = memoAppendable(memo); st != StatusOk) return st;
  // FPT: header and text rounded up to whole blocks; DBT: (text + end bytes) div 512 + 1.
  uint64_t used = memo.kind == MemoKind::Fpt ? (image.size() + memo.blockSize - 1) / memo.blockSize
                                             : image.size() / kDbtBlockSize + 1;
  // the header could not count past the memo: nothing is written
  if (uint64_t(memo.nextFree) + used > UINT32_MAX) return ErrFileCorrupted;
  if (!memoio::writeAt(memo.fd, image.data(), image.size(), blockOffset(memo, memo.nextFree)))
    return ErrFileWriteFailure;
  block = memo.nextFree;
  return writeHeaderNextFree(memo, uint64_t(memo.nextFree) + used);
}

}  // namespace

int memoAppendable(MemoFile& memo) {
  // A header that points into itself would have the memo overwrite it.
  uint32_t firstBlock = memo.kind == MemoKind::Fpt ? fptHeaderBlocks(memo.blockSize) : 1;
  if (memo.nextFree < firstBlock) return ErrFileCorrupted;
  // The last memo ends in the block before the next free one (a DBT memo
  // that fills its last block exactly is counted one block more). A next
  // free block further out is a file cut short, or a damaged header: a memo
  // written there would leave a hole that reads as empty memos.
  long long size = memoio::fileSize(memo.fd);
  if (size < 0) return ErrFileReadFailure;
  if (blockOffset(memo, memo.nextFree) > uint64_t(size) + memo.blockSize) return ErrFileCorrupted;
  return StatusOk;
}

int memoRead(MemoFile& memo, uint32_t block, size_t maxLen, MemoData& out) {
  if (!memo.isOpen()) return ErrInvalidHandleNumber;
  out = MemoData{};
  return memo.kind == MemoKind::Fpt ? readFpt(memo, block, maxLen, out) : readDbt(memo, block, maxLen, out);
}

int memoWrite(MemoFile& memo, std::string_view text, uint32_t type, uint32_t oldBlock, bool writeBack,
              uint32_t& block) {
  if (!memo.isOpen()) return ErrInvalidHandleNumber;
  if (memo.access == MemoAccess::ReadOnly) return ErrFileOpenForReadingOnly;
  if (text.empty()) return ErrBadData;
  bool tookLock = false;
  if (!memo.locked) {
    if (memo.access == MemoAccess::Shared) {
      if (memoLock(memo) != StatusOk) return ErrFileMustBeLockedFirst;
      tookLock = true;
    }
  }
  int status = writeUnlocked(memo, text, type, oldBlock, writeBack, block);
  if (status == StatusOk && memo.access == MemoAccess::Shared && ::fdatasync(memo.fd) != 0)
    status = ErrFlushToDiskFailure;
  if (tookLock) memoUnlock(memo);
  return status;
}

}  // namespace dbf
