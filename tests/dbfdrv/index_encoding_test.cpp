// Key value encodings and the packing of compact leaves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "index/index_page.h"
#include "index/key_encoding.h"
#include "support/temp_dir.h"
#include "table/engine_status.h"

using namespace dbf;

namespace {

std::string hex(const std::string& s) {
  static const char* d = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    out += d[c >> 4];
    out += d[c & 15];
  }
  return out;
}

TEST(KeyEncoding, NumbersSortByValueNegativeBeforePositive) {
  EXPECT_EQ(hex(encodeNumberKey(0.0)), "8000000000000000");
  EXPECT_EQ(hex(encodeNumberKey(-0.0)), "8000000000000000");
  EXPECT_EQ(hex(encodeNumberKey(1.0)), "BFF0000000000000");
  EXPECT_EQ(hex(encodeNumberKey(-1.0)), "400FFFFFFFFFFFFF");
  const double ordered[] = {-1e300, -12.5, -1, -0.25, 0, 0.5, 1, 2, 1e10, 1e300};
  for (std::size_t i = 1; i < std::size(ordered); ++i)
    EXPECT_LT(compareKeyBytes(encodeNumberKey(ordered[i - 1]), encodeNumberKey(ordered[i])), 0) << ordered[i];
  for (double d : ordered) EXPECT_EQ(decodeNumberKey(encodeNumberKey(d)), d);
}

TEST(KeyEncoding, DatesAreDayNumbersAndABlankDateSortsFirst) {
  long n = 0;
  ASSERT_TRUE(dayNumber(1970, 1, 1, n));
  EXPECT_EQ(n, 2440588);
  ASSERT_TRUE(dayNumber(2000, 1, 1, n));
  EXPECT_EQ(n, 2451545);
  ASSERT_TRUE(dayNumber(2000, 3, 1, n));  // 2000 is a leap year: February has 29 days
  EXPECT_EQ(n, 2451545 + 31 + 29);
  ASSERT_TRUE(dayNumber(1987, 3, 1, n));
  EXPECT_EQ(n, 2446856);
  EXPECT_FALSE(dayNumber(1900, 2, 29, n));
  EXPECT_FALSE(dayNumber(2023, 13, 1, n));
  EXPECT_EQ(encodeDateKey("19700101"), encodeNumberKey(2440588));
  const std::string blank = encodeDateKey("        ");
  EXPECT_EQ(hex(blank), "8000000000000000");
  EXPECT_EQ(encodeDateKey("20230230"), blank);  // invalid day
  EXPECT_EQ(encodeDateKey("19x00101"), blank);
  EXPECT_LT(compareKeyBytes(blank, encodeDateKey("00010101")), 0);
  EXPECT_LT(compareKeyBytes(encodeDateKey("18991231"), encodeDateKey("19000101")), 0);
  EXPECT_LT(compareKeyBytes(encodeDateKey("19000228"), encodeDateKey("19000301")), 0);
  EXPECT_LT(compareKeyBytes(encodeDateKey("21001231"), encodeDateKey("21010101")), 0);
}

TEST(KeyEncoding, TextKeysArePaddedOrCutAndCompareByBytes) {
  EXPECT_EQ(encodeTextKey("AB", 4), "AB  ");
  EXPECT_EQ(encodeTextKey("ABCDEF", 4), "ABCD");
  EXPECT_LT(compareKeyBytes("BAY 7", "Bay  1"), 0);
  EXPECT_LT(compareKeyBytes("MacGrfx", "Mach Rm"), 0);
  EXPECT_LT(compareKeyBytes("A\x7f", "A\x80"), 0);  // bytes above 127 sort last
}

IndexNode leafOf(const std::vector<std::pair<std::string, uint32_t>>& keys) {
  IndexNode n;
  n.offset = 1024;
  for (const auto& [k, r] : keys) n.entries.push_back(IndexEntry{k, r, 0});
  return n;
}

TEST(CompactLeaf, WidthsFollowTheKeyLengthAndTheHighestRecord) {
  LeafPacking p = leafPacking(4, 16, 0);
  EXPECT_EQ(p.duplicateBits, 3);
  EXPECT_EQ(p.trailingBits, 3);
  EXPECT_EQ(p.bytesPerEntry, 2);
  EXPECT_EQ(p.recordBits, 10);
  p = leafPacking(10, 4608, 0);
  EXPECT_EQ(p.bytesPerEntry, 3);
  EXPECT_EQ(p.recordBits, 16);
  p = leafPacking(100, 0xFFFFFFFFu, 0);
  EXPECT_EQ(p.recordBits, kMaxRecordBits);
  p = leafPacking(4, 1, 20);  // a page never narrows its record field
  EXPECT_EQ(p.bytesPerEntry, 4);
}

TEST(CompactLeaf, APageFilledToItsLastByteHoldsAndOneMoreKeyDoesNot) {
  TreeShape shape{IndexFormat::Compact, 10, ' '};
  // 40 keys of 10 bytes (2-byte entries) take 480 bytes, and one key with
  // four trailing blanks 8 more: exactly the 488 of a leaf.
  std::vector<std::pair<std::string, uint32_t>> keys;
  for (int i = 0; i < 40; ++i) {
    char k[16];
    std::snprintf(k, sizeof k, "%c%09d", '0' + i, i);
    keys.emplace_back(k, static_cast<uint32_t>(i + 1));
  }
  std::sort(keys.begin(), keys.end());
  keys.emplace_back("ZZZZZZ    ", 200);
  IndexNode full = leafOf(keys);
  EXPECT_EQ(compactLeafFreeBytes(full, shape), 0);
  uint8_t page[kIndexPageSize];
  ASSERT_TRUE(encodeNode(full, shape, page));
  EXPECT_EQ(page[12] | (page[13] << 8), 0);  // no free bytes left
  IndexNode back;
  ASSERT_EQ(decodeNode(page, 1024, shape, back), StatusOk);
  ASSERT_EQ(back.entries.size(), keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) {
    EXPECT_EQ(back.entries[i].key, keys[i].first);
    EXPECT_EQ(back.entries[i].record, keys[i].second);
  }
  IndexNode over = full;
  over.entries.push_back(IndexEntry{"ZZZZZZZ   ", 201, 0});
  EXPECT_FALSE(nodeFits(over, shape));
  EXPECT_FALSE(encodeNode(over, shape, page));
  // A record number above the page's field widens every entry: the full
  // page no longer holds its keys.
  IndexNode wider = full;
  wider.entries.back().record = 4096;
  EXPECT_LT(compactLeafFreeBytes(wider, shape), 0);
  // Shared leading bytes and dropped trailing blanks are not stored.
  IndexNode shared = leafOf({{"SMITH     ", 1}, {"SMITHSON  ", 2}, {"SMITHSONS ", 3}});
  EXPECT_EQ(compactLeafFreeBytes(shared, shape), kCompactLeafSpace - 3 * 2 - (5 + 3 + 1));
  ASSERT_TRUE(encodeNode(shared, shape, page));
  ASSERT_EQ(decodeNode(page, 1024, shape, back), StatusOk);
  EXPECT_EQ(back.entries[2].key, "SMITHSONS ");
}

TEST(CompactLeaf, BinaryKeysDropTrailingZeros) {
  TreeShape shape{IndexFormat::Compact, 8, '\0'};
  IndexNode n = leafOf({{encodeNumberKey(1.0), 1}, {encodeNumberKey(2.0), 2}});
  // 1.0 is BF F0 and six zeros; 2.0 is C0 00 and six zeros.
  EXPECT_EQ(compactLeafFreeBytes(n, shape), kCompactLeafSpace - 2 * 2 - 2 - 1);
  uint8_t page[kIndexPageSize];
  ASSERT_TRUE(encodeNode(n, shape, page));
  IndexNode back;
  ASSERT_EQ(decodeNode(page, 1024, shape, back), StatusOk);
  EXPECT_EQ(back.entries[1].key, encodeNumberKey(2.0));
}

TEST(CompactLeaf, DamagedPagesAreRefused) {
  TreeShape shape{IndexFormat::Compact, 10, ' '};
  uint8_t page[kIndexPageSize] = {};
  page[0] = 3;
  page[2] = 200;  // 200 entries of 3 bytes do not fit 488
  page[20] = 16; page[21] = 4; page[22] = 4; page[23] = 3;
  IndexNode out;
  EXPECT_EQ(decodeNode(page, 1024, shape, out), ErrBadMaximumNumberOfKeysPerPage);
  page[2] = 2;
  page[23] = 9;
  EXPECT_EQ(decodeNode(page, 1024, shape, out), ErrFileCorrupted);
  page[23] = 3;
  page[24] = 0; page[25] = 0; page[26] = 0x0F;  // first entry claims shared bytes
  EXPECT_EQ(decodeNode(page, 1024, shape, out), ErrFileCorrupted);
  TreeShape plain{IndexFormat::Plain, 10, ' '};
  uint8_t p2[kIndexPageSize] = {};
  p2[0] = 3;
  p2[2] = 40;  // a plain page holds 35 keys of 10 bytes
  EXPECT_EQ(decodeNode(p2, 512, plain, out), ErrBadMaximumNumberOfKeysPerPage);
}

// The leaves of another writer's files are packed exactly as this driver
// packs them: decoding and encoding again gives the same bytes (but for the
// attribute word, where that writer sets a bit of its own).
TEST(CompactLeaf, ReencodedCorpusLeavesEqualTheOriginalBytes) {
  std::string dir = qvtest::corpusDir();
  std::string path = dir + "/dbf/infused-dbf/foxprodb/calls.CDX";
  if (dir.empty() || !std::filesystem::exists(path)) GTEST_SKIP() << "corpus absent";
  std::ifstream in(path, std::ios::binary);
  std::string b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  struct Leaf { std::size_t offset; int keyLength; char pad; };
  for (const Leaf& l : {Leaf{1024, 10, ' '}, Leaf{2560, 4, '\0'}}) {
    TreeShape shape{IndexFormat::Compact, l.keyLength, l.pad};
    const uint8_t* original = reinterpret_cast<const uint8_t*>(b.data()) + l.offset;
    IndexNode n;
    ASSERT_EQ(decodeNode(original, static_cast<uint32_t>(l.offset), shape, n), StatusOk);
    uint8_t page[kIndexPageSize];
    ASSERT_TRUE(encodeNode(n, shape, page));
    // The header, the entries and the key bytes; the free space between
    // entries and keys may hold anything.
    int freeBytes = page[12] | (page[13] << 8);
    int entriesEnd = kCompactLeafHeaderSize + static_cast<int>(n.entries.size()) * page[23];
    for (int i = 2; i < kIndexPageSize; ++i)
      if (i < entriesEnd || i >= entriesEnd + freeBytes) {
        ASSERT_EQ(page[i], original[i]) << "leaf at " << l.offset << ", byte " << i;
      }
  }
}

}  // namespace
