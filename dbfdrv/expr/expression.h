// Key and filter expressions: compiled once from their text, then evaluated
// on each record through a RecordAccess.
//
// The language: terms joined by "+" (concatenation of texts, sum of numbers)
// and "-" (difference of numbers); a term is a field name (an alias ended by
// "->" is skipped), a number, a quoted text, a parenthesised expression,
// ".NOT." before a term, or one of the functions of ExprFunction. A filter
// may hold one comparison (=, ==, <>, #, <, >, <=, >=, =<, =>).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "expr/expr_value.h"
#include "expr/record_access.h"

namespace dbf {

// Failures of compiling or evaluating an expression. A malformed text, a
// wrong argument count or mixed types give the engine's -207; a field or
// function name that does not exist gives 76, the number the driver reports
// for a key naming what the table lacks.
enum ExprStatus : int {
  ExprOk = 0,
  ExprBadExpression = -207,
  ExprUnknownName = 76,
};
const char* exprStatusText(int status);

enum class ExprFunction {
  Dtoc, Left, Right, Str, Substr, Ctod, Dtos, Fixed, Float, Val, Upper, Lower, Ltrim, Rtrim,
  Alltrim, Trim, Recno, Iif, Deleted,
};

enum class CompareOp { Equal, NotEqual, Less, Greater, LessEqual, GreaterEqual };

struct ExprNode {
  enum class Kind { Field, Literal, Call, Add, Subtract, Compare, Not, Negate } kind = Kind::Literal;
  std::string name;        // Field: the upper-case field name
  ExprValue literal;       // Literal
  ExprFunction function{}; // Call
  CompareOp compare{};     // Compare
  std::vector<std::unique_ptr<ExprNode>> args;
};

// Longest key or filter text a declaration may give.
constexpr std::size_t kMaxExpressionText = 254;

class Expression {
 public:
  // Compiles text; on failure answers the status and, in detail, what failed.
  int compile(std::string_view text, std::string* detail = nullptr);
  bool empty() const { return !root_; }
  const std::string& text() const { return text_; }
  // Evaluates the expression on a record.
  int evaluate(const RecordAccess& record, ExprValue& out, std::string* detail = nullptr) const;
  // Evaluates it as a filter: a comparison or logical value as it stands, any
  // other value false when its text begins with "F", "N" or "0".
  int test(const RecordAccess& record, bool& out, std::string* detail = nullptr) const;
  // Whether the text calls DELETED().
  bool mentionsDeleted() const;
  // The single field the expression consists of ("" when it is more).
  std::string singleField() const;

 private:
  std::string text_;
  std::unique_ptr<ExprNode> root_;
};

// The value as text: texts as they are, dates as their digits, logicals as
// "T" or "F", numbers in their shortest exact form.
std::string exprValueText(const ExprValue& value);
// Whether a filter value counts as true.
bool exprValueTrue(const ExprValue& value);
// The text with all blanks outside quotes removed (expressions are stored so).
std::string stripExpressionBlanks(std::string_view text);

}  // namespace dbf
