// Memo files of DBF tables: the FoxPro memo file (.FPT, big-endian header,
// blocks of a chosen size, each memo with an 8-byte block header) and the
// dBASE III memo file (.DBT, 512-byte blocks, each memo ended by two 0x1A
// bytes). A memo field of a record holds the number of the memo's first
// block; block 0 never holds a memo.
//
// Every function answers an engine status (table/engine_status.h): 0 or a
// negative error. A missing memo file answers ErrFileNotFound; the operation
// layer reports that as its own "memo file missing".
//
// Character-set conversion (OEM/ANSI) of text memos is the caller's task:
// this module moves bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dbf {

enum class MemoKind {
  Fpt,  // FoxPro memo file, the table dialect 8
  Dbt,  // dBASE III memo file, the table dialect 3
};

// The type word of an FPT memo block.
enum MemoType : uint32_t {
  MemoTypeRaw = 0,   // picture / raw bytes
  MemoTypeText = 1,  // text
};

constexpr uint32_t kDbtBlockSize = 512;
constexpr uint32_t kMemoHeaderBytes = 512;
constexpr uint32_t kMinFptBlockSize = 33;
constexpr uint32_t kMaxFptBlockSize = 16384;
constexpr int kMaxBlockFactor = 32;
// A dBASE III memo is searched for its end mark over at most this many blocks
// (a longer memo does not fit any memo buffer the driver hands out).
constexpr uint32_t kMaxDbtScanBlocks = 128;
// No limit but the file itself (inspection and pack).
constexpr size_t kMemoNoLimit = static_cast<size_t>(-1);

enum class MemoAccess { ReadOnly, Exclusive, Shared };

// An open memo file.
struct MemoFile {
  int fd = -1;
  std::string path;
  MemoKind kind = MemoKind::Fpt;
  MemoAccess access = MemoAccess::ReadOnly;
  uint32_t blockSize = kDbtBlockSize;
  uint32_t nextFree = 1;     // next free block, as the header says
  uint32_t blockCount = 1;   // DBT: file size / 512, at least 1
  bool locked = false;       // this handle holds the header lock
  bool isOpen() const { return fd >= 0; }
};

// A memo as read from its blocks.
struct MemoData {
  std::string bytes;
  uint32_t type = MemoTypeText;  // FPT type word; DBT memos are text
  bool raw() const { return type != MemoTypeText; }
};

// The memo file that belongs to a table: its name with ".FPT" or ".DBT" in
// place of its extension.
std::string memoFileName(const std::string& tablePath, MemoKind kind);

// Block size in bytes for a block-size factor: 1 to 32 are multiples of 512,
// 33 to 511 a size in bytes; 0 and 512 upwards answer ErrInvalidPageSizeInBlocks.
int memoBlockSize(int factor, uint32_t& size);
// The block-size factor of a table's memos: the largest "[" digits "]"
// suffix on their names, limited to 1 to 32; 1 when none has one.
int memoBlockFactor(const std::vector<std::string>& memoNames);
// The number of blocks that the 512-byte FPT header occupies.
inline uint32_t fptHeaderBlocks(uint32_t blockSize) {
  return (kMemoHeaderBytes + blockSize - 1) / blockSize;
}

// Writes an empty memo file (an existing file of that name is replaced).
// blockSize is used for FPT files only; DBT blocks are always 512 bytes.
int memoCreate(const std::string& path, MemoKind kind, uint32_t blockSize);
// Opens a memo file and checks its header.
int memoOpen(MemoFile& memo, const std::string& path, MemoKind kind, MemoAccess access);
// Releases the locks and closes the file.
int memoClose(MemoFile& memo);

// The header lock (FPT: one byte at 0x40000000, DBT: the 24 bytes at 0),
// tried once; a refused lock answers ErrLockConflict. Once the lock is held
// the next free block (and the DBT block count) is read again. On a file that
// is not shared, lock and unlock only mark the handle.
int memoLock(MemoFile& memo);
int memoUnlock(MemoFile& memo);
// Reads the header's next free block (and the DBT block count) again.
int memoRefresh(MemoFile& memo);

// Reads the memo at a block. A memo longer than maxLen answers
// ErrBadFieldLength; a block outside the file's memos ErrSeekFailed; a memo
// that runs past the end of the file ErrFileCorrupted.
int memoRead(MemoFile& memo, uint32_t block, size_t maxLen, MemoData& out);

// Whether a memo may be added at the next free block: a next free block
// inside the header, or more than a block past the end of the file (a file
// cut short, a damaged header), answers ErrFileCorrupted.
int memoAppendable(MemoFile& memo);

// Writes a memo and answers its block. With writeBack and an old block the
// memo is rewritten in place when it fits the old memo's blocks; otherwise
// (and always for a new record) it goes to the next free block, which then
// advances. An empty text answers ErrBadData. type is the FPT type word
// (MemoTypeText or MemoTypeRaw; DBT memos have none). On a shared file the
// header lock is taken for the write when not held already (a refused lock
// answers ErrFileMustBeLockedFirst); a read-only file answers
// ErrFileOpenForReadingOnly. A memo that would go to the next free block of
// a file that is not appendable answers ErrFileCorrupted and writes nothing.
int memoWrite(MemoFile& memo, std::string_view text, uint32_t type, uint32_t oldBlock,
              bool writeBack, uint32_t& block);

}  // namespace dbf
