// The message decoder over broken MIME as real mailers write it: content
// types that are missing, bare or unreadable, part headers without the
// blank line after them, and the broken-MIME samples of the corpus, whose
// visible text must survive.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "mime/charset.h"
#include "mime/content_type.h"
#include "mime/mime_message.h"
#include "support/temp_dir.h"

using qv::mime::decodeMessage;
using qv::mime::DecodedMessage;

namespace {

std::string mail(const std::string& contentTypeLine, const std::string& body) {
  return "From: a@example.org\nTo: b@example.org\nSubject: Font metrics\n" + contentTypeLine + "\n" + body;
}

TEST(MimeContentType, MissingBareOrUnreadableMeansPlainText) {
  // MIME's default: a Content-Type that is missing or cannot be read is
  // text/plain; a bare "text" is text; "plain/text" is the swap some
  // mailers write.
  const std::vector<std::string> headers = {
      "",                       // no Content-Type at all
      "Content-Type: text\n",   // no subtype
      "Content-Type: text;\n",  // no subtype, empty parameter list
      "Content-Type:\n",        // empty value
      "Content-Type: bogus\n",  // no slash
      "Content-Type: plain/text\n",
      "Content-Type: text/\n",  // empty subtype
      "Content-Type: /plain\n",
      "Content-Type: te xt/pla in\n",
      "Content-Type: TEXT\n",
  };
  for (const std::string& h : headers) {
    SCOPED_TRACE(h);
    DecodedMessage m = decodeMessage(mail(h, "\nThe width table of the font is wrong.\n"));
    EXPECT_EQ(m.text, "The width table of the font is wrong.\r\n");
    EXPECT_TRUE(m.attachments.empty());
  }
}

TEST(MimeContentType, ParametersOfABareTypeStillCount) {
  // "text; charset=iso-8859-1": the charset is read although the type has
  // no subtype; an undeclared one falls back to the usual rule.
  DecodedMessage m = decodeMessage(mail("Content-Type: text; charset=iso-8859-1\n", "\nGr\xFC\xDF" "e\n"));
  EXPECT_EQ(m.text, "Gr\xC3\xBC\xC3\x9F" "e\r\n");
  m = decodeMessage(mail("Content-Type: text; charset=koi8-r\n", "\n\xF0\xD2\xC9\xD7\xC5\xD4\n"));
  EXPECT_EQ(m.text, "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82\r\n");  // "Привет"
}

TEST(MimeContentType, ParametersAreReadWhateverTheType) {
  using qv::mime::contentTypeParameter;
  EXPECT_EQ(contentTypeParameter("text/plain; charset=UTF-8", "charset"), "UTF-8");
  EXPECT_EQ(contentTypeParameter("text/plain; CHARSET=\"iso-8859-1\"", "charset"), "iso-8859-1");
  EXPECT_EQ(contentTypeParameter("multipart/mixed; boundary=\"=_a b\"; charset=x", "boundary"), "=_a b");
  EXPECT_EQ(contentTypeParameter("multipart/mixed; boundary=\"=_a b\"; charset=x", "charset"), "x");
  EXPECT_EQ(contentTypeParameter("bogus; charset=koi8-r", "charset"), "koi8-r");
  EXPECT_EQ(contentTypeParameter("/; charset=koi8-r", "charset"), "koi8-r");
  EXPECT_EQ(contentTypeParameter("text/plain; name*0=\"a\"; name*1=\"b.txt\"", "name"), "ab.txt");
  EXPECT_EQ(contentTypeParameter("text/plain; charset*=utf-8''%E2%82%AC", "charset"), "\xE2\x82\xAC");
  EXPECT_EQ(contentTypeParameter("text/plain; format=flowed", "charset"), "");
  EXPECT_EQ(contentTypeParameter("text/plain", "charset"), "");
  EXPECT_EQ(contentTypeParameter("text/plain;", "charset"), "");
  EXPECT_EQ(contentTypeParameter("text/plain;;charset=a", "charset"), "a");
}

TEST(MimeContentType, ValidTypesKeepTheirMeaning) {
  // A readable type that is not text stays an attachment; an unknown
  // subtype of text is text.
  DecodedMessage m = decodeMessage(mail("Content-Type: application/pdf; name=\"a.pdf\"\n", "\n%PDF-1.4\n"));
  ASSERT_EQ(m.attachments.size(), 1u);
  EXPECT_EQ(m.attachments[0].contentType, "application/pdf");
  m = decodeMessage(mail("Content-Type: text/x-unheard-of\n", "\nStill text.\n"));
  EXPECT_EQ(m.text, "Still text.\r\n");
}

TEST(MimeContentType, PartsWithBrokenTypesAreText) {
  std::string body =
      "\n--XX\nContent-Type: text\n\nFirst part.\n"
      "--XX\nContent-Type: plain/text\n\nSecond part.\n"
      "--XX\nContent-Type: bogus\n\nThird part.\n"
      "--XX\n\nFourth part, no headers.\n"
      "--XX\nContent-Type: image/png; name=\"p.png\"\nContent-Transfer-Encoding: base64\n\niVBORw0KGgo=\n"
      "--XX--\n";
  DecodedMessage m = decodeMessage(mail("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=XX\n", body));
  EXPECT_EQ(m.text,
            "First part.\r\n\r\nSecond part.\r\n\r\nThird part.\r\n\r\nFourth part, no headers.\r\n\r\n"
            "[Attachment: p.png, image/png, 8 bytes]\r\n");

  // In an alternative a broken text part is still the plain one.
  body =
      "\n--YY\nContent-Type: text\n\nPlain words.\n"
      "--YY\nContent-Type: text/html\n\n<p>Html words.</p>\n"
      "--YY--\n";
  m = decodeMessage(mail("Content-Type: multipart/alternative; boundary=YY\n", body));
  EXPECT_EQ(m.text, "Plain words.\r\n");
}

TEST(MimeContentType, TwoMailsWithBareTypesKeepDifferentTexts) {
  DecodedMessage a = decodeMessage(mail("Content-Type: text\n", "\nOne text.\n"));
  DecodedMessage b = decodeMessage(mail("Content-Type: text\n", "\nAnother text.\n"));
  EXPECT_NE(a.text, b.text);
}

TEST(MimePartHeaders, PartWithoutBlankLineAfterItsHeaders) {
  // The part's headers end at the first line that is not a header line.
  std::string body =
      "\npreamble\n"
      "--XX\nContent-Type: text/plain\nFirst part text\nand its second line\n"
      "--XX\nContent-Type: text/plain\n\nSecond part\n"
      "--XX\nContent-Type: application/pdf; name=\"a.pdf\"\nContent-Transfer-Encoding: base64\nJVBERi0xLjQK\n"
      "--XX--\n";
  for (bool crlfEnds : {false, true}) {
    std::string raw = mail("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"XX\"\n", body);
    if (crlfEnds) {
      std::string c;
      for (char ch : raw) {
        if (ch == '\n') c += '\r';
        c += ch;
      }
      raw = c;
    }
    SCOPED_TRACE(crlfEnds ? "CR LF" : "LF");
    DecodedMessage m = decodeMessage(raw);
    EXPECT_EQ(m.text,
              "First part text\r\nand its second line\r\n\r\nSecond part\r\n\r\n"
              "[Attachment: a.pdf, application/pdf, 9 bytes]\r\n");
    ASSERT_EQ(m.attachments.size(), 1u);
    EXPECT_EQ(m.attachments[0].size, 9u);
  }
}

TEST(MimePartHeaders, NestedPartsAndForwardedMessagesWithoutBlankLines) {
  // A nested multipart declares its boundary in a part header; a forwarded
  // message's own header block may lack its blank line too.
  std::string body =
      "\n--A\nContent-Type: multipart/alternative; boundary=\"B\"\n\n"
      "--B\nContent-Type: text/plain; charset=utf-8\nInner plain text\n"
      "--B\nContent-Type: text/html\n<p>Inner html</p>\n"
      "--B--\n"
      "--A\nContent-Type: message/rfc822\n\n"
      "From: c@example.org\nSubject: Inner\nContent-Type: text/plain\nForwarded body\n"
      "--A\nContent-Type: text/plain\nContent-Disposition: attachment; filename=\"n.txt\"\nnote\n"
      "--A--\n";
  DecodedMessage m = decodeMessage(mail("Content-Type: multipart/mixed; boundary=A\n", body));
  EXPECT_NE(m.text.find("Inner plain text\r\n"), std::string::npos) << m.text;
  EXPECT_EQ(m.text.find("Inner html"), std::string::npos) << m.text;
  EXPECT_NE(m.text.find("Subject: Inner\r\n\r\nForwarded body\r\n"), std::string::npos) << m.text;
  EXPECT_NE(m.text.find("[Attachment: n.txt, text/plain, 4 bytes]"), std::string::npos) << m.text;
}

TEST(MimePartHeaders, WellFormedPartsAreLeftAsTheyAre) {
  // Folded part headers and content that begins with a blank after the
  // blank line are not touched.
  std::string body =
      "\n--XX\nContent-Type: text/plain;\n charset=utf-8\nContent-Disposition: inline\n\n  indented text\n"
      "--XX--\n";
  DecodedMessage m = decodeMessage(mail("Content-Type: multipart/mixed; boundary=XX\n", body));
  EXPECT_EQ(m.text, "  indented text\r\n");
}

TEST(MimePartHeaders, AFoldedLineThatLostItsBlankContinuesTheHeader) {
  // "name=..." lost its leading blank; the Content-Disposition after it
  // shows the header block goes on.
  std::string body =
      "\n--XX\nContent-Type: text/plain\n\nA text section\n"
      "--XX\nContent-Transfer-Encoding: base64\nContent-Type: application/zip; x-unix-mode=0600;\n"
      "name=\"foo.zip\"\nContent-Disposition: attachment\n\nPGh0bWw+Cg==\n"
      "--XX--\n";
  DecodedMessage m = decodeMessage(mail("Content-Type: multipart/mixed; boundary=XX\n", body));
  EXPECT_EQ(m.text, "A text section\r\n\r\n[Attachment: foo.zip, application/zip, 7 bytes]\r\n");
}

TEST(MimeHeaders, IndentedFirstHeaderLine) {
  // A message whose first header line begins with a blank keeps its
  // headers when header lines follow; a text that merely begins indented
  // stays text.
  DecodedMessage m = decodeMessage(" From: A <a@example.org>\nSubject: plain text\n\nThe body.\n");
  EXPECT_EQ(m.subject, "plain text");
  ASSERT_EQ(m.from.size(), 1u);
  EXPECT_EQ(m.from[0].address, "a@example.org");
  EXPECT_EQ(m.text, "The body.\r\n");
  m = decodeMessage("  Note: nothing here is a header\nand neither is this.\n");
  EXPECT_TRUE(m.subject.empty());
  EXPECT_EQ(m.text, "  Note: nothing here is a header\r\nand neither is this.\r\n");
}

TEST(MimeCharset, MacRomanIsTheLegacyCharsetOfMacStores) {
  using qv::mime::decodeText;
  using qv::mime::LegacyCharset;
  EXPECT_EQ(decodeText("\xC7IC\xC8 \xA5 \xD2x\xD3\n", "", LegacyCharset::MacRoman),
            "\xC2\xAB" "IC\xC2\xBB \xE2\x80\xA2 \xE2\x80\x9Cx\xE2\x80\x9D\n");
  EXPECT_EQ(decodeText("\xC7IC\xC8\n", "us-ascii", LegacyCharset::MacRoman), "\xC2\xAB" "IC\xC2\xBB\n");
  EXPECT_EQ(decodeText("\xC7IC\xC8\n", "", LegacyCharset::Windows1252), "\xC3\x87IC\xC3\x88\n");
  EXPECT_EQ(decodeText("\xC7IC\xC8\n", "iso-8859-1", LegacyCharset::MacRoman), "\xC3\x87IC\xC3\x88\n")
      << "a declared charset wins";
  EXPECT_EQ(decodeText("caf\xC3\xA9\n\x8E\n", "", LegacyCharset::MacRoman), "caf\xC3\xA9\n\xC3\xA9\n")
      << "a valid UTF-8 line stays UTF-8";
}

}  // namespace
