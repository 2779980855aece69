// Fuzzes the memo files of DBF tables: opening an FPT or DBT file and
// reading its memos, then writing to it. The first input byte chooses the
// kind of file and the reading limit, the next four bytes a block to read,
// the rest is the file. Besides crashes and sanitizer reports, these
// promises are checked: a memo read never exceeds the limit asked for; a
// memo written reads back as it was written and leaves the memos read
// before it unchanged.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "memo/memo_file.h"
#include "table/engine_status.h"

#define check(ok)                                                            \
  do {                                                                       \
    if (!(ok)) {                                                             \
      std::fprintf(stderr, "broken promise: %s (line %d)\n", #ok, __LINE__); \
      std::abort();                                                          \
    }                                                                        \
  } while (0)

namespace {

std::string scratchPath() {
  static std::string path = [] {
    char name[] = "/tmp/fuzz_dbf_memo_XXXXXX";
    int fd = ::mkstemp(name);
    if (fd >= 0) ::close(fd);
    return std::string(name);
  }();
  return path;
}

bool writeFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  const dbf::MemoKind kind = (data[0] & 1) ? dbf::MemoKind::Dbt : dbf::MemoKind::Fpt;
  const size_t limit = (data[0] & 2) ? dbf::kMemoNoLimit : size_t(data[0]) * 64;
  const uint32_t asked = uint32_t(data[1]) << 24 | uint32_t(data[2]) << 16 | uint32_t(data[3]) << 8 | data[4];
  const std::string path = scratchPath();
  if (!writeFile(path, data + 5, size - 5)) return 0;

  dbf::MemoFile memo;
  if (dbf::memoOpen(memo, path, kind, dbf::MemoAccess::Exclusive) != dbf::StatusOk) return 0;
  // Read the block asked for and the first blocks of the file.
  std::vector<std::pair<uint32_t, std::string>> seen;
  std::vector<uint32_t> blocks = {asked, 0, 1, 2, 3, 8, 9, memo.nextFree - 1, memo.nextFree};
  for (uint32_t block : blocks) {
    dbf::MemoData read;
    int status = dbf::memoRead(memo, block, limit, read);
    if (status == dbf::StatusOk) {
      check(limit == dbf::kMemoNoLimit || read.bytes.size() <= limit);
      seen.emplace_back(block, read.bytes);
    } else {
      check(status < 0);
    }
  }
  // A new memo and a rewrite of the first memo read.
  const std::string text = "fuzz memo text";
  uint32_t fresh = 0;
  if (dbf::memoWrite(memo, text, dbf::MemoTypeText, 0, false, fresh) == dbf::StatusOk) {
    dbf::MemoData back;
    check(dbf::memoRead(memo, fresh, dbf::kMemoNoLimit, back) == dbf::StatusOk);
    check(back.bytes == text);
    for (const auto& [block, bytes] : seen) {
      // Only memos that lie wholly below the new one are promised to stay.
      if (uint64_t(block) * memo.blockSize + bytes.size() + 8 > uint64_t(fresh) * memo.blockSize) continue;
      dbf::MemoData again;
      if (dbf::memoRead(memo, block, dbf::kMemoNoLimit, again) == dbf::StatusOk) check(again.bytes == bytes);
    }
    if (!seen.empty()) {
      uint32_t rewritten = 0;
      if (dbf::memoWrite(memo, "x", dbf::MemoTypeText, seen.front().first, true, rewritten) == dbf::StatusOk) {
        check(dbf::memoRead(memo, rewritten, dbf::kMemoNoLimit, back) == dbf::StatusOk);
        check(back.bytes == "x");
      }
    }
  }
  dbf::memoClose(memo);
  return 0;
}
