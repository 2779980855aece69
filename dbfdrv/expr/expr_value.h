// A value of the expression language: a text, a number, a date (kept as its
// eight digits "YYYYMMDD", or eight blanks) or a logical.
#pragma once

#include <string>

namespace dbf {

enum class ExprType : char { Text = 'C', Number = 'N', Date = 'D', Logical = 'L' };

struct ExprValue {
  ExprType type = ExprType::Text;
  std::string text;   // Text, and Date as its eight digits
  double number = 0;  // Number
  bool logical = false;

  static ExprValue ofText(std::string s) { ExprValue v; v.text = std::move(s); return v; }
  static ExprValue ofNumber(double d) { ExprValue v; v.type = ExprType::Number; v.number = d; return v; }
  static ExprValue ofDate(std::string digits) {
    ExprValue v; v.type = ExprType::Date; v.text = std::move(digits); return v;
  }
  static ExprValue ofLogical(bool b) { ExprValue v; v.type = ExprType::Logical; v.logical = b; return v; }
};

}  // namespace dbf
