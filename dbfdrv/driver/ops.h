// The operations of the dispatcher, shared by its files. Each answers a
// file-layer number (0 on success).
#pragma once

#include "driver/file_block.h"

namespace dbf {

// Keeps an engine failure in the block and answers its file-layer number;
// success and conditions answer 0.
int engineResult(FileBlock& b, int status);
// A file-layer number of the operation layer itself, with its detail.
int layerError(FileBlock& b, int number, const std::string& detail = {});

// Opening, creating and closing (driver/ops_open.cpp).
int opOpen(FileBlock& b, bool shared);
int opCreate(FileBlock& b);
int opClose(FileBlock& b);
// Applies driver options (a declaration's driver string, or a command of
// operation 60). With `recover` (a declaration) RECOVER is only noted there,
// to be done once the table is open, and DELETED, a question about the
// current record, is passed over.
int applyOptions(FileBlock& b, const std::string& text, std::string& answer, bool* recover = nullptr);
std::string tablePath(const std::string& declared);
std::string memoPathOf(const FileBlock& b);

// Reading (driver/ops_read.cpp).
int opSetFile(FileBlock& b, uint32_t recno);
int opSetKey(FileBlock& b, int op, const OpArgs& a);
int opRead(FileBlock& b, int direction);  // +1 next, -1 previous
int opSkip(FileBlock& b, int64_t n);
int opEdgeTest(FileBlock& b, int direction);
int opGetByNumber(FileBlock& b, int64_t recno);
int opGetByKey(FileBlock& b, int key);
// Reads record `recno` into the buffer: deleted records answer 35 unless
// IGNORESTATUS is on; holds, memos and the watch copy as asked.
int readInto(FileBlock& b, uint32_t recno);
// Holds the current record (the keyed-file layer's hold after a read).
int holdCurrent(FileBlock& b, int seconds);

// Writing (driver/ops_write.cpp).
int opAdd(FileBlock& b, bool keys);
int opPut(FileBlock& b, uint32_t recno);
int opDelete(FileBlock& b);
int opDuplicate(FileBlock& b, int key);
int opLock(FileBlock& b, int seconds);  // seconds < 0: without limit
int opRelease(FileBlock& b);
int opRecover(FileBlock& b);

// Whole files (driver/ops_files.cpp).
int opPack(FileBlock& b);
int opEmpty(FileBlock& b);
int opCopy(FileBlock& b, const std::string& to, bool move);
int opRemove(FileBlock& b);
int opBuild(FileBlock& b, int key);
// Builds a dynamic index from the description in a.text; answers its key
// number in a.key and a.number.
int opBuildDynamic(FileBlock& b, OpArgs& a);

// Installed sides (driver/sides.cpp).
// The index side of a table with declared keys (always: also without them,
// for a dynamic index).
std::unique_ptr<IndexSide> makeIndexSide(FileBlock& b, bool always = false);
std::unique_ptr<MemoSide> makeMemoSide(FileBlock& b);
// 46 when the declaration has keys that no index side serves.
int needIndex(FileBlock& b);
// Loads the declared memos of the record in b.record into the buffer.
int loadMemos(FileBlock& b);
// Writes the memos of the buffer that changed and stores their block
// numbers in `record`.
int storeMemos(FileBlock& b, std::string& record);
// The block number an 'M' field of a record holds (decimal text, or 4 binary
// bytes in Visual FoxPro tables), and the field set to one.
uint32_t memoBlockOf(const std::string& record, const FieldDef& f);
void setMemoBlock(std::string& record, const FieldDef& f, uint32_t block);
// The memo side over the memo-file module, which the registration installs.
std::unique_ptr<MemoSide> makeFileMemoSide();

}  // namespace dbf
