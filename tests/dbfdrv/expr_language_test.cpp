// Key and filter expressions: the terms, functions and comparisons, and the
// errors of malformed texts and unknown names.
#include <gtest/gtest.h>

#include "expr/expression.h"
#include "memory_record.h"

using dbf::ExprType;
using dbf::ExprValue;
using dbf::Expression;
using dbftest::MemoryRecord;

namespace {

MemoryRecord sample() {
  MemoryRecord r;
  r.set("NAME", 'C', "Smith     ")
      .set("FIRST", 'C', "Ann  ")
      .set("BORN", 'D', "19870301")
      .set("NOBORN", 'D', "        ")
      .set("AMOUNT", 'N', "   -12.50", 2)
      .set("COUNT", 'N', "    7")
      .set("EMPTYN", 'N', "     ")
      .set("ACTIVE", 'L', "T")
      .set("OFF", 'L', "F")
      .set("CALL_ID", 'I', std::string("\x10\x00\x00\x00", 4));
  r.number = 42;
  return r;
}

ExprValue eval(const std::string& text, const MemoryRecord& r = sample()) {
  Expression e;
  std::string detail;
  EXPECT_EQ(e.compile(text, &detail), dbf::ExprOk) << text << ": " << detail;
  ExprValue v;
  EXPECT_EQ(e.evaluate(r, v, &detail), dbf::ExprOk) << text << ": " << detail;
  return v;
}

std::string text(const std::string& expr) {
  ExprValue v = eval(expr);
  EXPECT_EQ(v.type, ExprType::Text) << expr;
  return v.text;
}

double number(const std::string& expr) {
  ExprValue v = eval(expr);
  EXPECT_EQ(v.type, ExprType::Number) << expr;
  return v.number;
}

bool filter(const std::string& expr, const MemoryRecord& r = sample()) {
  Expression e;
  EXPECT_EQ(e.compile(expr), dbf::ExprOk) << expr;
  bool out = false;
  EXPECT_EQ(e.test(r, out), dbf::ExprOk) << expr;
  return out;
}

int compileStatus(const std::string& expr) {
  Expression e;
  return e.compile(expr);
}

int evalStatus(const std::string& expr) {
  Expression e;
  int st = e.compile(expr);
  if (st != dbf::ExprOk) return st;
  ExprValue v;
  return e.evaluate(sample(), v);
}

TEST(ExprTerms, FieldsKeepTheirBytesAndTypes) {
  EXPECT_EQ(text("NAME"), "Smith     ");
  EXPECT_EQ(text("name"), "Smith     ");
  EXPECT_EQ(text("A->NAME"), "Smith     ");
  EXPECT_DOUBLE_EQ(number("AMOUNT"), -12.5);
  EXPECT_DOUBLE_EQ(number("EMPTYN"), 0);
  EXPECT_DOUBLE_EQ(number("CALL_ID"), 16);
  ExprValue d = eval("BORN");
  EXPECT_EQ(d.type, ExprType::Date);
  EXPECT_EQ(d.text, "19870301");
  EXPECT_EQ(eval("ACTIVE").type, ExprType::Logical);
}

TEST(ExprTerms, PlusJoinsTextsAndAddsNumbersMinusSubtracts) {
  EXPECT_EQ(text("NAME+FIRST"), "Smith     Ann  ");
  EXPECT_EQ(text("NAME + 'x' + \"y\""), "Smith     xy");
  EXPECT_DOUBLE_EQ(number("COUNT+AMOUNT"), -5.5);
  EXPECT_DOUBLE_EQ(number("COUNT-AMOUNT-1"), 18.5);
  EXPECT_DOUBLE_EQ(number("-COUNT"), -7);
  EXPECT_DOUBLE_EQ(number("(1+2)-(3-4)"), 4);
  EXPECT_EQ(text("DTOS(BORN)+NAME"), "19870301Smith     ");
}

TEST(ExprFunctions, TextFunctions) {
  EXPECT_EQ(text("LEFT(NAME,3)"), "Smi");
  EXPECT_EQ(text("RIGHT(FIRST,4)"), "nn  ");
  EXPECT_EQ(text("LEFT(NAME,99)"), "Smith     ");
  EXPECT_EQ(text("SUBSTR(NAME,2,3)"), "mit");
  EXPECT_EQ(text("SUBSTR(NAME,4)"), "th     ");
  EXPECT_EQ(text("SUBSTR(NAME,40)"), "");
  EXPECT_EQ(text("UPPER(NAME)"), "SMITH     ");
  EXPECT_EQ(text("LOWER(NAME)"), "smith     ");
  EXPECT_EQ(text("LTRIM('  a ')"), "a ");
  EXPECT_EQ(text("RTRIM('  a ')"), "  a");
  EXPECT_EQ(text("TRIM('  a ')"), "  a");
  EXPECT_EQ(text("ALLTRIM('  a ')"), "a");
  EXPECT_EQ(text("TRIM(NAME)+FIRST"), "SmithAnn  ");
}

TEST(ExprFunctions, NumbersAndDates) {
  EXPECT_EQ(text("STR(COUNT)"), "         7");
  EXPECT_EQ(text("STR(AMOUNT,8,2)"), "  -12.50");
  EXPECT_EQ(text("STR(123456,3)"), "***");
  EXPECT_EQ(text("STR(2.5,4,1)"), " 2.5");
  EXPECT_DOUBLE_EQ(number("VAL(' 12.25xyz')"), 12.25);
  EXPECT_DOUBLE_EQ(number("VAL('abc')"), 0);
  EXPECT_DOUBLE_EQ(number("FIXED(COUNT)"), 7);
  EXPECT_DOUBLE_EQ(number("FLOAT(AMOUNT)"), -12.5);
  EXPECT_DOUBLE_EQ(number("RECNO()"), 42);
  EXPECT_EQ(text("DTOC(BORN)"), "03/01/87");
  EXPECT_EQ(text("DTOC(BORN,1)"), "19870301");
  EXPECT_EQ(text("DTOC(NOBORN)"), "  /  /  ");
  EXPECT_EQ(text("DTOS(NOBORN)"), "        ");
  ExprValue d = eval("CTOD('03/01/87')");
  EXPECT_EQ(d.type, ExprType::Date);
  EXPECT_EQ(d.text, "19870301");
  EXPECT_EQ(eval("CTOD('12/31/2024')").text, "20241231");
  EXPECT_EQ(eval("CTOD('13/01/2024')").text, "        ");
  EXPECT_EQ(eval("CTOD('nonsense')").text, "        ");
  EXPECT_EQ(text("IIF(ACTIVE,'yes','no')"), "yes");
  EXPECT_EQ(text("IIF(COUNT>10,'big','small')"), "small");
}

TEST(ExprFilters, ComparisonsOfEveryOperator) {
  EXPECT_TRUE(filter("COUNT=7"));
  EXPECT_TRUE(filter("COUNT<>8"));
  EXPECT_TRUE(filter("COUNT#8"));
  EXPECT_TRUE(filter("COUNT<8"));
  EXPECT_TRUE(filter("COUNT>6"));
  EXPECT_TRUE(filter("COUNT<=7"));
  EXPECT_TRUE(filter("COUNT=<7"));
  EXPECT_TRUE(filter("COUNT>=7"));
  EXPECT_TRUE(filter("COUNT=>7"));
  EXPECT_FALSE(filter("COUNT>7"));
  EXPECT_TRUE(filter("0.1+0.2=0.3"));  // within the tolerance
  EXPECT_TRUE(filter("BORN>CTOD('12/31/86')"));
  EXPECT_TRUE(filter("BORN<CTOD('01/01/1990')"));
  // the exact equality, as other writers' filters hold it
  EXPECT_TRUE(filter("COUNT==7"));
  EXPECT_TRUE(filter("TRIM(UPPER(name))==\"SMITH\""));
  EXPECT_FALSE(filter("UPPER(name)==\"SMITH\""));
  EXPECT_FALSE(filter("TRIM(first)=='Ann '"));
}

TEST(ExprFilters, TextsCompareOverTheShorterLengthThenTheShorterIsSmaller) {
  EXPECT_TRUE(filter("'AB'<'ABC'"));
  EXPECT_FALSE(filter("'AB'='ABC'"));
  EXPECT_TRUE(filter("'ABD'>'ABC'"));
  EXPECT_TRUE(filter("'B'>'ABC'"));
  EXPECT_TRUE(filter("TRIM(NAME)='Smith'"));
}

TEST(ExprFilters, AValueWithoutComparisonIsFalseWhenItBeginsWithFNOrZero) {
  EXPECT_TRUE(filter("ACTIVE"));
  EXPECT_FALSE(filter("OFF"));
  EXPECT_FALSE(filter("'No'"));
  EXPECT_FALSE(filter("'False'"));
  EXPECT_FALSE(filter("'0abc'"));
  EXPECT_TRUE(filter("'Yes'"));
  EXPECT_FALSE(filter("COUNT-7"));
  EXPECT_TRUE(filter("COUNT"));
  EXPECT_TRUE(filter(".NOT.OFF"));
  EXPECT_TRUE(filter(".not.deleted()"));
  MemoryRecord gone = sample();
  gone.isDeleted = true;
  EXPECT_FALSE(filter(".NOT.DELETED()", gone));
  EXPECT_TRUE(filter("DELETED()", gone));
}

TEST(ExprErrors, MalformedTextsAreBadExpressions) {
  for (const char* bad : {"", "NAME+", "LEFT(NAME,3", "'open", "NAME)", "(NAME", "1..2", "NAME FIRST",
                          "LEFT(NAME)", "STR(1,2,3,4)", "RECNO(1)", "IIF(1,2)", "ABCDEFGHIJK", "A->", "@"})
    EXPECT_EQ(compileStatus(bad), dbf::ExprBadExpression) << bad;
  EXPECT_EQ(compileStatus(std::string(255, 'A')), dbf::ExprBadExpression);
  EXPECT_EQ(compileStatus(std::string(100000, '(')), dbf::ExprBadExpression);
  EXPECT_STREQ(dbf::exprStatusText(dbf::ExprBadExpression), "bad user specified key expression");
}

TEST(ExprErrors, TypeMismatchesAreBadExpressions) {
  for (const char* bad : {"NAME+COUNT", "NAME-FIRST", "-NAME", "LEFT(COUNT,2)", "NAME=COUNT", "UPPER(BORN)",
                          "ACTIVE+ACTIVE", "DTOS(COUNT)"})
    EXPECT_EQ(evalStatus(bad), dbf::ExprBadExpression) << bad;
}

TEST(ExprErrors, UnknownFunctionsAndFieldsGive76) {
  EXPECT_EQ(compileStatus("SOUNDEX(NAME)"), dbf::ExprUnknownName);
  EXPECT_EQ(evalStatus("NOSUCH"), dbf::ExprUnknownName);
  EXPECT_EQ(evalStatus("NAME+NOSUCH"), dbf::ExprUnknownName);
  Expression e;
  std::string detail;
  EXPECT_EQ(e.compile("FOO(1)", &detail), dbf::ExprUnknownName);
  EXPECT_NE(detail.find("FOO"), std::string::npos);
}

TEST(ExprText, BlanksOutsideQuotesAreStrippedAndDeletedIsFound) {
  EXPECT_EQ(dbf::stripExpressionBlanks("STR( a ) + ' x y '"), "STR(a)+' x y '");
  Expression e;
  ASSERT_EQ(e.compile("NAME+IIF(DELETED(),'a','b')"), dbf::ExprOk);
  EXPECT_TRUE(e.mentionsDeleted());
  ASSERT_EQ(e.compile("NAME"), dbf::ExprOk);
  EXPECT_FALSE(e.mentionsDeleted());
  EXPECT_EQ(e.singleField(), "NAME");
  ASSERT_EQ(e.compile("UPPER(NAME)"), dbf::ExprOk);
  EXPECT_EQ(e.singleField(), "");
}

}  // namespace
