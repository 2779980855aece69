// Memo files written and read by the driver: sizes of blocks, where a memo
// goes when it is written and rewritten, what an FPT and a DBT file hold on
// disk, the checks on open and the header lock.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "memo/memo_field.h"
#include "memo/memo_file.h"
#include "memo/memo_pack.h"
#include "support/temp_dir.h"
#include "table/engine_status.h"

namespace {

using namespace dbf;
using qvtest::TempDir;

uint32_t be32(const std::string& b, size_t at) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(b[at + i]);
  return v;
}
uint32_t le32(const std::string& b, size_t at) {
  uint32_t v = 0;
  for (size_t i = 4; i-- > 0;) v = v << 8 | static_cast<unsigned char>(b[at + i]);
  return v;
}

class MemoFileTest : public ::testing::Test {
 protected:
  void open(MemoKind kind, uint32_t blockSize = 512, MemoAccess access = MemoAccess::Exclusive) {
    path = dir.file(kind == MemoKind::Fpt ? "T.FPT" : "T.DBT");
    ASSERT_EQ(memoCreate(path, kind, blockSize), StatusOk);
    ASSERT_EQ(memoOpen(memo, path, kind, access), StatusOk);
  }
  void TearDown() override { memoClose(memo); }
  uint32_t write(const std::string& text, uint32_t oldBlock = 0, bool writeBack = false) {
    uint32_t block = 0;
    EXPECT_EQ(memoWrite(memo, text, MemoTypeText, oldBlock, writeBack, block), StatusOk);
    return block;
  }
  std::string read(uint32_t block) {
    MemoData data;
    EXPECT_EQ(memoRead(memo, block, kMemoNoLimit, data), StatusOk);
    return data.bytes;
  }
  TempDir dir;
  std::string path;
  MemoFile memo;
};

TEST(MemoBlockSize, FactorsNamesAndLimits) {
  uint32_t size = 0;
  EXPECT_EQ(memoBlockSize(1, size), StatusOk);
  EXPECT_EQ(size, 512u);
  EXPECT_EQ(memoBlockSize(32, size), StatusOk);
  EXPECT_EQ(size, 16384u);
  EXPECT_EQ(memoBlockSize(33, size), StatusOk);
  EXPECT_EQ(size, 33u);
  EXPECT_EQ(memoBlockSize(511, size), StatusOk);
  EXPECT_EQ(size, 511u);
  EXPECT_EQ(memoBlockSize(0, size), ErrInvalidPageSizeInBlocks);
  EXPECT_EQ(memoBlockSize(512, size), ErrInvalidPageSizeInBlocks);
  EXPECT_EQ(memoBlockFactor({"MSG_TEXT", "NAV_CODES"}), 1);
  EXPECT_EQ(memoBlockFactor({"MSG_TEXT[4]", "NAV_CODES[2]"}), 4);
  EXPECT_EQ(memoBlockFactor({"BODY[99]"}), 32);
  EXPECT_EQ(memoBlockFactor({"BODY[0]", "X[]", "Y[1a]"}), 1);
  EXPECT_EQ(fptHeaderBlocks(512), 1u);
  EXPECT_EQ(fptHeaderBlocks(64), 8u);
  EXPECT_EQ(fptHeaderBlocks(1024), 1u);
}

TEST(MemoNames, FileBackupAndPackNames) {
  EXPECT_EQ(memoFileName("/d/HRECV.DBF", MemoKind::Fpt), "/d/HRECV.FPT");
  EXPECT_EQ(memoFileName("/d.x/RECV", MemoKind::Dbt), "/d.x/RECV.DBT");
  EXPECT_EQ(memoBackupName("/d/HRECV.FPT"), "/d/HRECV.BKT");
  TempDir dir;
  EXPECT_EQ(memoPackName(dir.path(), MemoKind::Fpt), dir.file("0.FPT"));
  qvtest::writeFile(dir.file("0.FPT"), "x");
  qvtest::writeFile(dir.file("1.FPT"), "x");
  EXPECT_EQ(memoPackName(dir.path(), MemoKind::Fpt), dir.file("2.FPT"));
  EXPECT_EQ(memoPackName(dir.path(), MemoKind::Dbt), dir.file("0.DBT"));
}

TEST(MemoFieldText, BlockNumbersInTheirField) {
  EXPECT_EQ(memoFieldText(0), "         0");
  EXPECT_EQ(memoFieldText(4294967295u), "4294967295");
  uint32_t block = 7;
  EXPECT_TRUE(memoFieldBlock("          ", block));
  EXPECT_EQ(block, 0u);
  EXPECT_TRUE(memoFieldBlock("        12", block));
  EXPECT_EQ(block, 12u);
  EXPECT_TRUE(memoFieldBlock("12        ", block));
  EXPECT_EQ(block, 12u);
  EXPECT_FALSE(memoFieldBlock("   1 2    ", block));
  EXPECT_FALSE(memoFieldBlock("  -1      ", block));
  EXPECT_FALSE(memoFieldBlock("9999999999", block));
}

TEST_F(MemoFileTest, NewFptFileHoldsItsHeader) {
  open(MemoKind::Fpt, 64);
  std::string bytes = qvtest::readFile(path);
  ASSERT_EQ(bytes.size(), 512u);
  EXPECT_EQ(be32(bytes, 0), 8u);  // the header's 512 bytes fill eight 64-byte blocks
  EXPECT_EQ(be32(bytes, 4), 64u);
  EXPECT_EQ(bytes.find_first_not_of('\0', 8), std::string::npos);
  EXPECT_EQ(memo.nextFree, 8u);
  EXPECT_EQ(write("abc"), 8u);
}

TEST_F(MemoFileTest, NewDbtFileIsOneBlockAndTheEndByte) {
  open(MemoKind::Dbt);
  std::string bytes = qvtest::readFile(path);
  ASSERT_EQ(bytes.size(), 513u);
  EXPECT_EQ(le32(bytes, 0), 1u);
  EXPECT_EQ(bytes[512], '\x1A');
  EXPECT_EQ(bytes.substr(4, 508).find_first_not_of('\0'), std::string::npos);
}

TEST_F(MemoFileTest, Fpt504BytesTakeOneBlockAnd505Two) {
  open(MemoKind::Fpt);
  EXPECT_EQ(write(std::string(504, 'a')), 1u);
  EXPECT_EQ(memo.nextFree, 2u);
  EXPECT_EQ(write(std::string(505, 'b')), 2u);
  EXPECT_EQ(memo.nextFree, 4u);
  EXPECT_EQ(write("c"), 4u);
  EXPECT_EQ(read(1), std::string(504, 'a'));
  EXPECT_EQ(read(2), std::string(505, 'b'));
  EXPECT_EQ(read(4), "c");
  std::string bytes = qvtest::readFile(path);
  EXPECT_EQ(be32(bytes, 0), 5u);
  EXPECT_EQ(be32(bytes, 512), uint32_t(MemoTypeText));
  EXPECT_EQ(be32(bytes, 516), 504u);
}

TEST_F(MemoFileTest, DbtEndBytesDecideTheBlocks) {
  open(MemoKind::Dbt);
  EXPECT_EQ(write(std::string(509, 'a')), 1u);
  EXPECT_EQ(memo.nextFree, 2u);
  EXPECT_EQ(write(std::string(510, 'b')), 2u);
  EXPECT_EQ(memo.nextFree, 4u);
  EXPECT_EQ(write("c"), 4u);
  EXPECT_EQ(read(1), std::string(509, 'a'));
  EXPECT_EQ(read(2), std::string(510, 'b'));
  std::string bytes = qvtest::readFile(path);
  EXPECT_EQ(le32(bytes, 0), 5u);
  EXPECT_EQ(bytes.substr(1024 + 510, 2), "\x1A\x1A");
  EXPECT_EQ(bytes.substr(2048, 3), "c\x1A\x1A");
}

TEST_F(MemoFileTest, FptShrunkMemoKeepsItsBlockAndGrownOneMoves) {
  open(MemoKind::Fpt);
  uint32_t first = write(std::string(300, 'a'));
  uint32_t other = write("neighbour");
  EXPECT_EQ(write("short", first, true), first);
  EXPECT_EQ(read(first), "short");
  // Room is the old length rounded up to whole blocks: 504 bytes and their
  // block header still fill one block, 505 do not.
  EXPECT_EQ(write(std::string(504, 'b'), first, true), first);
  uint32_t moved = write(std::string(505, 'c'), first, true);
  EXPECT_EQ(moved, other + 1);
  EXPECT_EQ(read(moved), std::string(505, 'c'));
  EXPECT_EQ(read(other), "neighbour");
  EXPECT_EQ(memo.nextFree, moved + 2);
  // The 505 bytes took two blocks, but their room is 512 bytes: 600 move.
  uint32_t again = write(std::string(600, 'z'), moved, true);
  EXPECT_EQ(again, moved + 2);
  EXPECT_EQ(read(moved), std::string(505, 'c'));
  // A new record never rewrites a block, even when it would fit.
  EXPECT_EQ(write("x", again, false), again + 2);
}

TEST_F(MemoFileTest, DbtRewriteInPlaceWithinItsBlocks) {
  open(MemoKind::Dbt);
  uint32_t first = write(std::string(700, 'a'));  // two blocks
  uint32_t other = write("neighbour");
  EXPECT_EQ(write(std::string(1022, 'b'), first, true), first);
  EXPECT_EQ(read(first), std::string(1022, 'b'));
  EXPECT_EQ(read(other), "neighbour");
  uint32_t moved = write(std::string(1023, 'c'), first, true);
  EXPECT_EQ(moved, other + 1);
  EXPECT_EQ(read(other), "neighbour");
  // Any memo fits the 512 bytes of its first block.
  uint32_t small = write("s");
  EXPECT_EQ(write(std::string(510, 'd'), small, true), small);
  EXPECT_EQ(read(small), std::string(510, 'd'));
}

TEST_F(MemoFileTest, RawMemosKeepTypeAndTrailingBlanks) {
  open(MemoKind::Fpt, 64);
  uint32_t block = 0;
  ASSERT_EQ(memoStore(memo, std::string("bin\0  ", 6), true, 0, false, block), StatusOk);
  MemoData data;
  ASSERT_EQ(memoRead(memo, block, kMemoNoLimit, data), StatusOk);
  EXPECT_TRUE(data.raw());
  EXPECT_EQ(data.bytes, std::string("bin\0  ", 6));
  ASSERT_EQ(memoStore(memo, std::string("text\0  ", 7), false, 0, false, block), StatusOk);
  ASSERT_EQ(memoRead(memo, block, kMemoNoLimit, data), StatusOk);
  EXPECT_FALSE(data.raw());
  EXPECT_EQ(data.bytes, "text");
}

TEST_F(MemoFileTest, EmptyMemoIsBlockZeroAndLoadsBlank) {
  open(MemoKind::Fpt);
  uint32_t block = 99;
  ASSERT_EQ(memoStore(memo, "      ", false, 0, false, block), StatusOk);
  EXPECT_EQ(block, 0u);
  EXPECT_EQ(memo.nextFree, 1u);
  uint32_t none = 0;
  EXPECT_EQ(memoWrite(memo, "", MemoTypeText, 0, false, none), ErrBadData);
  std::string buffer = "previous text";
  ASSERT_EQ(memoLoad(memo, 0, buffer), StatusOk);
  EXPECT_EQ(buffer, std::string(13, ' '));
  ASSERT_TRUE(memoFieldBlock("         0", none));
  EXPECT_EQ(none, 0u);
}

TEST_F(MemoFileTest, LoadFillsTheBufferAndRefusesLongerMemos) {
  open(MemoKind::Fpt);
  uint32_t block = write("hello");
  std::string buffer(8, 'x');
  ASSERT_EQ(memoLoad(memo, block, buffer), StatusOk);
  EXPECT_EQ(buffer, "hello   ");
  std::string small(4, 'x');
  EXPECT_EQ(memoLoad(memo, block, small), ErrBadFieldLength);
}

TEST_F(MemoFileTest, FptBlocksOutsideTheMemosAreRefused) {
  open(MemoKind::Fpt);
  uint32_t block = write("one");
  MemoData data;
  EXPECT_EQ(memoRead(memo, 0, kMemoNoLimit, data), ErrSeekFailed);
  EXPECT_EQ(memoRead(memo, block + 1, kMemoNoLimit, data), ErrSeekFailed);
  EXPECT_EQ(memoRead(memo, 0xFFFFFFFFu, kMemoNoLimit, data), ErrSeekFailed);
}

TEST_F(MemoFileTest, FptLengthBeyondTheFileIsCorrupt) {
  open(MemoKind::Fpt);
  uint32_t block = write("one");
  memoClose(memo);
  std::string bytes = qvtest::readFile(path);
  bytes[512 + 4] = '\x7F';  // a length of about 2 GB
  qvtest::writeFile(path, bytes);
  ASSERT_EQ(memoOpen(memo, path, MemoKind::Fpt, MemoAccess::ReadOnly), StatusOk);
  MemoData data;
  EXPECT_EQ(memoRead(memo, block, kMemoNoLimit, data), ErrFileCorrupted);
  EXPECT_EQ(memoRead(memo, block, 100, data), ErrBadFieldLength);
}

TEST_F(MemoFileTest, DbtWithoutEndByteIsCorruptAndLongScansStop) {
  open(MemoKind::Dbt);
  memoClose(memo);
  qvtest::writeFile(path, qvtest::readFile(path).substr(0, 512) + "no end byte here");
  ASSERT_EQ(memoOpen(memo, path, MemoKind::Dbt, MemoAccess::ReadOnly), StatusOk);
  MemoData data;
  EXPECT_EQ(memoRead(memo, 1, kMemoNoLimit, data), ErrFileCorrupted);
  EXPECT_EQ(memoRead(memo, 2, kMemoNoLimit, data), ErrSeekFailed);
  memoClose(memo);
  // A memo of 130 blocks without its end byte within the first 128.
  qvtest::writeFile(path, qvtest::readFile(path).substr(0, 512) + std::string(130 * 512, 'a') + "\x1A\x1A");
  ASSERT_EQ(memoOpen(memo, path, MemoKind::Dbt, MemoAccess::ReadOnly), StatusOk);
  EXPECT_EQ(memoRead(memo, 1, 1000, data), ErrBadFieldLength);
  ASSERT_EQ(memoRead(memo, 1, kMemoNoLimit, data), StatusOk);
  EXPECT_EQ(data.bytes.size(), 130u * 512);
}

TEST_F(MemoFileTest, DbtDbase4BlockHeadersAreRead) {
  open(MemoKind::Dbt);
  memoClose(memo);
  std::string block(512, '\0');
  std::string head("\xFF\xFF\x08\x00\x14\x00\x00\x00", 8);
  block.replace(0, 8, head);
  block.replace(8, 12, "First memo\r\n");
  qvtest::writeFile(path, qvtest::readFile(path).substr(0, 512) + block);
  ASSERT_EQ(memoOpen(memo, path, MemoKind::Dbt, MemoAccess::Exclusive), StatusOk);
  EXPECT_EQ(read(1), "First memo\r\n");
  // Rewritten in place in the dBASE III form.
  EXPECT_EQ(write("second", 1, true), 1u);
  EXPECT_EQ(read(1), "second");
}

TEST_F(MemoFileTest, OpenChecksSizeAndBlockSize) {
  path = dir.file("BAD.FPT");
  MemoFile m;
  EXPECT_EQ(memoOpen(m, path, MemoKind::Fpt, MemoAccess::ReadOnly), ErrFileNotFound);
  EXPECT_EQ(memoOpen(m, dir.file("none/X.FPT"), MemoKind::Fpt, MemoAccess::ReadOnly), ErrPathNotFound);
  qvtest::writeFile(path, std::string(511, '\0'));
  EXPECT_EQ(memoOpen(m, path, MemoKind::Fpt, MemoAccess::ReadOnly), ErrFileNotInMemoFormat);
  EXPECT_EQ(memoOpen(m, path, MemoKind::Dbt, MemoAccess::ReadOnly), ErrFileNotInMemoFormat);
  std::string header(512, '\0');
  header[7] = 32;  // block size 32
  qvtest::writeFile(path, header);
  EXPECT_EQ(memoOpen(m, path, MemoKind::Fpt, MemoAccess::ReadOnly), ErrInvalidPageSizeInBlocks);
  header[6] = 0x40, header[7] = 0x01;  // 16385
  qvtest::writeFile(path, header);
  EXPECT_EQ(memoOpen(m, path, MemoKind::Fpt, MemoAccess::ReadOnly), ErrInvalidPageSizeInBlocks);
  header[6] = 0x40, header[7] = 0x00;  // 16384
  qvtest::writeFile(path, header);
  EXPECT_EQ(memoOpen(m, path, MemoKind::Fpt, MemoAccess::ReadOnly), StatusOk);
  EXPECT_EQ(m.blockSize, 16384u);
  memoClose(m);
  EXPECT_EQ(memoCreate(path, MemoKind::Fpt, 32), ErrInvalidPageSizeInBlocks);
}

TEST_F(MemoFileTest, ReadOnlyFilesRefuseWrites) {
  open(MemoKind::Fpt);
  write("x");
  memoClose(memo);
  ASSERT_EQ(memoOpen(memo, path, MemoKind::Fpt, MemoAccess::ReadOnly), StatusOk);
  uint32_t block = 0;
  EXPECT_EQ(memoWrite(memo, "y", MemoTypeText, 0, false, block), ErrFileOpenForReadingOnly);
  EXPECT_EQ(read(1), "x");
}

TEST_F(MemoFileTest, SharedWritesTakeTheLockAndSeeOthersMemos) {
  open(MemoKind::Fpt, 512, MemoAccess::Shared);
  MemoFile other;
  ASSERT_EQ(memoOpen(other, path, MemoKind::Fpt, MemoAccess::Shared), StatusOk);
  uint32_t a = write("from the first");
  uint32_t b = 0;
  // The second handle reads the next free block again when it locks.
  ASSERT_EQ(memoWrite(other, "from the second", MemoTypeText, 0, false, b), StatusOk);
  EXPECT_EQ(b, a + 1);
  ASSERT_EQ(memoLock(memo), StatusOk);
  EXPECT_EQ(memoLock(other), ErrLockConflict);
  EXPECT_EQ(memoWrite(other, "refused", MemoTypeText, 0, false, b), ErrFileMustBeLockedFirst);
  EXPECT_EQ(memo.nextFree, a + 2);
  EXPECT_EQ(write("third"), a + 2);
  ASSERT_EQ(memoUnlock(memo), StatusOk);
  ASSERT_EQ(memoWrite(other, "fourth", MemoTypeText, 0, false, b), StatusOk);
  EXPECT_EQ(b, a + 3);
  EXPECT_EQ(read(b), "fourth");
  memoClose(other);
}

TEST_F(MemoFileTest, PackCopiesLiveMemosAndKeepsTheOldFileAsBackup) {
  open(MemoKind::Fpt, 64);
  uint32_t dead = write(std::string(200, 'd'));
  uint32_t live = write("live memo");
  uint32_t raw = 0;
  ASSERT_EQ(memoWrite(memo, std::string("r\0w", 3), MemoTypeRaw, 0, false, raw), StatusOk);
  (void)dead;
  std::string before = qvtest::readFile(path);
  MemoPack pack;
  ASSERT_EQ(memoPackBegin(memo, pack), StatusOk);
  EXPECT_EQ(pack.freshPath, dir.file("0.FPT"));
  uint32_t newLive = 0, newRaw = 0, none = 7;
  ASSERT_EQ(memoPackCopy(memo, pack, live, newLive), StatusOk);
  ASSERT_EQ(memoPackCopy(memo, pack, raw, newRaw), StatusOk);
  ASSERT_EQ(memoPackCopy(memo, pack, 0, none), StatusOk);
  EXPECT_EQ(none, 0u);
  ASSERT_EQ(memoPackFinish(memo, pack), StatusOk);
  EXPECT_EQ(newLive, 8u);
  EXPECT_EQ(read(newLive), "live memo");
  MemoData data;
  ASSERT_EQ(memoRead(memo, newRaw, kMemoNoLimit, data), StatusOk);
  EXPECT_TRUE(data.raw());
  EXPECT_EQ(data.bytes, std::string("r\0w", 3));
  EXPECT_EQ(memo.blockSize, 64u);
  EXPECT_EQ(qvtest::readFile(dir.file("T.BKT")), before);
  EXPECT_FALSE(std::filesystem::exists(dir.file("0.FPT")));
  EXPECT_LT(qvtest::readFile(path).size(), before.size());
}

TEST_F(MemoFileTest, PackReplacesAnOldBackupAndAbortLeavesTheFile) {
  open(MemoKind::Dbt);
  uint32_t block = write("kept");
  qvtest::writeFile(dir.file("T.BKT"), "stale backup");
  MemoPack pack;
  ASSERT_EQ(memoPackBegin(memo, pack), StatusOk);
  EXPECT_EQ(pack.freshPath, dir.file("0.DBT"));
  memoPackAbort(pack);
  EXPECT_FALSE(std::filesystem::exists(dir.file("0.DBT")));
  EXPECT_EQ(read(block), "kept");
  ASSERT_EQ(memoPackBegin(memo, pack), StatusOk);
  uint32_t moved = 0;
  ASSERT_EQ(memoPackCopy(memo, pack, block, moved), StatusOk);
  ASSERT_EQ(memoPackFinish(memo, pack), StatusOk);
  EXPECT_EQ(moved, 1u);
  EXPECT_EQ(read(moved), "kept");
  EXPECT_NE(qvtest::readFile(dir.file("T.BKT")), "stale backup");
}

}  // namespace
