// Fuzzes key and filter expressions, key declarations and the key
// descriptions of dynamic indexes: the input's first line is an expression
// (and a declaration and a description), the rest the bytes of a record of
// C, N, D, L and I fields. Besides crashes and sanitizer reports, the
// promises checked are: compiling answers 0, -207 or 76; a compiled
// expression evaluates to 0, -207 or 76; a key built from it has the key's
// length; a description answers 0, -207 or 76, and one taken gives an
// expression that compiles.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "driver/dynamic_key.h"
#include "expr/expression.h"
#include "index/index_key.h"
#include "index/key_declaration.h"
#include "table/engine_status.h"

#define check(ok)                                                            \
  do {                                                                       \
    if (!(ok)) {                                                             \
      std::fprintf(stderr, "broken promise: %s (line %d)\n", #ok, __LINE__); \
      std::abort();                                                          \
    }                                                                        \
  } while (0)

namespace {

struct Field {
  char type;
  int length;
};
const std::map<std::string, Field> kFields = {
    {"NAME", {'C', 12}}, {"AMOUNT", {'N', 9}}, {"BORN", {'D', 8}}, {"FLAG", {'L', 1}}, {"CALL_ID", {'I', 4}},
};

class Record : public dbf::RecordAccess {
 public:
  explicit Record(const std::string& bytes) {
    std::size_t at = 0;
    for (const auto& [name, f] : kFields) {
      std::string v = at < bytes.size() ? bytes.substr(at, f.length) : std::string();
      v.resize(f.length, ' ');
      values_[name] = v;
      at += f.length;
    }
  }
  bool field(std::string_view name, dbf::FieldView& out) const override {
    auto it = kFields.find(std::string(name));
    if (it == kFields.end()) return false;
    out = dbf::FieldView{it->second.type, it->second.length, 0, values_.at(it->first)};
    return true;
  }
  uint32_t recordNumber() const override { return 7; }
  bool deleted() const override { return false; }

 private:
  std::map<std::string, std::string> values_;
};

bool expressionStatus(int st) { return st == dbf::ExprOk || st == dbf::ExprBadExpression || st == dbf::ExprUnknownName; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace dbf;
  std::string input(reinterpret_cast<const char*>(data), size);
  std::size_t eol = input.find('\n');
  std::string text = input.substr(0, eol);
  Record record(eol == std::string::npos ? std::string() : input.substr(eol + 1));

  Expression e;
  int st = e.compile(text);
  check(expressionStatus(st));
  if (st == ExprOk) {
    ExprValue v;
    check(expressionStatus(e.evaluate(record, v)));
    bool truth = false;
    check(expressionStatus(e.test(record, truth)));
    for (char type : {'C', 'N', 'D', 'L'}) {
      KeyDefinition def;
      if (defineKey(type, text, "", type == 'C' ? 20 : 0, record, def) != StatusOk) continue;
      std::string key;
      bool in = false;
      if (buildKey(def, record, key, in) == StatusOk) check(static_cast<int>(key.size()) == def.length);
    }
  }
  KeyDeclaration decl;
  st = parseKeyDeclaration(text, "/tmp", false, decl);
  check(st == StatusOk || st == ErrBadUserSpecifiedKeyExpression || st == ErrInvalidTagName);
  if (st == StatusOk) check(decl.expression.size() <= 220 && decl.forExpression.size() <= 220);

  std::vector<FieldDef> fields;
  for (const auto& [name, f] : kFields) {
    FieldDef d;
    d.name = name;
    d.type = f.type;
    d.length = static_cast<uint32_t>(f.length);
    fields.push_back(d);
  }
  DynamicKey dynamic;
  std::string detail;
  st = parseDynamicKey(text, fields, dynamic, detail);
  check(expressionStatus(st));
  if (st == StatusOk && !dynamic.expression.empty()) check(expressionStatus(Expression().compile(dynamic.expression)));
  return 0;
}
