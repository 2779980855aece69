// Evaluation of compiled key and filter expressions on a record.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "expr/expr_functions.h"
#include "expr/expression.h"

namespace dbf {
namespace {

// Numbers closer than this compare equal in a filter.
constexpr double kNumberTolerance = 2.220446049250313e-16;

ExprValue fieldValue(const FieldView& f) {
  std::string raw(f.bytes);
  switch (f.type) {
    case 'N':
    case 'F':
      return ExprValue::ofNumber(exprTextNumber(raw));
    case 'I': {  // binary integer of newer writers, little-endian
      uint32_t u = 0;
      for (std::size_t i = 0; i < raw.size() && i < 4; ++i) u |= static_cast<uint32_t>(static_cast<unsigned char>(raw[i])) << (8 * i);
      return ExprValue::ofNumber(static_cast<int32_t>(u));
    }
    case 'D':
      return ExprValue::ofDate(raw.size() == 8 ? raw : std::string(8, ' '));
    case 'L': {
      char c = raw.empty() ? ' ' : raw[0];
      return ExprValue::ofLogical(c == 'T' || c == 't' || c == 'Y' || c == 'y');
    }
    default:
      return ExprValue::ofText(raw);
  }
}

// Texts compare over the shorter length, then the shorter is the smaller.
int compareText(const std::string& a, const std::string& b) {
  std::size_t n = std::min(a.size(), b.size());
  int c = n ? std::memcmp(a.data(), b.data(), n) : 0;
  if (c) return c < 0 ? -1 : 1;
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool compareValues(const ExprValue& a, const ExprValue& b, CompareOp op, bool& out) {
  int c;
  if (a.type == ExprType::Number && b.type == ExprType::Number) {
    double d = a.number - b.number;
    c = std::fabs(d) <= kNumberTolerance ? 0 : (d < 0 ? -1 : 1);
  } else if (a.type == ExprType::Logical && b.type == ExprType::Logical) {
    c = static_cast<int>(a.logical) - static_cast<int>(b.logical);
  } else if ((a.type == ExprType::Text || a.type == ExprType::Date) &&
             (b.type == ExprType::Text || b.type == ExprType::Date) && (a.type == b.type)) {
    c = compareText(a.text, b.text);
  } else {
    return false;
  }
  switch (op) {
    case CompareOp::Equal: out = c == 0; break;
    case CompareOp::NotEqual: out = c != 0; break;
    case CompareOp::Less: out = c < 0; break;
    case CompareOp::Greater: out = c > 0; break;
    case CompareOp::LessEqual: out = c <= 0; break;
    case CompareOp::GreaterEqual: out = c >= 0; break;
  }
  return true;
}

int evalNode(const ExprNode& n, const RecordAccess& record, ExprValue& out, std::string* detail) {
  switch (n.kind) {
    case ExprNode::Kind::Literal:
      out = n.literal;
      return ExprOk;
    case ExprNode::Kind::Field: {
      FieldView f;
      if (!record.field(n.name, f)) {
        if (detail) *detail = "the table has no field \"" + n.name + "\"";
        return ExprUnknownName;
      }
      out = fieldValue(f);
      return ExprOk;
    }
    case ExprNode::Kind::Call: {
      std::vector<ExprValue> args(n.args.size());
      for (std::size_t i = 0; i < n.args.size(); ++i)
        if (int st = evalNode(*n.args[i], record, args[i], detail); st != ExprOk) return st;
      return applyExprFunction(n.function, args, record, out, detail);
    }
    case ExprNode::Kind::Not:
    case ExprNode::Kind::Negate: {
      ExprValue v;
      if (int st = evalNode(*n.args[0], record, v, detail); st != ExprOk) return st;
      if (n.kind == ExprNode::Kind::Not) {
        out = ExprValue::ofLogical(!exprValueTrue(v));
        return ExprOk;
      }
      if (v.type != ExprType::Number) {
        if (detail) *detail = "a minus sign before a value that is not a number";
        return ExprBadExpression;
      }
      out = ExprValue::ofNumber(-v.number);
      return ExprOk;
    }
    case ExprNode::Kind::Add:
    case ExprNode::Kind::Subtract:
    case ExprNode::Kind::Compare: {
      ExprValue a, b;
      if (int st = evalNode(*n.args[0], record, a, detail); st != ExprOk) return st;
      if (int st = evalNode(*n.args[1], record, b, detail); st != ExprOk) return st;
      if (n.kind == ExprNode::Kind::Compare) {
        bool r = false;
        if (!compareValues(a, b, n.compare, r)) {
          if (detail) *detail = "a comparison of values of different types";
          return ExprBadExpression;
        }
        out = ExprValue::ofLogical(r);
        return ExprOk;
      }
      if (a.type == ExprType::Number && b.type == ExprType::Number) {
        out = ExprValue::ofNumber(n.kind == ExprNode::Kind::Add ? a.number + b.number : a.number - b.number);
        return ExprOk;
      }
      if (n.kind == ExprNode::Kind::Add && a.type != ExprType::Logical && b.type != ExprType::Logical &&
          a.type != ExprType::Number && b.type != ExprType::Number) {
        out = ExprValue::ofText(a.text + b.text);
        return ExprOk;
      }
      if (detail) *detail = n.kind == ExprNode::Kind::Add ? "\"+\" joins values of different types"
                                                          : "\"-\" needs two numbers";
      return ExprBadExpression;
    }
  }
  return ExprBadExpression;
}

}  // namespace

std::string exprValueText(const ExprValue& v) {
  switch (v.type) {
    case ExprType::Logical: return v.logical ? "T" : "F";
    case ExprType::Number: {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.15g", v.number);
      return buf;
    }
    default: return v.text;
  }
}

bool exprValueTrue(const ExprValue& v) {
  if (v.type == ExprType::Logical) return v.logical;
  std::string t = exprValueText(v);
  return t.empty() || (t[0] != 'F' && t[0] != 'N' && t[0] != '0');
}

int Expression::evaluate(const RecordAccess& record, ExprValue& out, std::string* detail) const {
  if (!root_) {
    if (detail) *detail = "no expression";
    return ExprBadExpression;
  }
  return evalNode(*root_, record, out, detail);
}

int Expression::test(const RecordAccess& record, bool& out, std::string* detail) const {
  ExprValue v;
  int st = evaluate(record, v, detail);
  if (st == ExprOk) out = exprValueTrue(v);
  return st;
}

}  // namespace dbf
