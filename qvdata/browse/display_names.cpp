#include "browse/display_names.h"

#include <cstdio>

#include "dictionary/dictionary.h"
#include "services/whole_names.h"
#include "storage/fixedstr.h"

namespace qv {

std::string firstChars(std::string_view s, size_t chars) {
  size_t i = 0;
  for (size_t n = 0; i < s.size() && n < chars; ++n) {
    ++i;
    while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
  }
  return std::string(s.substr(0, i));
}

std::string personDisplayName() {
  PersonName whole = personName();
  std::string name = whole.first;
  if (!whole.last.empty()) name += (name.empty() ? "" : " ") + whole.last;
  if (name.empty()) name = PER.ADDRESS.str();
  if (name.empty()) name = PER.PERSONSTRING.str();
  return name;
}

std::string sectionDisplayLabel() {
  char num[8];
  std::snprintf(num, sizeof num, "%02u", unsigned(SEC.SECTIONNUMBER));
  return std::string(num) + " " + SEC.DESCRIPTION.str();
}

std::string senderLabel(const std::string& firstName, const std::string& lastName) {
  std::string first(trimRight(firstName)), last(trimRight(lastName));
  std::string label = first.empty() ? last : last.empty() ? first : first + " " + last;
  return firstChars(label, 35);
}

}  // namespace qv
