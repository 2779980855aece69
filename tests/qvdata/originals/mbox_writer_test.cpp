// Originals written as an mboxrd mailbox: quoting, separator lines, entries.
#include "originals/mbox_writer.h"

#include <gtest/gtest.h>

using qv::mboxEntry;
using qv::mboxrdQuote;
using qv::mboxSeparator;

namespace {

// What an mboxrd reader does to a message's lines: one '>' off ^>+From .
std::string unquote(const std::string& s) {
  std::string out;
  size_t pos = 0;
  while (pos < s.size()) {
    size_t eol = s.find('\n', pos);
    size_t end = eol == std::string::npos ? s.size() : eol + 1;
    std::string line = s.substr(pos, end - pos);
    size_t q = 0;
    while (q < line.size() && line[q] == '>') ++q;
    if (q > 0 && line.compare(q, 5, "From ") == 0) line.erase(0, 1);
    out += line;
    pos = end;
  }
  return out;
}

TEST(MboxWriter, QuotesEveryFromLineWithOneMoreMark) {
  std::string body = "From here\n>From there\n>>From far\nFrom: not a separator\n From indented\nFromage\n";
  std::string q = mboxrdQuote(body);
  EXPECT_EQ(q, ">From here\n>>From there\n>>>From far\nFrom: not a separator\n From indented\nFromage\n");
  EXPECT_EQ(unquote(q), body);
  // CR LF lines and a last line without its end stay as they are.
  EXPECT_EQ(mboxrdQuote("a\r\nFrom b\r\nFrom c"), "a\r\n>From b\r\n>From c");
}

TEST(MboxWriter, SeparatorGivesTheSenderAndTheDateInUtc) {
  std::string raw = "From: \"Ann Lee\" <ann@example.org>\nDate: Tue, 1 Mar 2005 01:30:00 +0200\nSubject: x\n\nbody\n";
  EXPECT_EQ(mboxSeparator(raw), "From ann@example.org Mon Feb 28 23:30:00 2005\n");
  EXPECT_EQ(mboxSeparator("Subject: none\n\nx\n"), "From MAILER-DAEMON Thu Jan  1 00:00:00 1970\n");
  EXPECT_EQ(mboxSeparator("From bob@example.org Wed Dec  1 08:26:40 2010\r\nSubject: y\r\n\r\n"),
            "From bob@example.org Wed Dec  1 08:26:40 2010\n");
}

TEST(MboxWriter, EntryHoldsTheOriginalBetweenSeparatorAndBlankLine) {
  std::string raw = "From: a@b.c\nSubject: s\n\nFrom the start\nend";
  std::string e = mboxEntry(raw);
  size_t first = e.find('\n');
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(e.substr(0, 12), "From a@b.c T");
  std::string inside = e.substr(first + 1, e.size() - first - 2);
  EXPECT_EQ(unquote(inside), raw + "\n");  // a line end added to the last line
  EXPECT_EQ(e.substr(e.size() - 2), "\n\n");
  // An original with its own separator line does not get a second one.
  std::string withSep = "From x@y.z Wed Dec  1 08:26:40 2010\nSubject: t\n\nbody\n";
  EXPECT_EQ(mboxEntry(withSep), withSep + "\n");
  // A classic Mac original is written with LF line ends, its From lines quoted.
  std::string mac = "From: a@b.c\rSubject: mac\r\rFrom the Mac\r";
  std::string macEntry = mboxEntry(mac);
  EXPECT_EQ(macEntry.substr(macEntry.find('\n') + 1), "From: a@b.c\nSubject: mac\n\n>From the Mac\n\n");
}

}  // namespace
