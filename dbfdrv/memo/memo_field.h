// A record's memos between its memo buffers, its 'M' fields and its memo
// file: the block number as the field holds it, loading a memo into its
// buffer after a read and storing it before the record is written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "memo/memo_file.h"

namespace dbf {

constexpr size_t kMemoFieldLength = 10;

// The 'M' field text of a block number: right-aligned decimal in 10
// characters ("%10lu").
std::string memoFieldText(uint32_t block);
// The block number an 'M' field holds: blanks and 0 mean no memo. Leading
// and trailing blanks and NUL bytes are allowed around the digits; anything
// else answers false.
bool memoFieldBlock(std::string_view field, uint32_t& block);

// The text a memo buffer stores: without its trailing blanks and NUL bytes,
// unless the memo is raw, which keeps them.
std::string_view memoStoredText(std::string_view buffer, bool raw);

// Loads the memo at a block into a buffer of fixed length: the buffer is
// filled with blanks and the memo copied in; block 0 leaves it blank. A
// memo longer than the buffer answers ErrBadFieldLength. rawMemo tells
// whether the stored memo was raw (an FPT type other than text).
int memoLoad(MemoFile& memo, uint32_t block, std::string& buffer, bool* rawMemo = nullptr);

// Stores a memo buffer before its record is written: an empty memo stores
// block 0 and writes nothing; otherwise the memo is written (in place when
// writeBack and it fits its old blocks, else at the end) and block answers
// where it is.
int memoStore(MemoFile& memo, std::string_view buffer, bool raw, uint32_t oldBlock,
              bool writeBack, uint32_t& block);

}  // namespace dbf
