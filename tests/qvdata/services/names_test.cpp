#include "services/names.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

using qv::FindCISAdress;
using qv::ParseName;

namespace {

// (last, first)
std::pair<std::string, std::string> parse(std::string_view full) {
  std::string last = "stale", first = "stale";
  ParseName(full, last, first);
  return {last, first};
}

// (name, address)
std::pair<std::string, std::string> split(int mode, std::string_view text) {
  std::string name = "stale", address = "stale";
  FindCISAdress(mode, text, name, address);
  return {name, address};
}

using P = std::pair<std::string, std::string>;

const std::string kBoxLine = "\xE2\x94\x82";  // U+2502
const std::string kLatinBar = "\xC2\xB3";     // U+00B3

}  // namespace

TEST(NamesParseName, SingleWordIsAllLastName) {
  EXPECT_EQ(parse("Cher"), P("Cher", ""));
  EXPECT_EQ(parse("Cher   "), P("Cher", ""));
  EXPECT_EQ(parse("C"), P("C", ""));
  EXPECT_EQ(parse(""), P("", ""));
  EXPECT_EQ(parse("   "), P("", ""));
}

TEST(NamesParseName, LastWordIsTheLastName) {
  EXPECT_EQ(parse("John Smith"), P("Smith", "John"));
  EXPECT_EQ(parse("Mary Ann Smith"), P("Smith", "Mary Ann"));
  EXPECT_EQ(parse("John Smith   "), P("Smith", "John"));
  EXPECT_EQ(parse("  John Smith"), P("Smith", "John"));
  EXPECT_EQ(parse("Jean-Luc  Picard"), P("Picard", "Jean-Luc"));
  EXPECT_EQ(parse("José Müller"), P("Müller", "José"));
  EXPECT_EQ(parse("Åsa von Ärlig"), P("Ärlig", "Åsa von"));
}

TEST(NamesParseName, GenerationSuffixStaysWithTheLastName) {
  EXPECT_EQ(parse("John Smith III"), P("Smith III", "John"));
  EXPECT_EQ(parse("John Smith II"), P("Smith II", "John"));
  EXPECT_EQ(parse("John Smith I"), P("Smith I", "John"));
  EXPECT_EQ(parse("John Smith IV"), P("Smith IV", "John"));
  EXPECT_EQ(parse("John Smith V"), P("Smith V", "John"));
  EXPECT_EQ(parse("Mary Ann Smith III"), P("Smith III", "Mary Ann"));
  // The same written with a small l for the I, as some readers store it.
  EXPECT_EQ(parse("John Smith lll"), P("Smith lll", "John"));
  EXPECT_EQ(parse("John Smith ll"), P("Smith ll", "John"));
  EXPECT_EQ(parse("John Smith l"), P("Smith l", "John"));
  EXPECT_EQ(parse("John Smith lV"), P("Smith lV", "John"));
}

TEST(NamesParseName, SuffixWithoutFirstNameIsAllLastName) {
  EXPECT_EQ(parse("Smith III"), P("Smith III", ""));
  EXPECT_EQ(parse("Smith V"), P("Smith V", ""));
}

TEST(NamesParseName, NamesThatMerelyLookLikeSuffixes) {
  // Compared on three blank-padded characters, case-sensitively.
  EXPECT_EQ(parse("Anna Ivanova"), P("Ivanova", "Anna"));
  EXPECT_EQ(parse("Paul Vance"), P("Vance", "Paul"));
  EXPECT_EQ(parse("John Smith iii"), P("iii", "John Smith"));
  EXPECT_EQ(parse("John Smith VI"), P("VI", "John Smith"));
  EXPECT_EQ(parse("John Smith Jr"), P("Jr", "John Smith"));
  EXPECT_EQ(parse("Jan Ill"), P("Ill", "Jan"));
}

TEST(NamesParseName, VeryLongName) {
  std::string full;
  for (int i = 0; i < 5000; ++i) full += "Word ";
  full += "Last";
  auto [last, first] = parse(full);
  EXPECT_EQ(last, "Last");
  EXPECT_EQ(first.size(), full.size() - 5);
}

TEST(NamesFindCISAdress, CompuServeNumberAfterTheName) {
  for (int mode : {1, 2}) {
    SCOPED_TRACE(mode);
    EXPECT_EQ(split(mode, "John Smith 12345,678"), P("John Smith", "12345,678"));
    EXPECT_EQ(split(mode, "John Smith 12345.678"), P("John Smith", "12345,678"));
    EXPECT_EQ(split(mode, "John Smith [12345,678]"), P("John Smith", "12345,678"));
    EXPECT_EQ(split(mode, "John Smith [12345.678]"), P("John Smith", "12345,678"));
    EXPECT_EQ(split(mode, "  John Smith 12345,678  "), P("John Smith", "12345,678"));
    EXPECT_EQ(split(mode, "John Smith 12345, 678"), P("John Smith", "12345,678"));
    EXPECT_EQ(split(mode, "John Smith > 12345,678"), P("John Smith", "12345,678"));
    EXPECT_EQ(split(mode, "Smith, John 76711,1234"), P("Smith, John", "76711,1234"));
    EXPECT_EQ(split(mode, "José Müller 12345,678"), P("José Müller", "12345,678"));
    // ó ends in the same byte as the Latin-1 vertical line; it is a letter.
    EXPECT_EQ(split(mode, "Ana Ramó 12345,678"), P("Ana Ramó", "12345,678"));
  }
}

TEST(NamesFindCISAdress, VerticalLineSeparatesNameAndNumber) {
  for (const std::string& bar : {kBoxLine, kLatinBar}) {
    EXPECT_EQ(split(2, "John Smith" + bar + "12345,678"), P("John Smith", "12345,678"));
    EXPECT_EQ(split(2, "John Smith " + bar + " 12345.678"), P("John Smith", "12345,678"));
    EXPECT_EQ(split(1, "John Smith" + bar + "[12345,678]"), P("John Smith", "12345,678"));
  }
}

TEST(NamesFindCISAdress, BareNumberIsAllAddress) {
  for (int mode : {0, 1, 2}) {
    SCOPED_TRACE(mode);
    EXPECT_EQ(split(mode, "12345,678"), P("", "12345,678"));
    EXPECT_EQ(split(mode, "12345.678"), P("", "12345,678"));
    EXPECT_EQ(split(mode, "[12345,678]"), P("", "12345,678"));
  }
}

TEST(NamesFindCISAdress, TextWithoutNumberOutsideModeTwoIsAllName) {
  EXPECT_EQ(split(1, "John Smith"), P("John Smith", ""));
  EXPECT_EQ(split(0, "John Smith"), P("John Smith", ""));
  EXPECT_EQ(split(1, "Smith, John"), P("Smith, John", ""));
  EXPECT_EQ(split(1, "John Smith >INTERNET:jsmith@host.com"),
            P("John Smith >INTERNET:jsmith@host.com", ""));
  // A full stop followed by something other than digits is no number.
  EXPECT_EQ(split(1, "John Smith 12345.abc"), P("John Smith 12345.abc", ""));
  EXPECT_EQ(split(1, "Dr. John Smith"), P("Dr. John Smith", ""));
  // CSINET is a mode 2 form only.
  EXPECT_EQ(split(1, "John CSINET:jsmith"), P("John CSINET:jsmith", ""));
}

TEST(NamesFindCISAdress, ModeTwoTakesTheLastWordAsAddress) {
  EXPECT_EQ(split(2, "John Smith >INTERNET:jsmith"), P("John Smith", "jsmith"));
  EXPECT_EQ(split(2, "John Smith >INTERNET:jsmith@host.com"), P("John Smith", "jsmith@host.com"));
  EXPECT_EQ(split(2, "John Smith jsmith@host.com"), P("John Smith", "jsmith@host.com"));
  EXPECT_EQ(split(2, "John Smith >>> jsmith@host.com"), P("John Smith", "jsmith@host.com"));
  EXPECT_EQ(split(2, "John Smith" + kBoxLine + "INTERNET:jsmith@host.com"),
            P("John Smith", "jsmith@host.com"));
  EXPECT_EQ(split(2, "José Müller >INTERNET:jose@example.es"),
            P("José Müller", "jose@example.es"));
  EXPECT_EQ(split(2, "John Smith"), P("John", "Smith"));
  // Only the first colon introduces the address; a colon with nothing after
  // it is kept.
  EXPECT_EQ(split(2, "John INTERNET:a:b"), P("John", "a:b"));
  EXPECT_EQ(split(2, "John INTERNET:"), P("John", "INTERNET:"));
  // Not a CompuServe number: the dotted host name is part of the address.
  EXPECT_EQ(split(2, "John Smith 12345.678@compuserve.com"),
            P("John Smith", "12345.678@compuserve.com"));
}

TEST(NamesFindCISAdress, ModeTwoSingleWordIsAllAddress) {
  EXPECT_EQ(split(2, "jsmith@host.com"), P("", "jsmith@host.com"));
  EXPECT_EQ(split(2, "INTERNET:jsmith@host.com"), P("", "jsmith@host.com"));
  EXPECT_EQ(split(2, "Ramó"), P("", "Ramó"));
  EXPECT_EQ(split(2, "Ana Ramó"), P("Ana", "Ramó"));
}

TEST(NamesFindCISAdress, CsinetForms) {
  EXPECT_EQ(split(2, "John Smith CSINET:jsmith@host.com"), P("John Smith", "jsmith@host.com"));
  EXPECT_EQ(split(2, "John Smith >CSINET:jsmith@host.com"), P("John Smith", "jsmith@host.com"));
  EXPECT_EQ(split(2, "CSINET:jsmith@host.com"), P("", "jsmith@host.com"));
  EXPECT_EQ(split(2, "CSINET:jsmith@host.com (John Smith)"), P("", "jsmith@host.com"));
  EXPECT_EQ(split(2, "John CSINET jsmith@host.com"), P("John", "jsmith@host.com"));
  EXPECT_EQ(split(2, "John CSINET: jsmith@host.com"), P("John", "jsmith@host.com"));
  EXPECT_EQ(split(2, "John CSINET"), P("John", ""));
  EXPECT_EQ(split(2, "John CSINET:"), P("John", ""));
  // Short addresses are not cut at a blank.
  EXPECT_EQ(split(2, "Jo CSINET:a b"), P("Jo", "a b"));
  // Only the whole word counts.
  EXPECT_EQ(split(2, "John XCSINET:jsmith"), P("John", "jsmith"));
  // CSINET takes precedence over a number.
  EXPECT_EQ(split(2, "John CSINET:12345.678"), P("John", "12345.678"));
}

TEST(NamesFindCISAdress, EmptyAndDegenerateTexts) {
  for (int mode : {0, 1, 2}) {
    SCOPED_TRACE(mode);
    EXPECT_EQ(split(mode, ""), P("", ""));
    EXPECT_EQ(split(mode, "   "), P("", ""));
  }
  EXPECT_EQ(split(1, ",5"), P(",5", ""));
  EXPECT_EQ(split(1, "a,"), P("a,", ""));
  EXPECT_EQ(split(1, "John ,"), P("John ,", ""));
  EXPECT_EQ(split(2, ">"), P("", ">"));
  EXPECT_EQ(split(1, kBoxLine + "12345,678"), P("", "12345,678"));
}

TEST(NamesFindCISAdress, VeryLongTexts) {
  std::string name;
  for (int i = 0; i < 20000; ++i) name += "Name ";
  name += "Last";
  EXPECT_EQ(split(2, name + " 12345,678"), P(name, "12345,678"));
  EXPECT_EQ(split(1, name), P(name, ""));
  auto [n, a] = split(2, name + " >INTERNET:x@y.org");
  EXPECT_EQ(n, name);
  EXPECT_EQ(a, "x@y.org");
  std::string digits(100000, '7');
  EXPECT_EQ(split(1, digits + "," + digits), P("", digits + "," + digits));
}
