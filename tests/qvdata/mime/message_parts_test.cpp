// The parts of a message read from its original bytes, and the agreement of
// the list with the attachment lines the decoder writes into the text.
#include "mime/message_parts.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "mime/mime_message.h"
#include "support/temp_dir.h"

using qv::mime::attachmentLineOf;
using qv::mime::decodeMessage;
using qv::mime::listParts;
using qv::mime::MessagePart;
using qv::mime::partBytes;
using qv::mime::partOfAttachmentLine;

namespace {

const std::string kPdfBytes = std::string("%PDF-1.4\n\x00\x01\x02\xff binary", 20);

// A mixed message: text, HTML alternative, a base64 attachment named by an
// RFC 2231 parameter, a quoted-printable one named by an encoded word, and a
// forwarded message with its own attachment.
std::string mixedMessage() {
  return "From: Ann <ann@example.org>\n"
         "To: bob@example.org\n"
         "Subject: parts\n"
         "MIME-Version: 1.0\n"
         "Content-Type: multipart/mixed; boundary=\"outer\"\n"
         "\n"
         "--outer\n"
         "Content-Type: multipart/alternative; boundary=\"alt\"\n"
         "\n"
         "--alt\n"
         "Content-Type: text/plain; charset=us-ascii\n"
         "\n"
         "Hello Bob.\n"
         "--alt\n"
         "Content-Type: text/html; charset=us-ascii\n"
         "\n"
         "<p>Hello <b>Bob</b>.</p>\n"
         "--alt--\n"
         "--outer\n"
         "Content-Type: application/pdf\n"
         "Content-Disposition: attachment; filename*=UTF-8''%E2%82%AC%20rates.pdf\n"
         "Content-Transfer-Encoding: base64\n"
         "\n"
         "JVBERi0xLjQKAAEC/yBiaW5hcnk=\n"
         "--outer\n"
         "Content-Type: text/plain; name=\"=?ISO-8859-1?Q?r=E9sum=E9.txt?=\"\n"
         "Content-Disposition: attachment\n"
         "Content-Transfer-Encoding: quoted-printable\n"
         "\n"
         "caf=E9=\n"
         " au lait\n"
         "--outer\n"
         "Content-Type: message/rfc822\n"
         "\n"
         "From: Carl <carl@example.org>\n"
         "Subject: inner\n"
         "Content-Type: multipart/mixed; boundary=\"inner\"\n"
         "\n"
         "--inner\n"
         "Content-Type: text/plain\n"
         "\n"
         "Inner text.\n"
         "--inner\n"
         "Content-Type: image/png; name=dot.png\n"
         "Content-Transfer-Encoding: base64\n"
         "\n"
         "iVBORw0KGgo=\n"
         "--inner--\n"
         "--outer--\n";
}

TEST(MessageParts, ListsEveryLeafWithDecodedNamesTypesAndSizes) {
  std::vector<MessagePart> parts = listParts(mixedMessage());
  ASSERT_EQ(parts.size(), 6u);
  for (size_t i = 0; i < parts.size(); ++i) EXPECT_EQ(parts[i].number, int(i + 1));
  EXPECT_EQ(parts[0].contentType, "text/plain");
  EXPECT_FALSE(parts[0].attachment);
  EXPECT_EQ(parts[1].contentType, "text/html");
  EXPECT_FALSE(parts[1].attachment);
  EXPECT_EQ(parts[2].name, "\xE2\x82\xAC rates.pdf");
  EXPECT_EQ(parts[2].contentType, "application/pdf");
  EXPECT_EQ(parts[2].size, kPdfBytes.size());
  EXPECT_TRUE(parts[2].attachment);
  EXPECT_EQ(parts[3].name, "r\xC3\xA9sum\xC3\xA9.txt");
  EXPECT_EQ(parts[3].size, 12u);  // "caf\xE9 au lait"
  EXPECT_TRUE(parts[3].attachment);
  EXPECT_EQ(parts[4].contentType, "text/plain");  // the forwarded message's text
  EXPECT_EQ(parts[5].name, "dot.png");
  EXPECT_EQ(parts[5].size, 8u);
}

TEST(MessageParts, GivesTheDecodedBytesOfEachPart) {
  std::string raw = mixedMessage();
  EXPECT_EQ(partBytes(raw, 3), kPdfBytes);
  EXPECT_EQ(partBytes(raw, 4), std::string("caf\xE9 au lait"));
  EXPECT_EQ(partBytes(raw, 2), std::string("<p>Hello <b>Bob</b>.</p>"));  // the line end before a boundary is the boundary's
  EXPECT_EQ(partBytes(raw, 6), std::string("\x89PNG\r\n\x1a\n"));
  EXPECT_FALSE(partBytes(raw, 0));
  EXPECT_FALSE(partBytes(raw, 7));
}

// Every attachment line of the decoded text names a part whose bytes have
// the size the line gives.
void expectLinesFindParts(const std::string& raw) {
  qv::mime::DecodedMessage m = decodeMessage(raw);
  std::vector<MessagePart> parts = listParts(raw);
  ASSERT_FALSE(m.attachments.empty());
  std::map<std::string, int> seen;
  for (const qv::mime::Attachment& a : m.attachments) {
    std::string line = qv::mime::attachmentLine(a);
    EXPECT_NE(m.text.find(line), std::string::npos) << line;
    int n = partOfAttachmentLine(parts, line, seen[line]++);
    ASSERT_GT(n, 0) << line;
    auto bytes = partBytes(raw, n);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->size(), a.size) << line;
    EXPECT_EQ(attachmentLineOf(parts[size_t(n - 1)]), line);
  }
}

TEST(MessageParts, AttachmentLinesOfTheTextFindTheirParts) {
  expectLinesFindParts(mixedMessage());
  // Binary data in a text part, two attachments with the same line.
  expectLinesFindParts(
      "Subject: x\nContent-Type: multipart/mixed; boundary=b\n\n"
      "--b\nContent-Type: text/plain\n\nbody\n"
      "--b\nContent-Type: text/plain; name=raw.bin\n\n\x01\x02\x03\x04\x05\x06\x07\x08\n"
      "--b\nContent-Type: application/octet-stream; name=a.bin\nContent-Transfer-Encoding: base64\n\nAAEC\n"
      "--b\nContent-Type: application/octet-stream; name=a.bin\nContent-Transfer-Encoding: base64\n\nAAEC\n"
      "--b--\n");
}

TEST(MessageParts, UuencodedAndYencBlocksInTextArePartsOfTheirOwn) {
  // "Cat" uuencoded, and "Hi!" yEnc-encoded (each byte + 42).
  std::string raw =
      "Subject: blocks\n\n"
      "Before.\n"
      "begin 644 cat.txt\n"
      "#0V%T\n"
      "`\n"
      "end\n"
      "Between.\n"
      "=ybegin line=128 size=3 name=hi.txt\n"
      "r\x93K\n"
      "=yend size=3\n"
      "After.\n";
  // The same with CR LF line ends, as most stores keep them.
  std::string crlfRaw;
  for (char c : raw) crlfRaw += c == '\n' ? std::string("\r\n") : std::string(1, c);
  for (const std::string& r : {raw, crlfRaw}) {
    std::vector<MessagePart> parts = listParts(r);
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_FALSE(parts[0].attachment);
    EXPECT_EQ(parts[1].name, "cat.txt");
    EXPECT_EQ(parts[1].size, 3u);
    EXPECT_EQ(partBytes(r, 2), std::string("Cat"));
    EXPECT_EQ(parts[2].name, "hi.txt");
    EXPECT_EQ(partBytes(r, 3), std::string("Hi!"));
    expectLinesFindParts(r);
  }
}

TEST(MessageParts, BadInputGivesWhatCanBeRead) {
  EXPECT_LE(listParts("").size(), 1u);
  EXPECT_LE(listParts("\r\r\r").size(), 1u);
  // A boundary that never occurs, classic Mac line ends, a part without headers.
  std::string noBoundary = "Content-Type: multipart/mixed; boundary=zz\n\nonly text\n";
  EXPECT_NO_FATAL_FAILURE(listParts(noBoundary));
  std::string mac = "Subject: mac\rContent-Type: application/zip; name=a.zip\rContent-Transfer-Encoding: base64\r\rAAEC\r";
  std::vector<MessagePart> parts = listParts(mac);
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_EQ(parts[0].name, "a.zip");
  EXPECT_EQ(partBytes(mac, 1), std::string("\x00\x01\x02", 3));
  std::string junk;
  for (int i = 0; i < 4096; ++i) junk += char((i * 7919) & 0xFF);
  EXPECT_NO_FATAL_FAILURE(listParts(junk));
}

TEST(MessageParts, AnUnknownLineFindsNoPart) {
  std::vector<MessagePart> parts = listParts(mixedMessage());
  EXPECT_EQ(partOfAttachmentLine(parts, "[Attachment: other.doc, application/msword, 5 bytes]"), 0);
  // The line of the PDF with another size still finds it by name and type.
  EXPECT_EQ(partOfAttachmentLine(parts, "[Attachment: \xE2\x82\xAC rates.pdf, application/pdf, 99 bytes]"), 3);
  EXPECT_EQ(partOfAttachmentLine(parts, attachmentLineOf(parts[2]), 1), 0);  // one such line only
}

// The messages of a mailbox file cut at its separator lines (good enough
// here: decoder and lister are given the same bytes).
std::vector<std::string> cutMailbox(const std::string& bytes) {
  std::vector<std::string> out;
  size_t start = 0, pos = 0;
  while ((pos = bytes.find("\nFrom ", pos)) != std::string::npos) {
    ++pos;
    out.push_back(bytes.substr(start, pos - start));
    start = pos;
  }
  out.push_back(bytes.substr(start));
  return out;
}

TEST(MessageParts, EveryAttachmentLineOfTheCorpusFindsItsPart) {
  std::string corpus = qvtest::corpusDir();
  if (corpus.empty()) GTEST_SKIP() << "the sample corpus folder (shared/corpus) is absent";
  int lines = 0;
  for (const char* folder : {"mbox", "netscape-mail", "eudora", "news-spool", "pegasus"}) {
    for (const auto& e : std::filesystem::recursive_directory_iterator(corpus + "/" + folder)) {
      if (!e.is_regular_file() || e.file_size() > (8u << 20)) continue;
      for (const std::string& raw : cutMailbox(qvtest::readFile(e.path().string()))) {
        qv::mime::DecodedMessage m = decodeMessage(raw);
        if (m.attachments.empty()) continue;
        std::vector<MessagePart> parts = listParts(raw);
        std::map<std::string, int> seen;
        for (const qv::mime::Attachment& a : m.attachments) {
          std::string line = qv::mime::attachmentLine(a);
          int n = partOfAttachmentLine(parts, line, seen[line]++);
          ASSERT_GT(n, 0) << e.path() << ": " << line;
          EXPECT_EQ(parts[size_t(n - 1)].size, a.size) << e.path() << ": " << line;
          ++lines;
        }
      }
    }
  }
  EXPECT_GT(lines, 10);
}

}  // namespace
