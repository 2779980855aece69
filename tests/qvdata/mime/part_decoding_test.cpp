// The content of MIME parts decoded as the sender meant it: uuencoded parts
// as uudecode reads them, base64 without its padding, base64 that holds
// plain words, forwarded messages in base64; parts that cannot be decoded
// named as damaged; the text of a message never hidden behind an attachment
// line; and every leaf of the mimetools messages equal to its decoded file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "mime/message_parts.h"
#include "mime/mime_message.h"
#include "mime/uudecode.h"
#include "originals/original_packing.h"
#include "support/temp_dir.h"
#include "support/transfer_encodings.h"

using qv::mime::decodeMessage;
using qv::mime::DecodedMessage;
using qv::mime::listParts;
using qv::mime::MessagePart;
using qv::mime::partBytes;
using qvtest::base64;
using qvtest::uuencodeLines;
namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

bool contains(const std::string& hay, std::string_view needle) { return hay.find(needle) != std::string::npos; }

std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string noCr(std::string s) {
  s.erase(std::remove(s.begin(), s.end(), '\r'), s.end());
  return s;
}

class CorpusMessage : public ::testing::Test {
 protected:
  void SetUp() override {
    corpus_ = qvtest::corpusDir();
    if (corpus_.empty()) GTEST_SKIP() << "the sample corpus folder (shared/corpus) is absent";
  }
  std::string eml(const std::string& name) { return readFile(corpus_ + "/eml/" + name); }
  std::string corpus_;
};

// A message with one attachment part of the given headers and content.
std::string withPart(const std::string& partHeaders, const std::string& content) {
  return "Subject: part\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n--b\n"
         "Content-Type: text/plain\n\nSee the attachment.\n--b\n" +
         partHeaders + "\n" + content + "--b--\n";
}

std::string randomBytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (char& c : s) c = char(rng());
  return s;
}

TEST_F(CorpusMessage, UuencodedPartIsDecodedWhole) {
  // Some encoded lines lost their trailing blanks on the way: they are data.
  std::string raw = eml("mailparser/mail_test_15");
  std::vector<MessagePart> parts = listParts(raw);
  auto zip = std::find_if(parts.begin(), parts.end(), [](const MessagePart& p) { return p.name == "REQUEST FOR QUOTE.zip"; });
  ASSERT_NE(zip, parts.end());
  EXPECT_EQ(zip->size, 251141u);
  EXPECT_EQ(zip->damage, "");
  std::optional<std::string> bytes = partBytes(raw, zip->number);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(bytes->substr(0, 4), "PK\x03\x04");
  EXPECT_EQ(qv::originalHash(*bytes), "ca14eb36578710df5f903bc19bd364de2eb27cb64e08cdad5e6b8758f17067cd")
      << "the bytes Python's email package decodes";
  EXPECT_TRUE(contains(decodeMessage(raw).text, "[Attachment: REQUEST FOR QUOTE.zip, application/zip, 251141 bytes]"));
}

TEST(PartDecoding, UuencodedLinesWithoutTheirTrailingBlanks) {
  std::string data = randomBytes(4000, 3);
  for (char& c : data)
    if (c % 5 == 0) c = 0;  // many zero bits: many blanks at line ends
  for (bool strip : {false, true}) {
    SCOPED_TRACE(strip ? "blanks stripped" : "blanks kept");
    std::string lines = "begin 644 data.bin\n" + uuencodeLines(data, strip) + "end\n";
    std::string raw = withPart("Content-Type: application/octet-stream; name=data.bin\n"
                               "Content-Transfer-Encoding: x-uuencode\n", lines);
    EXPECT_EQ(partBytes(raw, 2), data);
    EXPECT_TRUE(contains(decodeMessage(raw).text, "[Attachment: data.bin, application/octet-stream, 4000 bytes]"));
    // The same lines as a block in plain text.
    std::string inText = "Subject: block\n\nHere it is:\n" + lines + "Bye.\n";
    std::vector<MessagePart> parts = listParts(inText);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[1].size, 4000u);
    EXPECT_EQ(partBytes(inText, 2), data);
  }
}

TEST(PartDecoding, UuencodedDataThatCannotBeDecodedIsNamedDamaged) {
  struct Case {
    const char* what;
    std::string content;
    qv::mime::UuDamage damage;
  };
  std::string encoded = uuencodeLines("Some bytes of a file", false);
  const Case cases[] = {
      {"no begin line", "This is no uuencoded data at all.\n", qv::mime::UuDamage::NoBegin},
      {"cut short", "begin 644 a.bin\n" + encoded.substr(0, 10) + "\n", qv::mime::UuDamage::NoEnd},
      {"letters that are no uuencoding", "begin 644 a.bin\nM<this is plain text>\nend\n", qv::mime::UuDamage::BadLine},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    qv::mime::UuDamage damage;
    qv::mime::uudecode(c.content, damage);
    EXPECT_EQ(damage, c.damage);
    std::string raw = withPart("Content-Type: application/zip; name=a.zip\nContent-Transfer-Encoding: x-uuencode\n",
                               c.content);
    std::vector<MessagePart> parts = listParts(raw);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[1].damage, qv::mime::uuDamageText(c.damage));
    DecodedMessage m = decodeMessage(raw);
    ASSERT_EQ(m.attachments.size(), 1u);
    EXPECT_TRUE(m.attachments[0].damaged);
    EXPECT_TRUE(contains(m.text, ", damaged]")) << m.text;
    EXPECT_EQ(qv::mime::attachmentLineOf(parts[1]), qv::mime::attachmentLine(m.attachments[0]));
  }
  // A uuencoded block in plain text that stops before its end line.
  std::string cut = "Subject: cut\n\nbegin 644 cut.bin\n" + uuencodeLines(std::string(200, 'x'), false).substr(0, 124);
  std::vector<MessagePart> parts = listParts(cut);
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_NE(parts[1].damage, "");
  EXPECT_TRUE(contains(decodeMessage(cut).text, "[Attachment: cut.bin, application/octet-stream, 90 bytes, damaged]"));
}

TEST_F(CorpusMessage, Base64PaddingEndsTheDataAndItsLackLosesNothing) {
  std::string raw = withPart("Content-Type: text/plain; name=a.txt\nContent-Disposition: attachment\n"
                             "Content-Transfer-Encoding: base64\n",
                             "aGVsbG8\n");
  EXPECT_EQ(partBytes(raw, 2), std::string("hello"));
  // The truncated PDF of the enmime tests: 524 bytes, the last two of them
  // in a group of three characters.
  std::string pdf = eml("enmime/testdata_mail_inlinemultipart.raw");
  std::vector<MessagePart> parts = listParts(pdf);
  ASSERT_GE(parts.size(), 2u);
  EXPECT_EQ(parts[1].name, "test.pdf");
  EXPECT_EQ(parts[1].size, 524u);
  EXPECT_EQ(partBytes(pdf, 2)->substr(520), "JXFx");
  // The padding ends the data: a broken closing boundary and the text after
  // it are none of it.
  EXPECT_EQ(partBytes(eml("enmime/testdata_mail_epilogue-sample.raw"), 2), std::string("<html>\n"));
}

TEST_F(CorpusMessage, Base64ThatHoldsWordsIsKeptAsWritten) {
  DecodedMessage m = decodeMessage(eml("enmime/testdata_mail_mime-bad-content-transfer-encoding.raw"));
  EXPECT_TRUE(contains(m.text, "ploozdect  nispplul swunkglap zarplontruskdremp fruftsist")) << m.text.substr(0, 300);
  EXPECT_TRUE(contains(m.text, "[Damaged text: it is not base64 as declared: kept as written]"));
  // Broken base64 without blanks is still base64.
  m = decodeMessage("Content-Transfer-Encoding: base64\n\nSGVsbG8*!gV29y\nbGQ=\n");
  EXPECT_TRUE(contains(m.text, "Hello"));
  EXPECT_FALSE(contains(m.text, "Damaged"));
  // An attachment that holds words is damaged: never saved as wrong bytes.
  std::string raw = withPart("Content-Type: image/gif; name=x.gif\nContent-Transfer-Encoding: base64\n",
                             "Some removed base64 encoded chars.\n");
  std::vector<MessagePart> parts = listParts(raw);
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_NE(parts[1].damage, "");
}

TEST_F(CorpusMessage, TheTextIsNeverAnAttachmentOfItsOwn) {
  // No empty line after the header block: the multipart still shows its text.
  DecodedMessage m = decodeMessage(eml("enmime/testdata_mail_qp-utf8-header-no-break.raw"));
  EXPECT_TRUE(contains(m.text, "Lorem ipsum dolor sit amet, consectetur adipiscing elit.")) << m.text.substr(0, 300);
  EXPECT_FALSE(contains(m.text, "[Attachment: unnamed, multipart/")) << m.text.substr(0, 300);
  EXPECT_TRUE(m.attachments.empty());
  // Two Content-Type headers: the first counts.
  std::string body = "--b\nContent-Type: text/plain\n\nThe words of the mail.\n--b--\n";
  m = decodeMessage("Subject: two\nContent-Type: multipart/mixed; boundary=b\nContent-Type: text/plain\n\n" + body);
  EXPECT_EQ(m.text, "The words of the mail.\r\n");
  m = decodeMessage("Subject: two\nContent-Type: text/plain\nContent-Type: multipart/mixed; boundary=b\n\n" + body);
  EXPECT_TRUE(contains(m.text, "The words of the mail.")) << m.text;
  EXPECT_TRUE(m.attachments.empty());
  // A part that says multipart but that GMime reads as a leaf is text.
  m = decodeMessage(withPart("Content-Type: multipart/mixed; boundary=inner\nContent-Type: text/plain\n",
                             "Text of a part with two types.\n"));
  EXPECT_TRUE(contains(m.text, "Text of a part with two types.")) << m.text;
  EXPECT_FALSE(contains(m.text, "multipart/mixed")) << m.text;
}

TEST(PartDecoding, NulBytesInTextAreBlanksNotBinaryData) {
  DecodedMessage m = decodeMessage("Subject: nul\nContent-Type: text/plain\n\nHello\0\0\0\0\0 world\n"s);
  EXPECT_EQ(m.text, "Hello      world\r\n");
  EXPECT_TRUE(m.attachments.empty());
  // Binary data in a text part is still an attachment, and so are NUL bytes alone.
  m = decodeMessage("Subject: bin\nContent-Type: text/plain\n\n" + randomBytes(300, 5));
  ASSERT_EQ(m.attachments.size(), 1u);
  m = decodeMessage("Subject: nuls\nContent-Type: text/plain\n\n" + std::string(30, '\0'));
  ASSERT_EQ(m.attachments.size(), 1u);
}

TEST_F(CorpusMessage, ForwardedMessageInBase64IsReadAsAMessage) {
  std::string raw = eml("mime4j/mimetools-testmsgs/multi-2gifs-base64.msg");
  DecodedMessage m = decodeMessage(raw);
  EXPECT_TRUE(contains(m.text, "---------- Forwarded message ----------")) << m.text;
  EXPECT_TRUE(contains(m.text, "When unpacked, this message should produce two GIF files")) << m.text;
  EXPECT_TRUE(contains(m.text, "[Attachment: 3d-compress.gif, image/gif, 419 bytes]")) << m.text;
  EXPECT_EQ(listParts(raw).size(), 3u);
}

TEST_F(CorpusMessage, MimetoolsLeafPartsEqualTheirDecodedFiles) {
  // The decoded files the messages come with, besides those that read the
  // message otherwise than Python's email package and this decoder do:
  const std::set<std::string> readOtherwise = {
      "hdr-fakeout_decoded_1.txt",               // drops the text after a header line of blanks
      "2002_06_12_doublebound_decoded_1_2.txt",  // an empty part between two boundary lines
      "x-gzip64_decoded_1.txt",                  // gunzips a transfer encoding no standard names
      // drop the last group of base64 whose padding is missing (Python keeps it, as we do)
      "frag_decoded_1_2_1_2_1_2_1_2.bin",
      "multi-frag_decoded_1_3_2.bin",
  };
  fs::path dir = corpus_ + "/eml/mime4j/mimetools-testmsgs";
  int files = 0, lineEnds = 0;
  for (const auto& e : fs::directory_iterator(dir)) {
    if (e.path().extension() != ".msg") continue;
    std::string raw = readFile(e.path());
    std::vector<std::string> saved;
    qv::mime::forEachPart(raw, [&](const MessagePart&, std::string& bytes) { saved.push_back(bytes); });
    std::string stem = e.path().stem().string() + "_decoded_";
    for (const auto& d : fs::directory_iterator(dir)) {
      std::string name = d.path().filename().string();
      if (name.rfind(stem, 0) != 0 || d.path().extension() == ".xml" || readOtherwise.count(name)) continue;
      SCOPED_TRACE(name);
      ++files;
      std::string want = readFile(d.path());
      if (std::find(saved.begin(), saved.end(), want) != saved.end()) continue;
      // Text the message writes with LF alone, which the decoded file writes with CR LF.
      ++lineEnds;
      bool equal = std::any_of(saved.begin(), saved.end(), [&](const std::string& s) { return s == noCr(want); });
      EXPECT_TRUE(equal) << "no part of " << e.path().filename() << " equals it";
    }
  }
  EXPECT_EQ(files, 117);
  EXPECT_LE(lineEnds, 6);
}

TEST(PartDecoding, EveryPartIsGivenOnceInOneWalk) {
  std::string raw = withPart("Content-Type: application/octet-stream; name=a.bin\nContent-Transfer-Encoding: base64\n",
                             base64(randomBytes(1000, 9))) +
                    "";
  raw.insert(raw.find("See the attachment.\n") + 20, "begin 644 b.bin\n" + uuencodeLines("block", false) + "end\n");
  std::vector<MessagePart> listed = listParts(raw);
  ASSERT_EQ(listed.size(), 3u);
  int n = 0;
  qv::mime::forEachPart(raw, [&](const MessagePart& p, std::string& bytes) {
    ++n;
    EXPECT_EQ(p.number, n);
    EXPECT_EQ(p.name, listed[size_t(n - 1)].name);
    EXPECT_EQ(std::optional<std::string>(bytes), partBytes(raw, n));
  });
  EXPECT_EQ(n, 3);
}

}  // namespace
