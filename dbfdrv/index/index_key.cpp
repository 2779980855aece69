// Key values of records: C keys from a single field are its bytes, other
// keys the evaluated expression in their encoding.
#include "index/index_key.h"

#include "expr/expr_functions.h"

#include "table/engine_status.h"

namespace dbf {
namespace {

int keyLengthOf(KeyType t, int declared) {
  switch (t) {
    case KeyType::Numeric:
    case KeyType::Date: return kNumericKeyLength;
    case KeyType::Logical: return kLogicalKeyLength;
    default: return declared;
  }
}

}  // namespace

int defineKey(char type, const std::string& expression, const std::string& filter, int length,
              const RecordAccess& sample, KeyDefinition& out, std::string* detail) {
  if (type != 'C' && type != 'D' && type != 'L' && type != 'N') return ErrInvalidKeyType;
  out.type = static_cast<KeyType>(type);
  if (int st = out.key.compile(expression, detail); st) return st;
  if (filter.empty()) out.filter = Expression();
  else if (int st = out.filter.compile(filter, detail); st) return st;
  if (out.type == KeyType::Character && length <= 0) {
    ExprValue v;
    if (int st = out.key.evaluate(sample, v, detail); st) return st;
    length = static_cast<int>(exprValueText(v).size());
  }
  out.length = keyLengthOf(out.type, length);
  if (out.type == KeyType::Character && (out.length < kMinCharacterKey || out.length > kMaxCharacterKey))
    return ErrInvalidKeyLength;
  // Evaluating once on the sample finds names the table lacks.
  std::string key;
  bool included = false;
  return buildKey(out, sample, key, included, detail);
}

int buildKey(const KeyDefinition& def, const RecordAccess& record, std::string& key, bool& included,
             std::string* detail) {
  included = true;
  if (!def.filter.empty())
    if (int st = def.filter.test(record, included, detail); st) return st;
  std::string field = def.oem ? std::string() : def.key.singleField();
  FieldView f;
  if (!field.empty() && record.field(field, f) &&
      (def.type == KeyType::Character || def.type == KeyType::Logical)) {
    key = encodeTextKey(f.bytes, def.length);
    return StatusOk;
  }
  ExprValue v;
  if (int st = def.key.evaluate(record, v, detail); st) return st;
  switch (def.type) {
    case KeyType::Character:
      key = encodeTextKey(exprValueText(v), def.length);
      return StatusOk;
    case KeyType::Numeric:
      key = encodeNumberKey(v.type == ExprType::Number ? v.number : exprTextNumber(exprValueText(v)));
      return StatusOk;
    case KeyType::Date:
      if (v.type == ExprType::Number || v.type == ExprType::Logical) {
        if (detail) *detail = "a date key whose expression is not a date";
        return ErrBadUserSpecifiedKeyExpression;
      }
      key = encodeDateKey(v.text, def.days);
      return StatusOk;
    case KeyType::Logical:
      key = v.type == ExprType::Logical ? std::string(1, v.logical ? 'T' : 'F') : exprValueText(v).substr(0, 1);
      key.resize(1, ' ');
      return StatusOk;
  }
  return ErrInvalidKeyType;
}

}  // namespace dbf
