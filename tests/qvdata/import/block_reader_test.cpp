// The bounded sequential reader over files opened as byte blocks: bytes,
// look-ahead and lines across the 10000-byte blocks it reads.
#include <gtest/gtest.h>

#include <string>

#include "dictionary/dictionary.h"
#include "import/parsers/block_reader.h"
#include "import/parsers/mail_lines.h"
#include "support/temp_dir.h"

using qv::BlockReader;

namespace {

class BlockReaderTest : public ::testing::Test {
 protected:
  void open(const std::string& bytes) {
    path_ = dir_.file("blocks.bin");
    qvtest::writeFile(path_, bytes);
    qv::RawFile.setName(path_);
    ASSERT_TRUE(qv::RawFile.open(qv::Share::ReadOnly));
  }
  void TearDown() override { qv::RawFile.close(); }

  // Bytes whose value tells their offset.
  static std::string pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return s;
  }

  qvtest::TempDir dir_;
  std::string path_;
};

TEST_F(BlockReaderTest, BytesAcrossBlocks) {
  std::string data = pattern(35001);
  open(data);
  BlockReader r(qv::RawFile);
  std::string got;
  for (int c; (c = r.get()) >= 0;) got.push_back(static_cast<char>(c));
  EXPECT_EQ(got, data);
  EXPECT_TRUE(r.atEnd());
  EXPECT_EQ(r.position(), 35001);
  EXPECT_EQ(r.peek(), -1);

  // Look-ahead past the block in the window, and reads after it.
  r.seek(9995);
  EXPECT_EQ(r.peek(10), static_cast<unsigned char>(data[10005]));
  EXPECT_EQ(r.peek(9000), static_cast<unsigned char>(data[18995]));
  EXPECT_EQ(r.get(), static_cast<unsigned char>(data[9995]));
  EXPECT_TRUE(r.startsWith(data.substr(9996, 20)));
  EXPECT_FALSE(r.startsWith("definitely not there"));
  std::string chunk;
  EXPECT_EQ(r.read(chunk, 15000), 15000u);
  EXPECT_EQ(chunk, data.substr(9996, 15000));
  EXPECT_EQ(r.position(), 24996);

  // Reads and skips stop at the end of the file.
  chunk.clear();
  EXPECT_EQ(r.read(chunk, 20000), 35001u - 24996u);
  r.seek(30000);
  r.skip(100000);
  EXPECT_EQ(r.position(), 35001);
  r.seek(50000);
  EXPECT_TRUE(r.atEnd());
  r.rewind();
  EXPECT_EQ(r.get(), static_cast<unsigned char>(data[0]));
}

TEST_F(BlockReaderTest, LinesAcrossBlocks) {
  // A CR LF split between two blocks, a line longer than a block, LF-only
  // lines and a last line without an end.
  std::string first(9999, 'a');
  std::string longLine(25000, 'b');
  std::string data = first + "\r\n" + longLine + "\r\nshort\nlast";
  open(data);
  BlockReader r(qv::RawFile);
  std::string line;
  ASSERT_TRUE(r.readLine(line));
  EXPECT_EQ(line, first);
  ASSERT_TRUE(r.readLine(line));
  EXPECT_EQ(line, longLine);
  ASSERT_TRUE(r.readLine(line));
  EXPECT_EQ(line, "short");
  EXPECT_TRUE(r.lineEnded());
  ASSERT_TRUE(r.readLine(line));
  EXPECT_EQ(line, "last");
  EXPECT_FALSE(r.lineEnded());  // ended by the file, not by a line end
  EXPECT_FALSE(r.readLine(line));

  // Long lines come in pieces of the length asked for; a length of 0 still
  // moves on.
  r.seek(10001);
  ASSERT_TRUE(r.readLine(line, 10000));
  EXPECT_EQ(line, std::string(10000, 'b'));
  EXPECT_FALSE(r.lineEnded());  // the line goes on in the next piece
  ASSERT_TRUE(r.readLine(line, 0));
  EXPECT_EQ(line, "b");
  EXPECT_EQ(r.position(), 10001 + 10001);
  ASSERT_TRUE(r.readLine(line, 15001));
  EXPECT_EQ(line, std::string(14999, 'b'));
  EXPECT_TRUE(r.lineEnded());
}

TEST_F(BlockReaderTest, LoneCrEndsLinesWhenAsked) {
  // Classic Mac line ends, with a CR LF whose CR ends a block.
  std::string data = "one\rtwo\r" + std::string(9990, 'c') + "\r\nthree\r";
  ASSERT_EQ(data.find("\r\n"), 9998u);
  open(data);
  BlockReader r(qv::RawFile);
  std::string line;
  ASSERT_TRUE(r.readLine(line, 64000, true));
  EXPECT_EQ(line, "one");
  ASSERT_TRUE(r.readLine(line, 64000, true));
  EXPECT_EQ(line, "two");
  ASSERT_TRUE(r.readLine(line, 64000, true));
  EXPECT_EQ(line, std::string(9990, 'c'));
  ASSERT_TRUE(r.readLine(line, 64000, true));
  EXPECT_EQ(line, "three");
  EXPECT_TRUE(r.lineEnded());
  EXPECT_FALSE(r.readLine(line, 64000, true));

  // Without the switch a lone CR is part of the line.
  r.rewind();
  ASSERT_TRUE(r.readLine(line));
  EXPECT_EQ(line, "one\rtwo\r" + std::string(9990, 'c'));
}

TEST_F(BlockReaderTest, EmptyFile) {
  open("");
  BlockReader r(qv::RawFile);
  std::string line;
  EXPECT_TRUE(r.atEnd());
  EXPECT_EQ(r.get(), -1);
  EXPECT_FALSE(r.readLine(line));
  EXPECT_EQ(r.read(line, 10), 0u);
}

TEST_F(BlockReaderTest, MailLinesLookAheadAndGiveBackInOrder) {
  // A long line comes in pieces: the next piece does not start a line.
  std::string longLine(qv::mail::kPiece + 10, 'L');
  open("one\n" + longLine + "\nthree\nfour");
  BlockReader r(qv::RawFile);
  qv::mail::MailLines lines(r);
  qv::mail::MailLine a, b, c;
  ASSERT_NE(lines.peek(), nullptr);
  EXPECT_EQ(lines.peek()->text, "one");
  ASSERT_TRUE(lines.next(a));
  EXPECT_EQ(a.text, "one");
  ASSERT_TRUE(lines.next(b));
  EXPECT_EQ(b.text.size(), qv::mail::kPiece);
  EXPECT_TRUE(b.start);
  EXPECT_FALSE(b.ended);
  const qv::mail::MailLine* rest = lines.peek();
  ASSERT_NE(rest, nullptr);
  EXPECT_EQ(rest->text, std::string(10, 'L'));
  EXPECT_FALSE(rest->start);
  EXPECT_TRUE(rest->ended);
  // Pieces given back come again, the last given first, before the one
  // looked at.
  lines.unget(b);
  lines.unget(a);
  ASSERT_TRUE(lines.next(c));
  EXPECT_EQ(c.text, "one");
  EXPECT_EQ(lines.peek()->text.size(), qv::mail::kPiece);
  ASSERT_TRUE(lines.next(c));
  EXPECT_EQ(c.text.size(), qv::mail::kPiece);
  ASSERT_TRUE(lines.next(c));
  EXPECT_EQ(c.text, std::string(10, 'L'));
  ASSERT_TRUE(lines.next(c));
  EXPECT_EQ(c.text, "three");
  ASSERT_TRUE(lines.next(c));
  EXPECT_EQ(c.text, "four");
  EXPECT_FALSE(c.ended);
  EXPECT_EQ(lines.peek(), nullptr);
  EXPECT_FALSE(lines.next(c));
}

}  // namespace
