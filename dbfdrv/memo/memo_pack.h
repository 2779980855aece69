// Compacting a memo file when its table is packed: the memos of the live
// records are copied into a new memo file beside it, which then takes the
// memo file's name; the old file is kept as the backup ".BKT".
//
//   MemoPack pack;
//   memoPackBegin(memo, pack);
//   for each live record, for each memo field with a block other than 0:
//     memoPackCopy(memo, pack, oldBlock, newBlock); store newBlock in the field
//   memoPackFinish(memo, pack);   // or memoPackAbort(pack) on failure
#pragma once

#include <cstdint>
#include <string>

#include "memo/memo_file.h"

namespace dbf {

struct MemoPack {
  MemoFile fresh;
  std::string freshPath;
};

// The name of a new memo file in a directory: the directory, the first
// number from 0 whose file does not exist, and ".FPT" or ".DBT".
std::string memoPackName(const std::string& directory, MemoKind kind);
// The backup name of a memo file: its name with ".BKT".
std::string memoBackupName(const std::string& memoPath);

// Creates the new memo file with the old one's block size and opens it.
int memoPackBegin(MemoFile& memo, MemoPack& pack);
// Copies the memo at oldBlock into the new file; newBlock answers where it is.
int memoPackCopy(MemoFile& memo, MemoPack& pack, uint32_t oldBlock, uint32_t& newBlock);
// Closes both files, replaces the backup by the old file and gives the new
// file the memo file's name, then opens it in the old one's place.
int memoPackFinish(MemoFile& memo, MemoPack& pack);
// Closes and removes the new file; the old one stays as it was.
void memoPackAbort(MemoPack& pack);

}  // namespace dbf
