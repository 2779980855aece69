#include "memo/memo_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "memo/memo_io.h"
#include "table/engine_status.h"

namespace dbf {
namespace {

// The header lock's byte range.
constexpr off_t kFptLockOffset = 0x40000000;
constexpr off_t kFptLockLength = 1;
constexpr off_t kDbtLockOffset = 0;
constexpr off_t kDbtLockLength = 24;

int openError(const std::string& path) {
  int err = errno;
  if (err == ENOENT) {
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    std::error_code ec;
    if (!parent.empty() && !std::filesystem::is_directory(parent, ec)) return ErrPathNotFound;
    return ErrFileNotFound;
  }
  if (err == ENOTDIR) return ErrPathNotFound;
  if (err == EACCES || err == EPERM || err == EROFS) return ErrAccessToFileDenied;
  if (err == EMFILE || err == ENFILE) return ErrNoHandlesAvailable;
  return ErrCouldNotOpenTheFile;
}

int rangeLock(const MemoFile& memo, short type) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = memo.kind == MemoKind::Fpt ? kFptLockOffset : kDbtLockOffset;
  fl.l_len = memo.kind == MemoKind::Fpt ? kFptLockLength : kDbtLockLength;
  return ::fcntl(memo.fd, F_OFD_SETLK, &fl);
}

}  // namespace

std::string memoFileName(const std::string& tablePath, MemoKind kind) {
  const char* ext = kind == MemoKind::Fpt ? ".FPT" : ".DBT";
  size_t slash = tablePath.find_last_of('/');
  size_t dot = tablePath.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return tablePath + ext;
  return tablePath.substr(0, dot) + ext;
}

int memoBlockSize(int factor, uint32_t& size) {
  if (factor >= 1 && factor <= kMaxBlockFactor) {
    size = uint32_t(factor) * kDbtBlockSize;
    return StatusOk;
  }
  if (factor > kMaxBlockFactor && factor < int(kDbtBlockSize)) {
    size = uint32_t(factor);
    return StatusOk;
  }
  return ErrInvalidPageSizeInBlocks;
}

int memoBlockFactor(const std::vector<std::string>& memoNames) {
  int factor = 1;
  for (const std::string& name : memoNames) {
    if (name.size() < 3 || name.back() != ']') continue;
    size_t open = name.rfind('[');
    if (open == std::string::npos || open + 2 > name.size() - 1) continue;
    long value = 0;
    bool digits = true;
    for (size_t i = open + 1; i + 1 < name.size(); ++i) {
      if (name[i] < '0' || name[i] > '9') {
        digits = false;
        break;
      }
      if (value < 1000) value = value * 10 + (name[i] - '0');
    }
    if (!digits) continue;
    if (value < 1) value = 1;
    if (value > kMaxBlockFactor) value = kMaxBlockFactor;
    if (value > factor) factor = int(value);
  }
  return factor;
}

int memoCreate(const std::string& path, MemoKind kind, uint32_t blockSize) {
  unsigned char header[kMemoHeaderBytes + 1] = {};
  size_t length = kMemoHeaderBytes;
  if (kind == MemoKind::Fpt) {
    if (blockSize < kMinFptBlockSize || blockSize > kMaxFptBlockSize) return ErrInvalidPageSizeInBlocks;
    memoio::putBE32(header, fptHeaderBlocks(blockSize));
    memoio::putBE32(header + 4, blockSize);
  } else {
    memoio::putLE32(header, 1);
    header[kMemoHeaderBytes] = 0x1A;  // a new dBASE III memo file ends with the end-of-file byte
    length = kMemoHeaderBytes + 1;
  }
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return openError(path);
  bool ok = memoio::writeAt(fd, header, length, 0);
  if (::close(fd) != 0) ok = false;
  return ok ? StatusOk : ErrFileWriteFailure;
}

int memoRefresh(MemoFile& memo) {
  unsigned char header[8];
  if (memoio::readAt(memo.fd, header, sizeof header, 0) != static_cast<long long>(sizeof header)) return ErrFileReadFailure;
  if (memo.kind == MemoKind::Fpt) {
    memo.nextFree = memoio::getBE32(header);
  } else {
    memo.nextFree = memoio::getLE32(header);
    long long size = memoio::fileSize(memo.fd);
    if (size < 0) return ErrFileReadFailure;
    memo.blockCount = std::max<uint32_t>(1, uint32_t(size / kDbtBlockSize));
  }
  return StatusOk;
}

int memoOpen(MemoFile& memo, const std::string& path, MemoKind kind, MemoAccess access) {
  memo = MemoFile{};
  int flags = (access == MemoAccess::ReadOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC;
  int fd = ::open(path.c_str(), flags);
  if (fd < 0) return openError(path);
  memo.fd = fd;
  memo.path = path;
  memo.kind = kind;
  memo.access = access;
  long long size = memoio::fileSize(fd);
  unsigned char header[8] = {};
  int status = StatusOk;
  if (size < 0 || memoio::readAt(fd, header, sizeof header, 0) < 0) {
    status = ErrFileReadFailure;
  } else if (size < static_cast<long long>(kMemoHeaderBytes)) {
    status = ErrFileNotInMemoFormat;
  } else if (kind == MemoKind::Fpt) {
    memo.blockSize = memoio::getBE32(header + 4);
    if (memo.blockSize < kMinFptBlockSize || memo.blockSize > kMaxFptBlockSize) status = ErrInvalidPageSizeInBlocks;
  } else {
    memo.blockSize = kDbtBlockSize;
  }
  if (status == StatusOk) status = memoRefresh(memo);
  if (status != StatusOk) {
    ::close(fd);
    memo = MemoFile{};
  }
  return status;
}

int memoLock(MemoFile& memo) {
  if (!memo.isOpen()) return ErrInvalidHandleNumber;
  if (memo.locked) return StatusOk;
  if (memo.access == MemoAccess::Shared) {
    if (rangeLock(memo, F_WRLCK) != 0) return ErrLockConflict;
  }
  memo.locked = true;
  int status = memoRefresh(memo);
  if (status != StatusOk) memoUnlock(memo);
  return status;
}

int memoUnlock(MemoFile& memo) {
  if (!memo.isOpen()) return ErrInvalidHandleNumber;
  if (memo.locked && memo.access == MemoAccess::Shared) rangeLock(memo, F_UNLCK);
  memo.locked = false;
  return StatusOk;
}

int memoClose(MemoFile& memo) {
  if (!memo.isOpen()) return StatusOk;
  memoUnlock(memo);
  int status = ::close(memo.fd) == 0 ? StatusOk : ErrFileCloseFailure;
  memo = MemoFile{};
  return status;
}

}  // namespace dbf
