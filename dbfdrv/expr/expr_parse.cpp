// The parser of key and filter expressions: text to a tree of ExprNode.
#include <cctype>
#include <cstdlib>

#include "expr/expression.h"

namespace dbf {
namespace {

constexpr std::size_t kMaxFieldName = 10;

struct FunctionEntry {
  const char* name;
  ExprFunction function;
  int minArgs;
  int maxArgs;
};

constexpr FunctionEntry kFunctions[] = {
    {"DTOC", ExprFunction::Dtoc, 1, 2},     {"LEFT", ExprFunction::Left, 2, 2},
    {"RIGHT", ExprFunction::Right, 2, 2},   {"STR", ExprFunction::Str, 1, 3},
    {"SUBSTR", ExprFunction::Substr, 2, 3}, {"CTOD", ExprFunction::Ctod, 1, 1},
    {"DTOS", ExprFunction::Dtos, 1, 1},     {"FIXED", ExprFunction::Fixed, 1, 1},
    {"FLOAT", ExprFunction::Float, 1, 1},   {"VAL", ExprFunction::Val, 1, 1},
    {"UPPER", ExprFunction::Upper, 1, 1},   {"LOWER", ExprFunction::Lower, 1, 1},
    {"LTRIM", ExprFunction::Ltrim, 1, 1},   {"RTRIM", ExprFunction::Rtrim, 1, 1},
    {"ALLTRIM", ExprFunction::Alltrim, 1, 1}, {"TRIM", ExprFunction::Trim, 1, 1},
    {"RECNO", ExprFunction::Recno, 0, 0},   {"IIF", ExprFunction::Iif, 3, 3},
    {"DELETED", ExprFunction::Deleted, 0, 0},
};

// Deeply nested parentheses are refused rather than recursed into without end.
constexpr int kMaxDepth = 64;

class Parser {
 public:
  Parser(std::string_view text, std::string* detail) : s_(text), detail_(detail) {}

  int run(std::unique_ptr<ExprNode>& out) {
    int st = comparison(out);
    if (st != ExprOk) return st;
    skipBlanks();
    if (pos_ != s_.size()) return fail(ExprBadExpression, "unexpected text at \"" + std::string(s_.substr(pos_)) + "\"");
    return ExprOk;
  }

 private:
  std::string_view s_;
  std::size_t pos_ = 0;
  int depth_ = 0;
  std::string* detail_;

  int fail(int status, const std::string& what) {
    if (detail_) *detail_ = what;
    return status;
  }
  void skipBlanks() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t')) ++pos_;
  }
  bool take(std::string_view token) {
    skipBlanks();
    if (s_.size() - pos_ < token.size()) return false;
    for (std::size_t i = 0; i < token.size(); ++i)
      if (std::toupper(static_cast<unsigned char>(s_[pos_ + i])) != token[i]) return false;
    pos_ += token.size();
    return true;
  }

  static std::unique_ptr<ExprNode> binary(ExprNode::Kind kind, std::unique_ptr<ExprNode> a,
                                          std::unique_ptr<ExprNode> b) {
    auto n = std::make_unique<ExprNode>();
    n->kind = kind;
    n->args.push_back(std::move(a));
    n->args.push_back(std::move(b));
    return n;
  }

  int comparison(std::unique_ptr<ExprNode>& out) {
    if (++depth_ > kMaxDepth) return fail(ExprBadExpression, "expression nested too deeply");
    int st = sum(out);
    if (st == ExprOk) {
      CompareOp op;
      bool found = true;
      // Two-character operators first.
      // "==" is the exact equality; texts compare whole here anyway
      if (take("==")) op = CompareOp::Equal;
      else if (take("<>") || take("#")) op = CompareOp::NotEqual;
      else if (take("<=") || take("=<")) op = CompareOp::LessEqual;
      else if (take(">=") || take("=>")) op = CompareOp::GreaterEqual;
      else if (take("=")) op = CompareOp::Equal;
      else if (take("<")) op = CompareOp::Less;
      else if (take(">")) op = CompareOp::Greater;
      else found = false;
      if (found) {
        std::unique_ptr<ExprNode> right;
        st = sum(right);
        if (st == ExprOk) {
          out = binary(ExprNode::Kind::Compare, std::move(out), std::move(right));
          out->compare = op;
        }
      }
    }
    --depth_;
    return st;
  }

  int sum(std::unique_ptr<ExprNode>& out) {
    int st = unary(out);
    while (st == ExprOk) {
      ExprNode::Kind kind;
      if (take("+")) kind = ExprNode::Kind::Add;
      else if (take("-")) kind = ExprNode::Kind::Subtract;
      else break;
      std::unique_ptr<ExprNode> right;
      st = unary(right);
      if (st == ExprOk) out = binary(kind, std::move(out), std::move(right));
    }
    return st;
  }

  int unary(std::unique_ptr<ExprNode>& out) {
    if (++depth_ > kMaxDepth) return fail(ExprBadExpression, "expression nested too deeply");
    int st;
    ExprNode::Kind kind{};
    bool prefixed = true;
    if (take(".NOT.") || take("!")) kind = ExprNode::Kind::Not;
    else if (take("-")) kind = ExprNode::Kind::Negate;
    else prefixed = false;
    if (prefixed) {
      auto n = std::make_unique<ExprNode>();
      n->kind = kind;
      n->args.emplace_back();
      st = unary(n->args.back());
      if (st == ExprOk) out = std::move(n);
    } else {
      st = primary(out);
    }
    --depth_;
    return st;
  }

  int primary(std::unique_ptr<ExprNode>& out) {
    skipBlanks();
    if (pos_ >= s_.size()) return fail(ExprBadExpression, "a term is missing at the end");
    char c = s_[pos_];
    if (c == '(') {
      ++pos_;
      int st = comparison(out);
      if (st != ExprOk) return st;
      if (!take(")")) return fail(ExprBadExpression, "\")\" is missing");
      return ExprOk;
    }
    if (c == '\'' || c == '"') {
      std::size_t end = s_.find(c, pos_ + 1);
      if (end == std::string_view::npos) return fail(ExprBadExpression, "a quoted text is not closed");
      out = std::make_unique<ExprNode>();
      out->literal = ExprValue::ofText(std::string(s_.substr(pos_ + 1, end - pos_ - 1)));
      pos_ = end + 1;
      return ExprOk;
    }
    if (std::isdigit(static_cast<unsigned char>(c)) || c == '.') {
      std::size_t start = pos_;
      while (pos_ < s_.size() && (std::isdigit(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '.')) ++pos_;
      std::string digits(s_.substr(start, pos_ - start));
      char* end = nullptr;
      double d = std::strtod(digits.c_str(), &end);
      if (digits == "." || end != digits.c_str() + digits.size())
        return fail(ExprBadExpression, "bad number \"" + digits + "\"");
      out = std::make_unique<ExprNode>();
      out->literal = ExprValue::ofNumber(d);
      return ExprOk;
    }
    std::string name = word();
    if (name.empty()) return fail(ExprBadExpression, std::string("unexpected \"") + c + "\"");
    if (take("->")) {  // alias of a work area: skipped
      name = word();
      if (name.empty()) return fail(ExprBadExpression, "a field name is missing after \"->\"");
    } else if (take("(")) {
      return call(name, out);
    }
    if (name.size() > kMaxFieldName) return fail(ExprBadExpression, "field name \"" + name + "\" is too long");
    out = std::make_unique<ExprNode>();
    out->kind = ExprNode::Kind::Field;
    out->name = name;
    return ExprOk;
  }

  std::string word() {
    skipBlanks();
    std::string w;
    while (pos_ < s_.size()) {
      unsigned char ch = static_cast<unsigned char>(s_[pos_]);
      if (!(std::isalnum(ch) || ch == '_')) break;
      if (w.empty() && std::isdigit(ch)) break;
      w += static_cast<char>(std::toupper(ch));
      ++pos_;
    }
    return w;
  }

  int call(const std::string& name, std::unique_ptr<ExprNode>& out) {
    const FunctionEntry* entry = nullptr;
    for (const auto& f : kFunctions)
      if (name == f.name) entry = &f;
    if (!entry) return fail(ExprUnknownName, "unknown function \"" + name + "\"");
    auto n = std::make_unique<ExprNode>();
    n->kind = ExprNode::Kind::Call;
    n->function = entry->function;
    if (!take(")")) {
      do {
        n->args.emplace_back();
        int st = comparison(n->args.back());
        if (st != ExprOk) return st;
      } while (take(","));
      if (!take(")")) return fail(ExprBadExpression, "\")\" is missing after " + name);
    }
    int count = static_cast<int>(n->args.size());
    if (count < entry->minArgs || count > entry->maxArgs)
      return fail(ExprBadExpression, name + " takes " + std::to_string(entry->minArgs) +
                                         (entry->maxArgs != entry->minArgs ? " to " + std::to_string(entry->maxArgs) : "") +
                                         " arguments");
    out = std::move(n);
    return ExprOk;
  }
};

bool mentions(const ExprNode& n, ExprFunction f) {
  if (n.kind == ExprNode::Kind::Call && n.function == f) return true;
  for (const auto& a : n.args)
    if (a && mentions(*a, f)) return true;
  return false;
}

}  // namespace

const char* exprStatusText(int status) {
  switch (status) {
    case ExprOk: return "";
    case ExprBadExpression: return "bad user specified key expression";
    case ExprUnknownName: return "the key names a field or function that does not exist";
    default: return "";
  }
}

std::string stripExpressionBlanks(std::string_view text) {
  std::string out;
  char quote = 0;
  for (char c : text) {
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == ' ' || c == '\t') {
      continue;
    }
    out += c;
  }
  return out;
}

int Expression::compile(std::string_view text, std::string* detail) {
  root_.reset();
  text_.assign(text);
  if (text.size() > kMaxExpressionText) {
    if (detail) *detail = "expression longer than 254 characters";
    return ExprBadExpression;
  }
  std::unique_ptr<ExprNode> root;
  int st = Parser(text, detail).run(root);
  if (st == ExprOk) root_ = std::move(root);
  return st;
}

bool Expression::mentionsDeleted() const { return root_ && mentions(*root_, ExprFunction::Deleted); }

std::string Expression::singleField() const {
  return root_ && root_->kind == ExprNode::Kind::Field ? root_->name : std::string();
}

}  // namespace dbf
