// Parsing the key description of a dynamic index.
#include "driver/dynamic_key.h"

#include <cctype>

#include "driver/key_terms.h"
#include "expr/expression.h"
#include "index/key_declaration.h"
#include "table/engine_status.h"

namespace dbf {
namespace {

// The file part a specification is parsed under (it names no file).
constexpr const char* kSpecificationFile = "DYN=";

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool isSpecification(const std::string& s) {
  return s.size() >= 2 && s[1] == '[' && (s[0] == 'C' || s[0] == 'D' || s[0] == 'L' || s[0] == 'N' || s[0] == 'F');
}

struct ListItem {
  std::string name;
  int direction = 0;  // +1 "+", -1 "-", 0 none
};

// Splits the list at "," outside ":" escapes; the sign before a name is
// taken when it is not escaped.
std::vector<ListItem> splitList(const std::string& s) {
  std::vector<ListItem> items(1);
  bool started = false;  // a character of the name was taken
  for (std::size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    ListItem& item = items.back();
    if (c == ':' && i + 1 < s.size()) {
      item.name += s[++i];
      started = true;
    } else if (c == ',') {
      items.emplace_back();
      started = false;
    } else if (c == ' ' && !started) {
      continue;
    } else if ((c == '+' || c == '-') && !started && item.direction == 0) {
      item.direction = c == '+' ? 1 : -1;
    } else {
      item.name += c;
      started = true;
    }
  }
  for (ListItem& item : items)
    while (!item.name.empty() && item.name.back() == ' ') item.name.pop_back();
  return items;
}

}  // namespace

int parseDynamicKey(const std::string& description, const std::vector<FieldDef>& fields, DynamicKey& out,
                    std::string& detail) {
  out = DynamicKey();
  std::string text = upper(description);
  while (!text.empty() && text.front() == ' ') text.erase(text.begin());
  while (!text.empty() && text.back() == ' ') text.pop_back();
  if (isSpecification(text)) {
    KeyDeclaration decl;
    if (int st = parseKeyDeclaration(kSpecificationFile + text, "", false, decl); st) {
      detail = "bad key description \"" + description + "\"";
      return ErrBadUserSpecifiedKeyExpression;
    }
    out.type = decl.type;
    out.expression = decl.expression;
    out.filter = decl.forExpression;
    out.compressed = decl.compressed;
    return StatusOk;
  }
  std::vector<ListItem> items = splitList(text);
  int ascending = 0, descending = 0;
  std::vector<const FieldDef*> chosen;
  for (const ListItem& item : items) {
    if (item.name.empty()) {
      detail = "a field name is missing in \"" + description + "\"";
      return ErrBadUserSpecifiedKeyExpression;
    }
    const FieldDef* f = nullptr;
    for (const FieldDef& d : fields)
      if (d.name == item.name) f = &d;
    if (!f) {
      detail = "the table has no field " + item.name;
      return ExprUnknownName;
    }
    chosen.push_back(f);
    (item.direction < 0 ? descending : ascending)++;
  }
  if (ascending && descending) {
    detail = "ascending and descending fields in one key description";
    return ErrBadUserSpecifiedKeyExpression;
  }
  out.descending = descending > 0;
  const bool several = chosen.size() > 1;
  uint32_t length = 0;
  for (const FieldDef* f : chosen) {
    out.expression += (out.expression.empty() ? "" : "+") + componentTerm(*f, several, false);
    length += componentLength(*f);
    out.prefixLengths.push_back(length);
  }
  out.type = several ? KeyType::Character : fieldKeyType(*chosen.front());
  return StatusOk;
}

}  // namespace dbf
