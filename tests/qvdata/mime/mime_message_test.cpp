#include "mime/mime_message.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "mime/charset.h"
#include "mime/html_text.h"
#include "services/datetime.h"
#include "support/temp_dir.h"
#include "support/text_lines.h"
#include "support/transfer_encodings.h"

using qv::mime::Address;
using qv::mime::decodeHeader;
using qv::mime::decodeMessage;
using qv::mime::DecodedMessage;
using qv::mime::DecodeOptions;
using qv::mime::decodeText;
using qv::mime::htmlToText;
using qv::mime::parseAddresses;
using qvtest::base64;
using qv::mime::parseDate;
using qvtest::joinLines;

namespace fs = std::filesystem;

namespace {

std::string crlf(std::string_view s) { return qv::mime::toCrLf(s); }

struct YMD {
  int y, m, d, hh, mm, ss;
  bool operator==(const YMD&) const = default;
};

std::ostream& operator<<(std::ostream& os, const YMD& v) {
  return os << v.y << "-" << v.m << "-" << v.d << " " << v.hh << ":" << v.mm << ":" << v.ss;
}

YMD when(int32_t date, int32_t time) {
  YMD v{};
  qv::ymdFromDate(date, v.y, v.m, v.d);
  if (time > 0) qv::hmsFromTime(time, v.hh, v.mm, v.ss);
  else v.hh = v.mm = v.ss = -1;
  return v;
}

YMD when(const DecodedMessage& m) { return when(m.date, m.time); }

// A date text read by parseDate, or {0} when it is refused.
struct Parsed {
  YMD at;
  int tz;
};

bool parse(std::string_view text, Parsed& p) {
  int32_t d, t;
  if (!parseDate(text, d, t, p.tz)) return false;
  p.at = when(d, t);
  return true;
}

bool contains(const std::string& hay, std::string_view needle) { return hay.find(needle) != std::string::npos; }

size_t count(const std::string& hay, std::string_view needle) {
  size_t n = 0;
  for (size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + needle.size())) ++n;
  return n;
}

// Every line end is CR LF.
bool onlyCrLf(const std::string& s) {
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r' && (i + 1 >= s.size() || s[i + 1] != '\n')) return false;
    if (s[i] == '\n' && (i == 0 || s[i - 1] != '\r')) return false;
  }
  return true;
}

std::string headerValue(const DecodedMessage& m, std::string_view name) {
  for (const auto& [n, v] : m.headers)
    if (n == name) return v;
  return "<absent>";
}

}  // namespace

// ---------------------------------------------------------------------------
// Charsets

TEST(MimeCharset, DeclaredCharsetsAreConverted) {
  // ISO-8859-1 is read as Windows-1252, as mail clients write it.
  EXPECT_EQ(decodeText("caf\xE9 \x80 5", "ISO-8859-1"), "café € 5");
  EXPECT_EQ(decodeText("caf\xE9", "\"latin1\""), "café");
  EXPECT_EQ(decodeText("\x93quoted\x94", "windows-1252"), "“quoted”");
  // Charsets of the system converter.
  EXPECT_EQ(decodeText("\xB1\xE6", "iso-8859-2"), "ąć");
  EXPECT_EQ(decodeText("\xF0\xD2\xC9\xD7\xC5\xD4", "KOI8-R"), "Привет");
  EXPECT_EQ(decodeText("\x1B$B$3$s$K$A$O\x1B(B!", "iso-2022-jp"), "こんにちは!");
  EXPECT_EQ(decodeText(std::string("h\0i\0", 4), "UTF-16LE"), "hi");
  EXPECT_EQ(decodeText("\xC3\xA9t\xC3\xA9", "utf-8"), "été");
}

TEST(MimeCharset, NoByteIsDroppedSilently) {
  // A broken UTF-8 sequence keeps its bytes as Windows-1252 characters.
  EXPECT_EQ(decodeText("ok \xE9t\xC3\xA9", "UTF-8"), "ok été");
  // A byte the declared charset rejects is read as Windows-1252 and the rest
  // is still converted.
  EXPECT_EQ(decodeText("a\xFF" "b\xB1", "shift_jis"), "aÿbｱ");
  // The five codes Windows-1252 leaves undefined keep their number.
  EXPECT_EQ(decodeText("\x81\x8D\x8F\x90\x9D", "windows-1252"), "\u0081\u008D\u008F\u0090\u009D");
  // Every single byte value decodes to at least one character.
  for (int b = 1; b < 256; ++b) {
    std::string one(1, char(b));
    for (const char* cs : {"", "utf-8", "iso-8859-1", "iso-8859-2", "shift_jis", "x-unknown"})
      EXPECT_FALSE(decodeText(one, cs).empty()) << "byte " << b << " in " << cs;
  }
}

TEST(MimeCharset, MixedBytesKeepTheirPlaceAtEitherEnd) {
  // Broken sequences first, last and side by side among valid text.
  EXPECT_EQ(decodeText("\xE9" "a\xC3\xA9\xFF\xFE" "b\xE9", "utf-8"), "éaéÿþbé");
  EXPECT_EQ(decodeText("\xC3", "utf-8"), "Ã");
  EXPECT_EQ(decodeText("\x80x\x93\x94y\xE9", "windows-1252"), "€x“”yé");
  EXPECT_EQ(decodeText("plain", "iso-8859-1"), "plain");
  EXPECT_EQ(crlf("\n\r\r\nx\r"), "\r\n\r\n\r\nx\r\n");
  EXPECT_EQ(crlf("no line end"), "no line end");
  EXPECT_EQ(crlf(""), "");
}

TEST(MimeCharset, UndeclaredTextIsUtf8WhenValidElseWindows1252) {
  EXPECT_EQ(decodeText("d\xC3\xA9j\xC3\xA0 vu", ""), "déjà vu");
  EXPECT_EQ(decodeText("d\xE9j\xE0 vu", ""), "déjà vu");
  EXPECT_EQ(decodeText("\x93Hi\x94", "us-ascii"), "“Hi”");
  EXPECT_EQ(decodeText("na\xEFve", "x-no-such-charset"), "naïve");
  // Decided line by line: a Latin-1 line does not spoil a UTF-8 one.
  EXPECT_EQ(decodeText("Gr\xC3\xBC\xC3\x9F" "e\nGr\xFC\xDF" "e\n", ""), "Grüße\nGrüße\n");
  // A byte-order mark is not text.
  EXPECT_EQ(decodeText("\xEF\xBB\xBFHello", ""), "Hello");
  EXPECT_EQ(decodeText("\xEF\xBB\xBFHello", "utf-8"), "Hello");
}

TEST(MimeCharset, Utf8HelpersRespectCharacterBoundaries) {
  EXPECT_TRUE(qv::mime::isValidUtf8("plain"));
  EXPECT_TRUE(qv::mime::isValidUtf8("\xF0\x9F\x98\x80"));
  EXPECT_FALSE(qv::mime::isValidUtf8("\xC0\xAF"));          // overlong
  EXPECT_FALSE(qv::mime::isValidUtf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(qv::mime::isValidUtf8("\xF4\x90\x80\x80"));  // beyond U+10FFFF
  EXPECT_FALSE(qv::mime::isValidUtf8("\xE2\x82"));          // cut off
  std::string s = "a\xE2\x82\xAC";                           // "a€"
  EXPECT_EQ(qv::mime::utf8PrefixLength(s, 1), 1u);
  EXPECT_EQ(qv::mime::utf8PrefixLength(s, 2), 1u);
  EXPECT_EQ(qv::mime::utf8PrefixLength(s, 3), 1u);
  EXPECT_EQ(qv::mime::utf8PrefixLength(s, 4), 4u);
  EXPECT_EQ(crlf("a\nb\r\nc\rd"), "a\r\nb\r\nc\r\nd");
}

// ---------------------------------------------------------------------------
// HTML

TEST(MimeHtml, EntitiesAreDecoded) {
  EXPECT_EQ(htmlToText("Fish &amp; Chips&nbsp;&nbsp;for &#8364;5 &eacute;t&eacute;"), "Fish & Chips  for €5 été");
  // Letter case is ignored for the basic five, and nbsp needs no semicolon.
  EXPECT_EQ(htmlToText("&AMP; &Lt; &GT; &QUOT; a&NBSPb"), "& < > \" a b");
  EXPECT_EQ(htmlToText("&aring;&auml;&ouml;&Aring;&Auml;&Ouml;&oacute;&eacute;"), "åäöÅÄÖóé");
  EXPECT_EQ(htmlToText("co&shy;operate"), "co-operate");
  EXPECT_EQ(htmlToText("&copy; &mdash; &hellip; &euro; &apos; &Omega;"), "© — … € ' Ω");
  EXPECT_EQ(htmlToText("&#150; &#x20AC; &#X41; &#65;"), "– € A A");
  // Named references are case-sensitive beyond the basic five.
  EXPECT_EQ(htmlToText("&Eacute; &EACUTE;"), "É &EACUTE;");
  // What is not a known reference stays as written.
  EXPECT_EQ(htmlToText("AT&T &foo; a & b &#; &copy"), "AT&T &foo; a & b &#; &copy");
  // Numbers outside Unicode and NUL do not produce invalid text.
  EXPECT_EQ(htmlToText("&#0;&#xD800;&#99999999999;"), "\uFFFD\uFFFD\uFFFD");
}

TEST(MimeHtml, TagsGiveLineBreaksAndBlankLines) {
  EXPECT_EQ(htmlToText("<h1>Title</h1>Text<hr>More"), "Title\r\n\r\nText\r\n\r\nMore");
  EXPECT_EQ(htmlToText("one<br>two<BR/>three<br><br>four"), "one\r\ntwo\r\nthree\r\n\r\nfour");
  EXPECT_EQ(htmlToText("<p>First paragraph</p><p>Second</p>"), "First paragraph\r\n\r\nSecond");
  EXPECT_EQ(htmlToText("<div>a</div><div>b</div>"), "a\r\nb");
  EXPECT_EQ(htmlToText("before<table><tr><td>a</td><td>b</td></tr><tr><td>c</td></tr></table>after"),
            "before\r\n\r\na\tb\r\nc\r\n\r\nafter");
  EXPECT_EQ(htmlToText("<ul><li>one<li>two</ul><ol><li>first</li><li>second</li></ol>"),
            "* one\r\n* two\r\n1. first\r\n2. second");
}

TEST(MimeHtml, WhiteSpaceCollapsesExceptInPre) {
  EXPECT_EQ(htmlToText("  Hello,\r\n   world\t !  "), "Hello, world !");
  EXPECT_EQ(htmlToText("<pre>a  b\n  c</pre>d"), "a  b\r\n  c\r\n\r\nd");
  EXPECT_EQ(htmlToText("x<plaintext>a <b>  &amp;\nz"), "x\r\n\r\na <b>  &amp;\r\nz");
}

TEST(MimeHtml, HiddenContentAndMarkupAreDropped) {
  EXPECT_EQ(htmlToText("<html><head><title>T</title><style>p{color:red}</style>"
                       "<script>alert('<b>x</b>')</script></head><body>Visible</body></html>"),
            "Visible");
  EXPECT_EQ(htmlToText("a<!-- hidden <b>comment</b> -->b<!DOCTYPE html><?xml x?>c"), "abc");
  EXPECT_EQ(htmlToText("See <a href=\"http://x.example/?a=1&b=2\">the site</a>."), "See the site.");
  EXPECT_EQ(htmlToText("<img src='x.png' alt=\"a > b\">after"), "after");
  EXPECT_EQ(htmlToText("<SCRIPT type=text/javascript>var a = 1 < 2;</SCRIPT>ok"), "ok");
  // Unclosed script or comment hides the rest, as a browser shows it.
  EXPECT_EQ(htmlToText("shown<script>never"), "shown");
  EXPECT_EQ(htmlToText("shown<!-- never"), "shown");
}

TEST(MimeHtml, LessThanThatIsNotATagStaysText) {
  EXPECT_EQ(htmlToText("1 < 2 and 3<4, x <= y"), "1 < 2 and 3<4, x <= y");
  EXPECT_EQ(htmlToText("tail <b unclosed"), "tail <b unclosed");
  EXPECT_EQ(htmlToText(""), "");
  EXPECT_EQ(htmlToText("<br><br><p>"), "");
}

// ---------------------------------------------------------------------------
// Headers

TEST(MimeHeaders, EveryHeaderInOrderUnfoldedAndDecoded) {
  DecodedMessage m = decodeMessage(joinLines({
      "From sender@example.com Wed Dec  1 08:26:40 2010",
      "Received: from a",
      "\tby b",
      "Subject: =?ISO-8859-1?Q?Gr=FC=DFe?= aus",
      "  Berlin",
      "Content-Type: text/plain; charset=us-ascii",
      "X-Custom:value without blank",
      "Received: second",
      "X-Tab:\ta\tb\r",
      "",
      "Body",
  }, "\n"));
  ASSERT_EQ(m.headers.size(), 6u);
  EXPECT_EQ(m.headers[0], (std::pair<std::string, std::string>("Received", "from a by b")));
  EXPECT_EQ(m.headers[1], (std::pair<std::string, std::string>("Subject", "Grüße aus  Berlin")));
  EXPECT_EQ(m.headers[2].first, "Content-Type");
  EXPECT_EQ(m.headers[3], (std::pair<std::string, std::string>("X-Custom", "value without blank")));
  EXPECT_EQ(m.headers[4].second, "second");
  EXPECT_EQ(m.headers[5].second, "a b");
  EXPECT_EQ(m.envelope, "sender@example.com Wed Dec  1 08:26:40 2010");
  EXPECT_EQ(m.subject, "Grüße aus  Berlin");
  EXPECT_EQ(m.text, "Body\r\n");
}

TEST(MimeHeaders, EncodedWordsInSubjects) {
  // Q and B words; white space between adjacent encoded words goes, white
  // space next to plain text stays.
  EXPECT_EQ(decodeHeader("=?utf-8?q?Caf=C3=A9_au_lait?="), "Café au lait");
  EXPECT_EQ(decodeHeader("=?UTF-8?B?w6l0w6k=?="), "été");
  EXPECT_EQ(decodeHeader("=?utf-8?q?a?= =?utf-8?q?b?=\r\n =?iso-8859-1?q?c?="), "abc");
  EXPECT_EQ(decodeHeader("Re: =?utf-8?q?x?= and =?utf-8?q?y?= end"), "Re: x and y end");
  // A character split over two words, and two words with nothing between.
  EXPECT_EQ(decodeHeader("=?utf-8?q?=C3?= =?utf-8?q?=A9?="), "é");
  EXPECT_EQ(decodeHeader("=?utf-8?B?w6k=?==?utf-8?B?w6k=?="), "éé");
  // A byte that is not valid in the word's charset is kept.
  EXPECT_EQ(decodeHeader("=?UTF-8?Q?Luc=eda_Charlie?="), "Lucía Charlie");
  EXPECT_EQ(decodeHeader("=?windows-1252?Q?=80uro?="), "€uro");
  EXPECT_EQ(decodeHeader("=?utf-8*en?q?lang?="), "lang");
  // Not an encoded word: stays as written.
  EXPECT_EQ(decodeHeader("=?utf-8?x?abc?= =?broken"), "=?utf-8?x?abc?= =?broken");
  // Raw 8-bit: UTF-8 when valid, else the message's charset, else
  // Windows-1252.
  EXPECT_EQ(decodeHeader("Gr\xC3\xBC\xC3\x9F" "e"), "Grüße");
  EXPECT_EQ(decodeHeader("Gr\xFC\xDF" "e"), "Grüße");
  EXPECT_EQ(decodeHeader("\xB1", "iso-8859-2"), "ą");
  // Plain ASCII: control characters become blanks, outer blanks go, folding
  // is removed, and the charset of the message plays no part.
  EXPECT_EQ(decodeHeader("  a\tb\x01" "c \x7F", "koi8-r"), "a b c");
  EXPECT_EQ(decodeHeader("one\r\n two"), "one two");
  EXPECT_EQ(decodeHeader("one\ntwo"), "one two");
  EXPECT_EQ(decodeHeader(""), "");

  DecodedMessage m = decodeMessage(joinLines({
      "Subject: =?UTF-8?B?SGVsbG8g?=",
      " =?UTF-8?B?V29ybGQ=?= =?ISO-8859-1?Q?=E5=E4=F6?=",
      "",
      "x",
  }, "\n"));
  EXPECT_EQ(m.subject, "Hello Worldåäö");
}

TEST(MimeHeaders, AddressesAreSplitIntoNameAndAddress) {
  DecodedMessage m = decodeMessage(joinLines({
      "From: \"Eugenia Loli-Queru\" <eloli@hotmail.com>",
      "To: <a@example.com>, =?UTF-8?B?U21pdGgsIErDqQ==?= <b@example.com>,",
      "  Team: c@example.com, \"D. Dee\" <d@example.com>;",
      "Cc: plain@example.com (Plain Person)",
      "Cc: second@example.com",
      "Reply-To: list@example.com",
      "Bcc: hidden@example.com",
      "",
      "x",
  }, "\n"));
  ASSERT_EQ(m.from.size(), 1u);
  EXPECT_EQ(m.from[0].name, "Eugenia Loli-Queru");
  EXPECT_EQ(m.from[0].address, "eloli@hotmail.com");
  EXPECT_EQ(m.fromRaw, "\"Eugenia Loli-Queru\" <eloli@hotmail.com>");
  ASSERT_EQ(m.to.size(), 4u);
  EXPECT_EQ(m.to[0].address, "a@example.com");
  EXPECT_EQ(m.to[1].name, "Smith, Jé");
  EXPECT_EQ(m.to[2].address, "c@example.com");
  EXPECT_EQ(m.to[3].name, "D. Dee");
  ASSERT_EQ(m.cc.size(), 2u);
  EXPECT_EQ(m.cc[0].name, "Plain Person");
  EXPECT_EQ(m.ccRaw, "plain@example.com (Plain Person), second@example.com");
  ASSERT_EQ(m.replyTo.size(), 1u);
  ASSERT_EQ(m.bcc.size(), 1u);
  EXPECT_EQ(m.bcc[0].address, "hidden@example.com");

  // What GMime cannot read as an address is kept: comment as name.
  std::vector<Address> a = parseAddresses("goran at domain.com (=?ISO-8859-1?Q?G=F6ran_Lastname?=)");
  ASSERT_EQ(a.size(), 1u);
  EXPECT_EQ(a[0].name, "Göran Lastname");
  EXPECT_EQ(a[0].address, "goran at domain.com");
  EXPECT_TRUE(parseAddresses("   ").empty());
  // An invalid byte in an encoded name is kept as well.
  a = parseAddresses("=?UTF-8?Q?Luc=eda?= <l@example.com>");
  ASSERT_EQ(a.size(), 1u);
  EXPECT_EQ(a[0].name, "Lucía");
}

TEST(MimeHeaders, AddressesReadAgainGiveTheSameAnswer) {
  // A value read before is answered from memory: the charset of the
  // message still counts, and long values and many values read the same.
  const std::string raw = "\xF0\xC5\xD4\xD2 <p@example.com>";  // 8-bit name in KOI8-R
  for (int round = 0; round < 2; ++round) {
    std::vector<Address> koi = parseAddresses(raw, "koi8-r");
    ASSERT_EQ(koi.size(), 1u);
    EXPECT_EQ(koi[0].name, "Петр");
    std::vector<Address> none = parseAddresses(raw, "");
    ASSERT_EQ(none.size(), 1u);
    EXPECT_EQ(none[0].name, "\xC3\xB0\xC3\x85\xC3\x94\xC3\x92");  // read as Windows-1252
    EXPECT_EQ(none[0].address, "p@example.com");
  }
  std::string many;
  for (int i = 0; i < 100; ++i) many += (i ? ", " : "") + std::string("u") + std::to_string(i) + "@example.com";
  for (int round = 0; round < 2; ++round) {
    std::vector<Address> a = parseAddresses(many);
    ASSERT_EQ(a.size(), 100u);
    EXPECT_EQ(a[99].address, "u99@example.com");
  }
  for (int i = 0; i < 1500; ++i) {
    std::string one = "n" + std::to_string(i) + "@example.com";
    std::vector<Address> a = parseAddresses(one);
    ASSERT_EQ(a.size(), 1u);
    ASSERT_EQ(a[0].address, one);
  }
  EXPECT_EQ(parseAddresses(raw, "koi8-r")[0].name, "Петр");
}

TEST(MimeHeaders, IdentifiersReferencesAndNewsgroups) {
  DecodedMessage m = decodeMessage(joinLines({
      "Message-ID: <abc.123@example.com>",
      "References: <one@example.com>",
      "\t<two@example.com>",
      "  <three@example.com>",
      "In-Reply-To: <ignored@example.com>",
      "Newsgroups: comp.lang.c++, de.comp.lang.iso-c++",
      "",
      "x",
  }, "\n"));
  EXPECT_EQ(m.messageId, "abc.123@example.com");
  EXPECT_EQ(m.references, (std::vector<std::string>{"one@example.com", "two@example.com", "three@example.com"}));
  EXPECT_EQ(m.newsgroups, (std::vector<std::string>{"comp.lang.c++", "de.comp.lang.iso-c++"}));

  // In-Reply-To serves when there is no References header.
  m = decodeMessage(joinLines({
      "Message-Id: bare-id@example.com",
      "In-Reply-To: <1205676169.6819.27.camel@host> (Simos's message of \"Sun, 16 Mar 2008\")",
      "Newsgroups: a.b,c.d",
      "",
  }, "\n"));
  EXPECT_EQ(m.messageId, "bare-id@example.com");
  EXPECT_EQ(m.references, (std::vector<std::string>{"1205676169.6819.27.camel@host"}));
  EXPECT_EQ(m.newsgroups, (std::vector<std::string>{"a.b", "c.d"}));

  // Identifiers without brackets are the words; control bytes separate
  // them and never make an empty identifier.
  m = decodeMessage(std::string("References: one@x \x01\x02 \x11\0 two@x\nNewsgroups: , ,a.b,,\n\n", 52));
  EXPECT_EQ(m.references, (std::vector<std::string>{"one@x", "two@x"}));
  EXPECT_EQ(m.newsgroups, (std::vector<std::string>{"a.b"}));
}

TEST(MimeHeaders, BrokenHeaderBlocksLoseNoText) {
  // No blank line between headers and body: the body still arrives.
  DecodedMessage m = decodeMessage(joinLines({"Subject: hi", "From: x@example.com", "This is body text", "more text"}, "\n"));
  EXPECT_EQ(m.subject, "hi");
  EXPECT_EQ(m.text, "This is body text\r\nmore text\r\n");
  // A broken fold (a line without indentation, more headers after it)
  // continues the header before it.
  m = decodeMessage(joinLines({"Subject: a very long subject that", "wrapped without indentation", "From: x@example.com",
                           "", "body"}, "\n"));
  EXPECT_EQ(m.subject, "a very long subject that wrapped without indentation");
  EXPECT_EQ(m.text, "body\r\n");
  // No header at all: everything is body.
  m = decodeMessage("Just some text\nwithout headers\n");
  EXPECT_TRUE(m.headers.empty());
  EXPECT_EQ(m.text, "Just some text\r\nwithout headers\r\n");
  // Empty lines and a byte-order mark before the header block.
  m = decodeMessage("\r\n\r\nSubject: late start\r\n\r\ntext\r\n");
  EXPECT_EQ(m.subject, "late start");
  EXPECT_EQ(m.text, "text\r\n");
  m = decodeMessage("\xEF\xBB\xBF" "From - Mon Jan  1 00:00:00 2001\nSubject: bom\n\ntext\n");
  EXPECT_EQ(m.envelope, "- Mon Jan  1 00:00:00 2001");
  EXPECT_EQ(m.subject, "bom");
  m = decodeMessage("\n\nNo header here\n");
  EXPECT_TRUE(m.headers.empty());
  EXPECT_EQ(m.text, "No header here\r\n");
  // Classic Mac line ends.
  m = decodeMessage("Subject: mac\rFrom: a@example.com\r\rline one\rline two\r");
  EXPECT_EQ(m.subject, "mac");
  EXPECT_EQ(m.text, "line one\r\nline two\r\n");
  // Header lines of 1000 characters, names and values.
  std::string longName(998, 'T');
  std::string longValue(1200, 'v');
  m = decodeMessage(longName + ": \nX-Long: " + longValue + "\n " + longValue + "\nSubject: after\n\nb\n");
  ASSERT_EQ(m.headers.size(), 3u);
  EXPECT_EQ(m.headers[0].first, longName);
  EXPECT_EQ(m.headers[0].second, "");
  EXPECT_EQ(m.headers[1].second, longValue + " " + longValue);
  EXPECT_EQ(m.subject, "after");
}

TEST(MimeHeaders, EmptyAndHeaderOnlyMessages) {
  DecodedMessage m = decodeMessage("");
  EXPECT_TRUE(m.headers.empty());
  EXPECT_EQ(m.text, "");
  EXPECT_FALSE(m.hasDate);
  m = decodeMessage("Subject: only a header");
  EXPECT_EQ(m.subject, "only a header");
  EXPECT_EQ(m.text, "");
  m = decodeMessage("Subject: s\nMessage-ID: <i@x>\n\n");
  EXPECT_EQ(m.messageId, "i@x");
  EXPECT_EQ(m.text, "");
}

// ---------------------------------------------------------------------------
// Dates

TEST(MimeDates, TheTimeIsKeptAsWritten) {
  DecodedMessage m = decodeMessage("Date: Wed, 22 Sep 2004 02:03:40 -0700\n\nx\n");
  ASSERT_TRUE(m.hasDate);
  EXPECT_FALSE(m.dateFromEnvelope);
  EXPECT_EQ(when(m), (YMD{2004, 9, 22, 2, 3, 40}));
  EXPECT_EQ(m.tzMinutes, -7 * 60);
  EXPECT_EQ(m.time, qv::timeFromHMS(2, 3, 40));
  EXPECT_EQ(qv::weekday(m.date), 3);  // a Wednesday

  Parsed p;
  ASSERT_TRUE(parse("Sat, 06 Mar 2004 21:39:44 PST", p));
  EXPECT_EQ(p.at, (YMD{2004, 3, 6, 21, 39, 44}));
  EXPECT_EQ(p.tz, -480);
  ASSERT_TRUE(parse("Tue, 15 Mar 2016 12:05:48 \xB4\xEB\xC7\xD1 \xC7\xA5\xC1\xD8", p));  // unreadable zone
  EXPECT_EQ(p.at, (YMD{2016, 3, 15, 12, 5, 48}));
  EXPECT_EQ(p.tz, 0);
  ASSERT_TRUE(parse("Thu, 31 Dec 1998 23:59:60 +0000", p));  // a leap second
  EXPECT_EQ(p.at, (YMD{1998, 12, 31, 23, 59, 59}));
  ASSERT_TRUE(parse("6 Mar 2004 21:39 +0530", p));
  EXPECT_EQ(p.at, (YMD{2004, 3, 6, 21, 39, 0}));
  EXPECT_EQ(p.tz, 330);
  // A zone written against a time without seconds: one minute past
  // midnight, not midnight.
  ASSERT_TRUE(parse("01 Jan 2001 00:01+0000", p));
  EXPECT_EQ(p.at, (YMD{2001, 1, 1, 0, 1, 0}));
  EXPECT_EQ(p.tz, 0);
  ASSERT_TRUE(parse("Mon, 01 Jan 2001 13:45-0130", p));
  EXPECT_EQ(p.at, (YMD{2001, 1, 1, 13, 45, 0}));
  EXPECT_EQ(p.tz, -90);
}

TEST(MimeDates, OldAndGermanForms) {
  Parsed p;
  ASSERT_TRUE(parse("Mon Dec 13 18:45:29 2010", p));
  EXPECT_EQ(p.at, (YMD{2010, 12, 13, 18, 45, 29}));
  ASSERT_TRUE(parse("05-Dec-97", p));
  EXPECT_EQ(p.at, (YMD{1997, 12, 5, -1, -1, -1}));
  ASSERT_TRUE(parse("05-DEZ-97 10:15", p));
  EXPECT_EQ(p.at, (YMD{1997, 12, 5, 10, 15, 0}));
  ASSERT_TRUE(parse("Fr, 05 Dez 1997 10:00:00 +0100", p));
  EXPECT_EQ(p.at, (YMD{1997, 12, 5, 10, 0, 0}));
  EXPECT_EQ(p.tz, 60);
  ASSERT_TRUE(parse("Di, 7 M\xC3\xA4r 2000 08:00:00 MEZ", p));
  EXPECT_EQ(p.at, (YMD{2000, 3, 7, 8, 0, 0}));
  EXPECT_EQ(p.tz, 60);
  ASSERT_TRUE(parse("7 M\xC4R 00", p));  // Windows-1252 upper case
  EXPECT_EQ(p.at, (YMD{2000, 3, 7, -1, -1, -1}));
  ASSERT_TRUE(parse("Mo, 19 Mai 2003 14:20:10 +0200", p));
  EXPECT_EQ(p.at, (YMD{2003, 5, 19, 14, 20, 10}));
  ASSERT_TRUE(parse("Mi, 1 Okt 1997 7:05:09 +0200", p));
  EXPECT_EQ(p.at, (YMD{1997, 10, 1, 7, 5, 9}));
  ASSERT_TRUE(parse("1997-12-05 10:00:00", p));
  EXPECT_EQ(p.at, (YMD{1997, 12, 5, 10, 0, 0}));
  ASSERT_TRUE(parse("05.12.1997", p));
  EXPECT_EQ(p.at, (YMD{1997, 12, 5, -1, -1, -1}));
  // Two-digit years.
  ASSERT_TRUE(parse("1 Jan 70 00:00:00 GMT", p));
  EXPECT_EQ(p.at.y, 1970);
  ASSERT_TRUE(parse("1 Jan 99 00:00:00 GMT", p));
  EXPECT_EQ(p.at.y, 1999);
  ASSERT_TRUE(parse("1 Jan 03 00:00:00 GMT", p));
  EXPECT_EQ(p.at.y, 2003);
  // An impossible time keeps the date without a time.
  ASSERT_TRUE(parse("Sat, 06 Mar 2004 25:39:44 GMT", p));
  EXPECT_EQ(p.at, (YMD{2004, 3, 6, -1, -1, -1}));
}

TEST(MimeDates, UnreadableDatesGiveNoDate) {
  Parsed p;
  for (const char* bad : {"", "   ", "yesterday", "Sat, 31 Feb 2004 10:00:00 GMT", "32 Jan 2004", "Foo 13 2004",
                          "12:00:00", "1 Jan 1700"})
    EXPECT_FALSE(parse(bad, p)) << bad;
  DecodedMessage m = decodeMessage("Date: never\n\nx");
  EXPECT_FALSE(m.hasDate);
  EXPECT_EQ(m.date, 0);
  EXPECT_EQ(m.time, 0);
}

TEST(MimeDates, SeparatorLineDateWhenTheHeaderHasNone) {
  DecodedMessage m = decodeMessage(joinLines({"From goran at domain.com  Wed Dec  1 08:26:40 2010", "Date:  ",
                                          "Subject: s", "", "x"}, "\n"));
  ASSERT_TRUE(m.hasDate);
  EXPECT_TRUE(m.dateFromEnvelope);
  EXPECT_EQ(when(m), (YMD{2010, 12, 1, 8, 26, 40}));
  // The header wins when it is readable.
  m = decodeMessage(joinLines({"From x@y  Wed Dec  1 08:26:40 2010", "Date: Tue, 30 Nov 2010 10:00:00 +0100", "", "x"}, "\n"));
  EXPECT_FALSE(m.dateFromEnvelope);
  EXPECT_EQ(when(m), (YMD{2010, 11, 30, 10, 0, 0}));
}

// ---------------------------------------------------------------------------
// Bodies

TEST(MimeBody, QuotedPrintableSoftLineBreaksJoinLines) {
  DecodedMessage m = decodeMessage(joinLines({
      "Content-Type: text/plain; charset=iso-8859-1",
      "Content-Transfer-Encoding: quoted-printable",
      "",
      "This line is long and goes on=",
      " after a soft break; caf=E9=20",
      "=3D sign",
  }, "\n"));
  EXPECT_EQ(m.text, "This line is long and goes on after a soft break; café \r\n= sign\r\n");
}

TEST(MimeBody, Base64TextInItsCharset) {
  DecodedMessage m = decodeMessage("Content-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: base64\n\n" +
                                   base64("Grüße aus Köln\nZeile zwei\n"));
  EXPECT_EQ(m.text, "Grüße aus Köln\r\nZeile zwei\r\n");
  m = decodeMessage("Content-Type: text/plain; charset=ISO-8859-1\nContent-Transfer-Encoding: BASE64\n\n" +
                    base64("Gr\xFC\xDF" "e aus K\xF6ln\n"));
  EXPECT_EQ(m.text, "Grüße aus Köln\r\n");
  // A misspelt encoding name that still says base64 is decoded: the text
  // never holds the encoded form.
  std::string encoded = base64("Secret text\n");
  m = decodeMessage("Content-Type: text/plain\nContent-Transfer-Encoding: base-64\n\n" + encoded);
  EXPECT_EQ(m.text, "Secret text\r\n");
  // Broken base64 does not stop the decoder.
  m = decodeMessage("Content-Transfer-Encoding: base64\n\nSGVsbG8*!gV29y\nbGQ=\n");
  EXPECT_TRUE(contains(m.text, "Hello"));
}

TEST(MimeBody, UndeclaredEightBitText) {
  DecodedMessage m = decodeMessage("Subject: x\n\nK\xF6nig \x80 und \x93Zitat\x94\n");
  EXPECT_EQ(m.text, "König € und “Zitat”\r\n");
  m = decodeMessage("Subject: x\n\nK\xC3\xB6nig\n");
  EXPECT_EQ(m.text, "König\r\n");
}

TEST(MimeBody, AlternativeTakesThePlainPart) {
  std::string msg = joinLines({
      "Content-Type: multipart/alternative; boundary=\"alt\"",
      "",
      "preamble",
      "--alt",
      "Content-Type: text/html; charset=utf-8",
      "",
      "<p>HTML version</p>",
      "--alt",
      "Content-Type: text/plain; charset=utf-8",
      "",
      "Plain version",
      "--alt--",
      "epilogue",
  }, "\n");
  DecodedMessage m = decodeMessage(msg);
  EXPECT_EQ(m.text, "Plain version\r\n");
  EXPECT_FALSE(m.html);
  EXPECT_TRUE(m.attachments.empty());

  // An empty plain part gives way to the HTML one.
  msg = joinLines({
      "Content-Type: multipart/alternative; boundary=b",
      "",
      "--b",
      "Content-Type: text/plain",
      "",
      "  ",
      "--b",
      "Content-Type: multipart/related; boundary=c",
      "",
      "--c",
      "Content-Type: text/html",
      "",
      "<b>Rich</b> text",
      "--c",
      "Content-Type: image/png; name=logo.png",
      "Content-Transfer-Encoding: base64",
      "",
      base64("PNGDATA"),
      "--c--",
      "--b--",
  }, "\n");
  m = decodeMessage(msg);
  EXPECT_TRUE(m.html);
  EXPECT_EQ(m.text, "Rich text\r\n\r\n[Attachment: logo.png, image/png, 7 bytes]\r\n");
}

TEST(MimeBody, HtmlOnlyBodyIsConverted) {
  DecodedMessage m = decodeMessage(joinLines({
      "Content-Type: text/html; charset=iso-8859-1",
      "Content-Transfer-Encoding: quoted-printable",
      "",
      "<html><body><h2>Men=FC</h2>Fish &amp; Chips&nbsp;&nbsp;for &#8364;5,<br>",
      "caf&eacute; &aring;&ouml;<script>x()</script></body></html>",
  }, "\n"));
  EXPECT_TRUE(m.html);
  EXPECT_EQ(m.text, "Menü\r\n\r\nFish & Chips  for €5,\r\ncafé åö\r\n");
  // The charset of a meta element when the part declares none.
  m = decodeMessage(
      "Content-Type: text/html\n\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=koi8-r\">\xF0\xD2\xC9\n");
  EXPECT_EQ(m.text, "При\r\n");
}

TEST(MimeBody, NestedMultipartWithAnAttachment) {
  std::string pdf(12345, '\x01');
  std::string msg = joinLines({
      "Content-Type: multipart/mixed; boundary=outer",
      "",
      "--outer",
      "Content-Type: multipart/alternative; boundary=inner",
      "",
      "--inner",
      "Content-Type: text/plain; charset=us-ascii",
      "",
      "See the report.",
      "--inner",
      "Content-Type: text/html",
      "",
      "<p>See the <b>report</b>.</p>",
      "--inner--",
      "--outer",
      "Content-Type: application/pdf; name=\"=?utf-8?q?R=C3=A9port.pdf?=\"",
      "Content-Disposition: attachment; filename*=utf-8''R%C3%A9port%202024.pdf",
      "Content-Transfer-Encoding: base64",
      "",
      base64(pdf),
      "--outer--",
  }, "\n");
  DecodedMessage m = decodeMessage(msg);
  EXPECT_EQ(m.text, "See the report.\r\n\r\n[Attachment: Réport 2024.pdf, application/pdf, 12345 bytes]\r\n");
  ASSERT_EQ(m.attachments.size(), 1u);
  EXPECT_EQ(m.attachments[0].filename, "Réport 2024.pdf");
  EXPECT_EQ(m.attachments[0].contentType, "application/pdf");
  EXPECT_EQ(m.attachments[0].size, 12345u);
  EXPECT_FALSE(contains(m.text, base64(pdf).substr(0, 40)));
}

TEST(MimeBody, TextAttachmentsAndBinaryTextAreListedNotShown) {
  std::string msg = joinLines({
      "Content-Type: multipart/mixed; boundary=m",
      "",
      "--m",
      "Content-Type: text/plain",
      "",
      "Body text.",
      "--m",
      "Content-Type: text/plain; name=notes.txt",
      "Content-Disposition: attachment; filename=notes.txt",
      "",
      "attached notes must not be shown",
      "--m",
      "Content-Type: text/plain; name=dump.bin",
      "Content-Transfer-Encoding: base64",
      "",
      base64(std::string("\x00\x01\x02\x03\x04\x05\x06\x07garbage\x00\x00\x00", 18)),
      "--m",
      "Content-Type: text/plain",
      "",
      "Footer.",
      "--m--",
  }, "\n");
  DecodedMessage m = decodeMessage(msg);
  EXPECT_EQ(m.text,
            "Body text.\r\n\r\n"
            "[Attachment: notes.txt, text/plain, 32 bytes]\r\n"
            "[Attachment: dump.bin, text/plain, 18 bytes]\r\n\r\n"
            "Footer.\r\n");
  EXPECT_EQ(m.attachments.size(), 2u);
}

TEST(MimeBody, ForwardedMessageShowsItsHeadersAndText) {
  std::string msg = joinLines({
      "Subject: Fwd: lunch",
      "Content-Type: multipart/mixed; boundary=f",
      "",
      "--f",
      "Content-Type: text/plain",
      "",
      "See below.",
      "--f",
      "Content-Type: message/rfc822",
      "",
      "From: =?utf-8?q?J=C3=B6rg?= <joerg@example.com>",
      "To: team@example.com",
      "Date: Mon, 1 Mar 2021 12:00:00 +0100",
      "Subject: lunch",
      "Message-ID: <inner@example.com>",
      "Content-Type: multipart/mixed; boundary=g",
      "",
      "--g",
      "Content-Type: text/plain; charset=iso-8859-1",
      "",
      "K\xE4se at noon.",
      "--g",
      "Content-Type: image/gif; name=map.gif",
      "Content-Transfer-Encoding: base64",
      "",
      base64("GIF89a"),
      "--g--",
      "--f--",
  }, "\n");
  DecodedMessage m = decodeMessage(msg);
  EXPECT_EQ(m.text,
            "See below.\r\n\r\n"
            "---------- Forwarded message ----------\r\n"
            "From: Jörg <joerg@example.com>\r\n"
            "Date: Mon, 1 Mar 2021 12:00:00 +0100\r\n"
            "Subject: lunch\r\n"
            "To: team@example.com\r\n\r\n"
            "Käse at noon.\r\n\r\n"
            "[Attachment: map.gif, image/gif, 6 bytes]\r\n\r\n"
            "---------- End of forwarded message ----------\r\n");
  // The forwarded message's identifiers are not the message's own.
  EXPECT_EQ(m.messageId, "");
  EXPECT_EQ(m.subject, "Fwd: lunch");
}

TEST(MimeBody, BrokenBoundariesKeepTheText) {
  // The boundary never occurs: the body is read as plain text.
  DecodedMessage m = decodeMessage(joinLines({
      "Content-Type: multipart/mixed; boundary=never",
      "",
      "Text of a message whose boundary is wrong.",
      "--other",
      "more",
  }, "\n"));
  EXPECT_EQ(m.text, "Text of a message whose boundary is wrong.\r\n--other\r\nmore\r\n");
  // No boundary parameter at all.
  m = decodeMessage("Content-Type: multipart/mixed\n\nstill here\n");
  EXPECT_EQ(m.text, "still here\r\n");
  // No closing boundary: the last part runs to the end.
  m = decodeMessage(joinLines({"Content-Type: multipart/mixed; boundary=b", "", "--b", "Content-Type: text/plain", "",
                           "first", "--b", "", "second, unterminated"}, "\n"));
  EXPECT_EQ(m.text, "first\r\n\r\nsecond, unterminated\r\n");
}

TEST(MimeBody, UuencodedAndYencBlocksBecomeAttachments) {
  std::string msg = joinLines({
      "Newsgroups: alt.binaries.test",
      "",
      "Here it is:",
      "begin 644 cat.txt",
      "#0V%T",
      "`",
      "end",
      "And a yEnc one:",
      "=ybegin line=128 size=3 name=file one.bin",
      "ABC",
      "=yend size=3",
      "begin not a block",
      "Bye.",
  }, "\n");
  DecodedMessage m = decodeMessage(msg);
  EXPECT_EQ(m.text,
            "Here it is:\r\n"
            "[Attachment: cat.txt, application/octet-stream, 3 bytes]\r\n"
            "And a yEnc one:\r\n"
            "[Attachment: file one.bin, application/octet-stream, 3 bytes]\r\n"
            "begin not a block\r\nBye.\r\n");
  ASSERT_EQ(m.attachments.size(), 2u);
  EXPECT_EQ(m.attachments[0].filename, "cat.txt");
  EXPECT_EQ(m.attachments[0].size, 3u);
  EXPECT_EQ(m.attachments[1].filename, "file one.bin");
  // A begin line without data after it is text.
  m = decodeMessage("\nbegin 644 x.txt\nplain words here\n");
  EXPECT_EQ(m.text, "begin 644 x.txt\r\nplain words here\r\n");
  EXPECT_TRUE(m.attachments.empty());
}

TEST(MimeBody, TextIsCutOnACharacterBoundaryKeepingAttachmentLines) {
  std::string body;
  for (int i = 0; i < 400; ++i) body += "Zeile mit Umlauten äöü Nummer " + std::to_string(i) + "\n";
  std::string msg = joinLines({"Content-Type: multipart/mixed; boundary=x", "", "--x",
                           "Content-Type: text/plain; charset=utf-8", "", body, "--x",
                           "Content-Type: application/zip; name=a.zip", "", "PK", "--x--"}, "\n");
  DecodeOptions opt;
  opt.maxText = 1001;
  DecodedMessage m = decodeMessage(msg, opt);
  EXPECT_TRUE(m.textCut);
  EXPECT_LE(m.text.size(), 1001u);
  EXPECT_TRUE(qv::mime::isValidUtf8(m.text));
  EXPECT_TRUE(onlyCrLf(m.text));
  EXPECT_TRUE(m.text.rfind("Zeile mit Umlauten äöü Nummer 0\r\n", 0) == 0);
  EXPECT_TRUE(contains(m.text, "\r\n[Attachment: a.zip, application/zip, 2 bytes]\r\n"));
  // Every cut position keeps the text valid.
  for (size_t cap = 0; cap < 200; ++cap) {
    opt.maxText = cap;
    DecodedMessage c = decodeMessage("Content-Type: text/plain; charset=utf-8\n\n" + body, opt);
    EXPECT_LE(c.text.size(), cap);
    EXPECT_TRUE(qv::mime::isValidUtf8(c.text)) << cap;
    EXPECT_TRUE(c.text.empty() || c.text.back() != '\r') << cap;
  }
  // The default is 64000 bytes.
  DecodedMessage big = decodeMessage("Subject: big\n\n" + std::string(200000, 'a'));
  EXPECT_EQ(big.text.size(), 64000u);
  EXPECT_TRUE(big.textCut);
}

TEST(MimeBody, LargeAttachmentsAreCountedNotKept) {
  std::string data(3 * 1024 * 1024 + 7, '\0');
  std::mt19937 rng(7);
  for (char& c : data) c = char(rng());
  std::string msg = joinLines({"Content-Type: multipart/mixed; boundary=z", "", "--z", "Content-Type: text/plain", "",
                           "Big one attached.", "--z", "Content-Type: application/octet-stream; name=big.bin",
                           "Content-Transfer-Encoding: base64", "", base64(data), "--z--"}, "\n");
  DecodedMessage m = decodeMessage(msg);
  EXPECT_EQ(m.text, "Big one attached.\r\n\r\n[Attachment: big.bin, application/octet-stream, 3145735 bytes]\r\n");
  ASSERT_EQ(m.attachments.size(), 1u);
  EXPECT_EQ(m.attachments[0].size, data.size());

  // Megabytes of characters that are not base64 before the data: skipped,
  // and the data after them still counted.
  msg = joinLines({"Content-Type: application/octet-stream; name=junk.bin", "Content-Transfer-Encoding: base64", "",
               std::string(6 * 1024 * 1024, '*'), base64("0123456789")}, "\n");
  m = decodeMessage(msg);
  ASSERT_EQ(m.attachments.size(), 1u);
  EXPECT_EQ(m.attachments[0].size, 10u);
}

TEST(MimeBody, LineEndsAreCrLf) {
  DecodedMessage m = decodeMessage("Subject: x\r\n\r\nCRLF line\r\nLF line\nlast");
  EXPECT_EQ(m.text, "CRLF line\r\nLF line\r\nlast\r\n");
  EXPECT_TRUE(onlyCrLf(m.text));
}

TEST(MimeRobustness, BadInputNeverFails) {
  std::mt19937 rng(12345);
  std::vector<std::string> seeds = {
      joinLines({"Content-Type: multipart/mixed; boundary=a", "", "--a", "Content-Type: message/rfc822", "",
             "Content-Type: multipart/alternative; boundary=b", "", "--b", "Content-Type: text/html", "",
             "<p>&#x1F600;", "--b--", "--a--"}, "\n"),
      joinLines({"Content-Type: text/plain; charset=utf-16", "Content-Transfer-Encoding: base64", "", "//5oAGkA"}, "\n"),
      joinLines({"Content-Type: text/plain; charset=\"", "Content-Transfer-Encoding: quoted-printable", "", "=ZZ=4", "=",
             ""}, "\n"),
      "From x\n=?\n\n",
  };
  // Deep nesting.
  std::string deep = "Subject: deep\n";
  for (int i = 0; i < 300; ++i) deep += "Content-Type: multipart/mixed; boundary=b" + std::to_string(i) + "\n\n--b" + std::to_string(i) + "\n";
  deep += "Content-Type: text/plain\n\nbottom\n";
  seeds.push_back(deep);
  std::string nested = "Subject: n\n";
  for (int i = 0; i < 300; ++i) nested += "Content-Type: message/rfc822\n\nSubject: level\n";
  nested += "\ninnermost\n";
  seeds.push_back(nested);
  for (const std::string& s : seeds) {
    DecodedMessage m = decodeMessage(s);
    EXPECT_TRUE(qv::mime::isValidUtf8(m.text));
    EXPECT_TRUE(onlyCrLf(m.text));
    for (int k = 0; k < 50; ++k) {
      std::string t = s;
      for (int e = 0; e < 4 && !t.empty(); ++e) t[rng() % t.size()] = char(rng());
      t.resize(rng() % (t.size() + 1));
      DecodedMessage r = decodeMessage(t);
      EXPECT_TRUE(qv::mime::isValidUtf8(r.text));
      for (const auto& [n, v] : r.headers) EXPECT_TRUE(qv::mime::isValidUtf8(v));
    }
  }
  std::string garbage(20000, '\0');
  for (char& c : garbage) c = char(rng());
  DecodedMessage g = decodeMessage(garbage);
  EXPECT_TRUE(qv::mime::isValidUtf8(g.text));
  EXPECT_TRUE(qv::mime::isValidUtf8(g.subject));
  EXPECT_LE(g.text.size(), 64000u);
}

TEST(MimeRobustness, DecodesConcurrently) {
  std::string msg = joinLines({"Subject: =?utf-8?q?Gr=C3=BC=C3=9Fe?=", "Date: Tue, 18 May 2004 01:43:21 -0700",
                           "Content-Type: text/html; charset=iso-8859-1", "", "<p>K\xE4se &amp; Brot</p>"}, "\n");
  DecodedMessage expected = decodeMessage(msg);
  std::vector<std::thread> threads;
  std::vector<int> ok(4, 0);
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        DecodedMessage m = decodeMessage(msg);
        ok[t] += m.text == expected.text && m.subject == expected.subject && m.date == expected.date;
      }
    });
  for (auto& th : threads) th.join();
  for (int t = 0; t < 4; ++t) EXPECT_EQ(ok[t], 200);
  EXPECT_EQ(expected.text, "Käse & Brot\r\n");
}

// ---------------------------------------------------------------------------
// Sample files made by other programs

namespace {

std::string corpusFile(const std::string& rel) {
  std::string dir = qvtest::corpusDir();
  if (dir.empty()) return "";
  fs::path p = fs::path(dir) / rel;
  return fs::exists(p) ? p.string() : "";
}

// The messages of an mbox file, cut at lines that begin with "From ".
std::vector<std::string> mboxMessages(const std::string& path) {
  std::string all = qvtest::readFile(path);
  std::vector<std::string> out;
  size_t start = std::string::npos, pos = 0;
  while (pos < all.size()) {
    if (all.compare(pos, 5, "From ") == 0) {
      if (start != std::string::npos) out.push_back(all.substr(start, pos - start));
      start = pos;
    }
    size_t nl = all.find('\n', pos);
    if (nl == std::string::npos) break;
    pos = nl + 1;
  }
  if (start != std::string::npos) out.push_back(all.substr(start));
  return out;
}

#define REQUIRE_CORPUS(path)                                                         \
  if ((path).empty()) GTEST_SKIP() << "the sample corpus (../shared/corpus or "     \
                                      "$QV_CORPUS_DIR) is not present";

}  // namespace

TEST(MimeCorpus, EveryMboxMessageDecodes) {
  std::string dir = corpusFile("mbox");
  REQUIRE_CORPUS(dir);
  int files = 0;
  for (const auto& e : fs::directory_iterator(dir)) {
    std::string name = e.path().filename().string();
    if (name.rfind("perceval_", 0) != 0) continue;
    ++files;
    std::vector<std::string> msgs = mboxMessages(e.path().string());
    EXPECT_FALSE(msgs.empty()) << name;
    for (const std::string& raw : msgs) {
      DecodedMessage m = decodeMessage(raw);
      EXPECT_FALSE(m.envelope.empty()) << name;
      EXPECT_FALSE(m.headers.empty()) << name;
      EXPECT_FALSE(m.subject.empty()) << name;
      EXPECT_FALSE(m.text.empty()) << name;
      EXPECT_TRUE(m.hasDate) << name << ": " << m.subject;
      EXPECT_TRUE(qv::mime::isValidUtf8(m.text)) << name;
      EXPECT_TRUE(onlyCrLf(m.text)) << name;
    }
  }
  EXPECT_EQ(files, 7);
}

TEST(MimeCorpus, ComplexMboxFacts) {
  std::string path = corpusFile("mbox/perceval_mbox_complex.mbox");
  REQUIRE_CORPUS(path);
  std::vector<std::string> msgs = mboxMessages(path);
  ASSERT_EQ(msgs.size(), 2u);
  DecodedMessage a = decodeMessage(msgs[0]);
  EXPECT_EQ(a.messageId, "BAY12-DAV6Dhd2stb2e0000c0ce@hotmail.com");
  EXPECT_EQ(a.subject, "Re: Revisiting the Gnome Bindings");
  EXPECT_EQ(a.fromRaw, "\"Eugenia Loli-Queru\" <eloli@hotmail.com>");
  EXPECT_EQ(a.toRaw, "<language-bindings@gnome.org>, <desktop-devel-list@gnome.org>");
  EXPECT_EQ(a.to.size(), 2u);
  EXPECT_TRUE(a.cc.empty());
  EXPECT_EQ(a.ccRaw, "");
  EXPECT_EQ(headerValue(a, "Cc"), "");
  ASSERT_TRUE(a.hasDate);
  EXPECT_EQ(when(a), (YMD{2004, 9, 22, 2, 3, 40}));
  EXPECT_EQ(a.tzMinutes, -420);
  EXPECT_TRUE(a.text.rfind(">I don't think it's fair to blame the Foundation [...]\r\n", 0) == 0);
  EXPECT_TRUE(contains(a.text, "Rgds,\r\nEugenia\r\n"));

  DecodedMessage b = decodeMessage(msgs[1]);
  EXPECT_EQ(b.messageId, "87iqzlofqu.fsf@avet.kvota.net");
  EXPECT_EQ(b.subject, "Re: Low memory hacks");
  ASSERT_EQ(b.from.size(), 1u);
  EXPECT_EQ(b.from[0].name, "Danilo Šegan");
  EXPECT_EQ(b.from[0].address, "danilo@gnome.org");
  EXPECT_EQ(b.to.size(), 1u);
  EXPECT_EQ(b.cc.size(), 4u);
  EXPECT_EQ(b.references, (std::vector<std::string>{"1204225143.12769.9.camel@localhost.localdomain",
                                                   "1204236062.14337.5.camel@localhost.localdomain"}));
  EXPECT_EQ(when(b), (YMD{2008, 3, 17, 10, 35, 5}));
  // Quoted-printable UTF-8 body: the em dash arrives whole.
  EXPECT_TRUE(contains(b.text, "I am not handling Ubuntu packaging stuff\xE2\x80\x94it'd be worth checking with"));
}

TEST(MimeCorpus, SingleAndMultipartMboxFacts) {
  std::string single = corpusFile("mbox/perceval_mbox_single.mbox");
  REQUIRE_CORPUS(single);
  std::vector<std::string> msgs = mboxMessages(single);
  ASSERT_EQ(msgs.size(), 1u);
  DecodedMessage m = decodeMessage(msgs[0]);
  EXPECT_EQ(m.messageId, "4CF64D10.9020206@domain.com");
  EXPECT_EQ(m.subject, "[List-name] Protocol Buffers anyone?");
  EXPECT_EQ(m.fromRaw, "goran at domain.com (Göran Lastname)");
  ASSERT_EQ(m.from.size(), 1u);
  EXPECT_EQ(m.from[0].name, "Göran Lastname");
  EXPECT_EQ(when(m), (YMD{2010, 12, 1, 14, 26, 40}));
  EXPECT_EQ(m.tzMinutes, 60);

  std::vector<std::string> multi = mboxMessages(corpusFile("mbox/perceval_mbox_multipart.mbox"));
  ASSERT_EQ(multi.size(), 2u);
  DecodedMessage x = decodeMessage(multi[0]);
  DecodedMessage y = decodeMessage(multi[1]);
  EXPECT_EQ(x.messageId, "019801ca633f$f4376140$dca623c0$@yang@example.com");
  EXPECT_EQ(y.messageId, "FB0C1D9DAED2D411BB990002A52C30EC03838593@example.com");
  // Both are multipart/alternative: the plain part is taken.
  EXPECT_FALSE(x.html);
  EXPECT_FALSE(y.html);
  EXPECT_TRUE(x.text.rfind("technology.esl Committers,\r\n", 0) == 0);
  EXPECT_FALSE(contains(x.text, "<html"));
  EXPECT_FALSE(contains(y.text, "<"));
  EXPECT_TRUE(x.attachments.empty());

  std::vector<std::string> noFields = mboxMessages(corpusFile("mbox/perceval_mbox_no_fields.mbox"));
  ASSERT_EQ(noFields.size(), 6u);
  EXPECT_EQ(decodeMessage(noFields[0]).messageId, "4CF64D10.9020206@domain.com");  // "Message-id"
  EXPECT_EQ(decodeMessage(noFields[3]).messageId, "");                             // empty "Message-Id:"
  DecodedMessage noDate = decodeMessage(noFields[4]);                             // "Date:  "
  EXPECT_TRUE(noDate.dateFromEnvelope);
  EXPECT_EQ(when(noDate), (YMD{2010, 12, 1, 8, 26, 40}));

  DecodedMessage unknown = decodeMessage(mboxMessages(corpusFile("mbox/perceval_mbox_unknown_encoding.mbox"))[0]);
  ASSERT_EQ(unknown.from.size(), 1u);
  EXPECT_EQ(unknown.from[0].address, "yuancong@example.com");
  EXPECT_TRUE(qv::mime::isValidUtf8(unknown.from[0].name));
  DecodedMessage latin = decodeMessage(mboxMessages(corpusFile("mbox/perceval_mbox_iso8859_encoding.mbox"))[0]);
  ASSERT_EQ(latin.from.size(), 1u);
  EXPECT_EQ(latin.from[0].name, "Lucía Charlie");  // =?UTF-8?Q?Luc=eda?=: the byte is kept
}

TEST(MimeCorpus, EveryNewsArticleDecodes) {
  std::string dir = corpusFile("news-spool/inn/articles");
  REQUIRE_CORPUS(dir);
  int n = 0;
  for (const auto& e : fs::directory_iterator(dir)) {
    DecodedMessage m = decodeMessage(qvtest::readFile(e.path().string()));
    ++n;
    EXPECT_EQ(m.newsgroups.empty(), false) << e.path();
    EXPECT_TRUE(m.hasDate) << e.path();
    EXPECT_FALSE(m.text.empty()) << e.path();
    EXPECT_TRUE(onlyCrLf(m.text)) << e.path();
  }
  EXPECT_EQ(n, 9);
}

TEST(MimeCorpus, NewsArticleFacts) {
  std::string dir = corpusFile("news-spool/inn/articles");
  REQUIRE_CORPUS(dir);
  auto article = [&](const char* name) { return decodeMessage(qvtest::readFile(dir + "/" + name)); };

  DecodedMessage a1 = article("1");
  EXPECT_EQ(a1.messageId, "example-1@example.com");
  EXPECT_EQ(a1.subject, "Test article");
  EXPECT_EQ(a1.newsgroups, (std::vector<std::string>{"example.test"}));
  EXPECT_EQ(headerValue(a1, "Organization"), "Leading space  tab folded header and trailing space.");

  DecodedMessage a3 = article("3");
  EXPECT_EQ(a3.subject, "Test article #3 with a | | tab");
  EXPECT_EQ(a3.newsgroups, (std::vector<std::string>{"example.test", "example.config"}));
  EXPECT_EQ(when(a3), (YMD{2004, 3, 6, 21, 40, 54}));
  EXPECT_EQ(a3.tzMinutes, -480);

  // The subject and author as the server's own overview has them.
  DecodedMessage a4 = article("4");
  EXPECT_EQ(a4.subject, "This is an aggressively obnoxious article for   testing    overview");
  EXPECT_EQ(a4.fromRaw, "I Am User <user@example.com>");
  ASSERT_EQ(a4.from.size(), 1u);
  EXPECT_EQ(a4.from[0].name, "I Am User");
  EXPECT_EQ(a4.references, (std::vector<std::string>{"example-1@example.com", "example-2@example.com"}));
  EXPECT_EQ(a4.messageId, "example-4@example.com");

  DecodedMessage a5 = article("5");
  EXPECT_EQ(a5.messageId, "example-5@example.com");
  EXPECT_EQ(a5.subject, "Torture test for article parsing");
  EXPECT_EQ(a5.headers[0].first, "T");
  EXPECT_EQ(a5.headers[0].second.size(), 997u);
  EXPECT_EQ(a5.headers[3].first.size(), 998u);
  EXPECT_EQ(count(a5.text, "nosense in it to torture the article parser."), 1u);

  DecodedMessage noId = article("bad-msgid");
  EXPECT_EQ(noId.messageId, "");
  EXPECT_EQ(noId.subject, "Test article with stray CR | | and no message ID");
  EXPECT_EQ(article("bad-subj").subject, "");
  EXPECT_EQ(article("bad-subj").messageId, "example-bad-subj@example.com");
}

TEST(MimeCorpus, GatewayedNewsArticles) {
  std::string path = corpusFile("news-spool/perceval/nntp_1.txt");
  REQUIRE_CORPUS(path);
  DecodedMessage m = decodeMessage(qvtest::readFile(path));
  EXPECT_EQ(m.messageId, "mailman.350.1458060579.14303.dev-project-link@example.com");
  EXPECT_EQ(m.newsgroups, (std::vector<std::string>{"example.dev.project-link"}));
  ASSERT_EQ(m.from.size(), 1u);
  EXPECT_EQ(m.from[0].name, "Fernando Jiménez Moreno");
  EXPECT_EQ(m.from[0].address, "fmoreno@example.com");
  EXPECT_EQ(headerValue(m, "NNTP-Posting-Date"), "Tue, 15 Mar 2016 11:49:40 -0500");
  // "DATE:" in capitals, with an 8-bit zone name nobody can read.
  ASSERT_TRUE(m.hasDate);
  EXPECT_EQ(when(m), (YMD{2016, 3, 15, 12, 5, 48}));
  EXPECT_TRUE(m.text.rfind("Hello folks,\r\n\r\nduring yesterday's weekly meeting", 0) == 0);
  EXPECT_FALSE(m.html);

  DecodedMessage n = decodeMessage(qvtest::readFile(corpusFile("news-spool/perceval/nntp_2.txt")));
  EXPECT_EQ(n.messageId, "mailman.361.1458076505.14303.dev-project-link@example.com");
  EXPECT_EQ(n.newsgroups, (std::vector<std::string>{"mozilla.dev.project-link"}));
  EXPECT_TRUE(contains(n.text, "Fernando Jiménez Moreno a écrit"));
  ASSERT_EQ(n.attachments.size(), 1u);
  EXPECT_EQ(n.attachments[0].contentType, "application/pgp-signature");
}

TEST(MimeCorpus, NetscapeMailWithForwardedMessages) {
  std::string path = corpusFile("netscape-mail/mimekit_content-length.mbox");
  REQUIRE_CORPUS(path);
  std::vector<std::string> msgs = mboxMessages(path);
  ASSERT_EQ(msgs.size(), 29u);
  DecodedMessage first = decodeMessage(msgs[0]);
  EXPECT_EQ(first.subject, "Re: mailusr1@navstar1 3.0b6gold #1");
  EXPECT_EQ(when(first), (YMD{1996, 7, 21, 17, 2, 55}));
  EXPECT_EQ(first.tzMinutes, -480);
  EXPECT_TRUE(contains(first.text, "---------- Forwarded message ----------\r\nFrom: \"Michael A. Atzet\" <atzet@netscape.com>"));
  DecodedMessage second = decodeMessage(msgs[1]);
  EXPECT_EQ(second.fromRaw, "Jamie Zawinski <jwz@netscape.com>");
  EXPECT_GE(count(second.text, "[Attachment: "), 4u);
  EXPECT_GE(count(second.text, "---------- Forwarded message ----------"), 5u);
  EXPECT_EQ(count(second.text, "---------- Forwarded message ----------"),
            count(second.text, "---------- End of forwarded message ----------"));
  for (const std::string& raw : msgs) {
    DecodedMessage m = decodeMessage(raw);
    EXPECT_TRUE(qv::mime::isValidUtf8(m.text));
    EXPECT_TRUE(onlyCrLf(m.text));
  }
}
