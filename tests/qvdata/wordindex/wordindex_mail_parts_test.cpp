// The word indexer's view of a stored mail text that still holds its MIME
// structure: the part it indexes is chosen by the decoder's reading of
// content types.
#include <gtest/gtest.h>

#include <string>

#include "wordindex/index_text.h"
#include "wordindex/word_tables.h"

using namespace qv;

namespace {

std::string indexed(std::string_view text) {
  std::string out;
  forEachIndexedPart(text, KindMailDb, false, [&](std::string_view p) {
    out += p;
    out += '|';
  });
  return out;
}

TEST(WordIndexMailParts, BareOrBrokenTextTypesAreThePlainPart) {
  setDefaultWordTables();
  for (std::string type : {"text", "text; charset=us-ascii", "plain/text", "bogus", ""}) {
    SCOPED_TRACE(type);
    std::string multi =
        "Content-Type: multipart/mixed; boundary=\"XYZ\"\r\n\r\n--XYZ\r\nContent-Type: application/octet-stream\r\n\r\n"
        "QUJDREVGR0g=\r\n--XYZ\r\nContent-Type: " + type + "\r\n\r\nthe plain words\r\n--XYZ--\r\n";
    EXPECT_EQ(indexed(multi), "the plain words|");
  }
}

}  // namespace
