// The functions of key and filter expressions, with their xBase meaning.
#include "expr/expr_functions.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace dbf {
namespace {

constexpr int kStrDefaultLength = 10;
constexpr int kStrMaxLength = 255;
const std::string kBlankDate(8, ' ');

int typeError(std::string* detail, const char* what) {
  if (detail) *detail = std::string("wrong type of argument for ") + what;
  return ExprBadExpression;
}

bool isText(const ExprValue& v) { return v.type == ExprType::Text; }
bool isNumber(const ExprValue& v) { return v.type == ExprType::Number; }

// A number argument: a number, or a text read as one.
bool numberArg(const ExprValue& v, double& out) {
  if (isNumber(v)) { out = v.number; return true; }
  if (isText(v)) { out = exprTextNumber(v.text); return true; }
  return false;
}

int clampCount(double d) {
  if (!(d > 0)) return 0;
  return d > 1e6 ? 1000000 : static_cast<int>(d);
}

std::string trimLeft(const std::string& s) {
  std::size_t i = s.find_first_not_of(' ');
  return i == std::string::npos ? std::string() : s.substr(i);
}
std::string trimRight(const std::string& s) {
  std::size_t i = s.find_last_not_of(' ');
  return i == std::string::npos ? std::string() : s.substr(0, i + 1);
}

// CTOD: "MM/DD/YY" or "MM/DD/YYYY" (two-digit years in the 1900s); anything
// else is the blank date.
std::string ctod(const std::string& text) {
  unsigned m = 0, d = 0, y = 0;
  int used = 0;
  std::string t = trimLeft(trimRight(text));
  if (std::sscanf(t.c_str(), "%2u/%2u/%4u%n", &m, &d, &y, &used) != 3 || used != static_cast<int>(t.size()))
    return kBlankDate;
  std::size_t slash = t.rfind('/');
  if (t.size() - slash - 1 <= 2) y += 1900;
  if (m < 1 || m > 12 || d < 1 || d > 31) return kBlankDate;
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04u%02u%02u", y, m, d);
  return buf;
}

}  // namespace

double exprTextNumber(std::string_view text) {
  std::string t(text);
  const char* p = t.c_str();
  while (*p == ' ') ++p;
  char* end = nullptr;
  double d = std::strtod(p, &end);
  return end == p || !std::isfinite(d) ? 0.0 : d;
}

std::string exprStr(double n, int length, int decimals) {
  length = std::clamp(length, 1, kStrMaxLength);
  decimals = std::clamp(decimals, 0, std::max(0, length - 2));
  if (!std::isfinite(n)) return std::string(length, '*');
  char buf[400];
  int len = std::fabs(n) < 1e300 ? std::snprintf(buf, sizeof buf, "%*.*f", length, decimals, n) : length + 1;
  if (len > length) return std::string(length, '*');
  return buf;
}

int applyExprFunction(ExprFunction f, std::vector<ExprValue>& a, const RecordAccess& record, ExprValue& out,
                      std::string* detail) {
  double n = 0, m = 0;
  switch (f) {
    case ExprFunction::Dtoc:
    case ExprFunction::Dtos: {
      if (a[0].type != ExprType::Date && !isText(a[0])) return typeError(detail, "DTOC/DTOS");
      const std::string& d = a[0].text;
      bool digits = f == ExprFunction::Dtos || (a.size() == 2 && isNumber(a[1]) && a[1].number == 1);
      if (digits) { out = ExprValue::ofText(d.size() == 8 ? d : kBlankDate); return ExprOk; }
      if (d.size() != 8 || d == kBlankDate) { out = ExprValue::ofText("  /  /  "); return ExprOk; }
      out = ExprValue::ofText(d.substr(4, 2) + "/" + d.substr(6, 2) + "/" + d.substr(2, 2));
      return ExprOk;
    }
    case ExprFunction::Left:
    case ExprFunction::Right: {
      if (!isText(a[0]) || !numberArg(a[1], n)) return typeError(detail, "LEFT/RIGHT");
      std::size_t count = std::min<std::size_t>(clampCount(n), a[0].text.size());
      out = ExprValue::ofText(f == ExprFunction::Left ? a[0].text.substr(0, count)
                                                      : a[0].text.substr(a[0].text.size() - count));
      return ExprOk;
    }
    case ExprFunction::Substr: {
      if (!isText(a[0]) || !numberArg(a[1], n)) return typeError(detail, "SUBSTR");
      std::size_t start = static_cast<std::size_t>(std::max(1, clampCount(n))) - 1;
      std::size_t count = std::string::npos;
      if (a.size() == 3) {
        if (!numberArg(a[2], m)) return typeError(detail, "SUBSTR");
        count = clampCount(m);
      }
      out = ExprValue::ofText(start < a[0].text.size() ? a[0].text.substr(start, count) : std::string());
      return ExprOk;
    }
    case ExprFunction::Str: {
      double len = kStrDefaultLength, dec = 0;
      if (!numberArg(a[0], n) || (a.size() > 1 && !numberArg(a[1], len)) || (a.size() > 2 && !numberArg(a[2], dec)))
        return typeError(detail, "STR");
      out = ExprValue::ofText(exprStr(n, static_cast<int>(std::clamp(len, 1.0, 255.0)),
                                      static_cast<int>(std::clamp(dec, 0.0, 255.0))));
      return ExprOk;
    }
    case ExprFunction::Ctod:
      if (!isText(a[0])) return typeError(detail, "CTOD");
      out = ExprValue::ofDate(ctod(a[0].text));
      return ExprOk;
    case ExprFunction::Fixed:
    case ExprFunction::Float:
    case ExprFunction::Val:
      if (!numberArg(a[0], n)) return typeError(detail, "VAL/FIXED/FLOAT");
      out = ExprValue::ofNumber(n);
      return ExprOk;
    case ExprFunction::Upper:
    case ExprFunction::Lower: {
      if (!isText(a[0])) return typeError(detail, "UPPER/LOWER");
      out = ExprValue::ofText(a[0].text);
      for (char& c : out.text)
        c = static_cast<char>(f == ExprFunction::Upper ? std::toupper(static_cast<unsigned char>(c))
                                                       : std::tolower(static_cast<unsigned char>(c)));
      return ExprOk;
    }
    case ExprFunction::Ltrim:
      if (!isText(a[0])) return typeError(detail, "LTRIM");
      out = ExprValue::ofText(trimLeft(a[0].text));
      return ExprOk;
    case ExprFunction::Rtrim:
    case ExprFunction::Trim:
      if (!isText(a[0])) return typeError(detail, "TRIM");
      out = ExprValue::ofText(trimRight(a[0].text));
      return ExprOk;
    case ExprFunction::Alltrim:
      if (!isText(a[0])) return typeError(detail, "ALLTRIM");
      out = ExprValue::ofText(trimLeft(trimRight(a[0].text)));
      return ExprOk;
    case ExprFunction::Recno:
      out = ExprValue::ofNumber(record.recordNumber());
      return ExprOk;
    case ExprFunction::Deleted:
      out = ExprValue::ofLogical(record.deleted());
      return ExprOk;
    case ExprFunction::Iif:
      out = std::move(exprValueTrue(a[0]) ? a[1] : a[2]);
      return ExprOk;
  }
  return ExprBadExpression;
}

}  // namespace dbf
