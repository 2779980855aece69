// The functions of the expression language and the conversions they share.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "expr/expression.h"

namespace dbf {

// Applies function f to its evaluated arguments (the count already checked).
int applyExprFunction(ExprFunction f, std::vector<ExprValue>& args, const RecordAccess& record, ExprValue& out,
                      std::string* detail);
// Reads the number at the start of a text, as VAL does (blank or none: 0).
double exprTextNumber(std::string_view text);
// STR(n, length, decimals): right-aligned, or asterisks when it does not fit.
std::string exprStr(double n, int length, int decimals);

}  // namespace dbf
