// Parsing the external names of declared keys.
#include "index/key_declaration.h"

#include <cctype>

#include "expr/expression.h"
#include "index/compound_index.h"
#include "table/engine_status.h"

namespace dbf {
namespace {

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// The text inside "[...]" starting at pos (at the "["); quotes may hold "]".
bool bracketed(const std::string& s, std::size_t& pos, std::string& out) {
  if (pos >= s.size() || s[pos] != '[') return false;
  char quote = 0;
  int depth = 0;
  for (std::size_t i = pos; i < s.size(); ++i) {
    char c = s[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == '[') {
      ++depth;
    } else if (c == ']' && --depth == 0) {
      out = s.substr(pos + 1, i - pos - 1);
      pos = i + 1;
      return true;
    }
  }
  return false;
}

bool startsWith(const std::string& s, std::size_t pos, const char* word) {
  return s.compare(pos, std::string(word).size(), word) == 0;
}

}  // namespace

int parseKeyDeclaration(const std::string& externalName, const std::string& tableDir, bool foxbase,
                        KeyDeclaration& out) {
  out = KeyDeclaration();
  std::string s = upper(externalName);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  std::size_t bar = s.find('|');
  std::size_t eq = s.find('=');
  if (bar != std::string::npos && (eq == std::string::npos || bar < eq)) {
    out.tag = s.substr(0, bar);
    while (!out.tag.empty() && out.tag.front() == ' ') out.tag.erase(out.tag.begin());
    if (!validTagName(out.tag)) return ErrInvalidTagName;
    if (foxbase) return ErrBadUserSpecifiedKeyExpression;
    s = s.substr(bar + 1);
    eq = s.find('=');
  }
  std::string name = s.substr(0, eq);
  if (name.empty() || name.size() > kMaxIndexFileName) return ErrBadUserSpecifiedKeyExpression;
  std::size_t slash = name.rfind('/');
  std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) name += out.compound() ? ".CDX" : ".IDX";
  out.file = slash == std::string::npos && !tableDir.empty() ? tableDir + "/" + name : name;
  if (eq == std::string::npos) return StatusOk;

  std::string spec = s.substr(eq + 1);
  std::size_t pos = 0;
  if (pos < spec.size()) {
    char c = spec[pos];
    if (c == 'C' || c == 'D' || c == 'L' || c == 'N' || (c == 'F' && !startsWith(spec, pos, "FOR"))) {
      out.hasType = true;
      out.type = c == 'F' ? KeyType::Numeric : static_cast<KeyType>(c);
      ++pos;
    }
  }
  std::string text;
  if (pos < spec.size() && spec[pos] == '[') {
    if (!bracketed(spec, pos, text) || text.size() > kMaxExpressionText) return ErrBadUserSpecifiedKeyExpression;
    out.expression = stripExpressionBlanks(text);
  }
  if (startsWith(spec, pos, ",FOR[") || (pos == 0 && startsWith(spec, pos, "FOR["))) {
    pos += spec[pos] == ',' ? 4 : 3;
    if (!bracketed(spec, pos, text) || text.size() > kMaxExpressionText) return ErrBadUserSpecifiedKeyExpression;
    out.forExpression = stripExpressionBlanks(text);
  }
  if (startsWith(spec, pos, ",COMPRESSED") || (pos == 0 && startsWith(spec, pos, "COMPRESSED"))) {
    if (foxbase) return ErrBadUserSpecifiedKeyExpression;
    out.compressed = true;
    pos += spec[pos] == ',' ? 11 : 10;
  }
  if (pos != spec.size()) return ErrBadUserSpecifiedKeyExpression;
  // Stored expressions are shorter than 221 characters.
  if (out.expression.size() > 220 || out.forExpression.size() > 220) return ErrBadUserSpecifiedKeyExpression;
  return StatusOk;
}

}  // namespace dbf
