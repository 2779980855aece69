#include "persons/person_names.h"

#include "dictionary/dictionary.h"
#include "services/db_kind.h"
#include "services/whole_names.h"
#include "storage/fixedstr.h"

namespace qv {

std::string personWindowName(std::string_view last, std::string_view first, bool firstWhenNoLast) {
  last = trimRight(last);
  first = trimRight(first);
  if (last.empty()) return firstWhenNoLast ? std::string(first) : std::string();
  std::string out(last);
  if (!first.empty()) {
    out += ',';
    out += first;
  }
  return out;
}

std::string personWindowName(bool firstWhenNoLast) {
  PersonName whole = personName();
  return personWindowName(whole.last, whole.first, firstWhenNoLast);
}

std::string lastNameAlpha(std::string_view last, size_t width) {
  return std::string(trimRight(last.substr(0, utf8CutLength(last, width))));
}

const char* personListTitle(int kind) {
  switch (kind) {
    case KindMailDb: return " Mail Partners [";
    case KindNewsDb: return " Newsgroup Participants [";
    default: return " Forum Members [";
  }
}

const char* personListHelp(int kind) {
  switch (kind) {
    case KindMailDb: return "~Mail_Partners";
    case KindNewsDb: return "~Newsgroup_Participants";
    default: return "~Forum_Members";
  }
}

const char* personFormTitle(int kind) {
  switch (kind) {
    case KindMailDb: return " Update Mail Partner name";
    case KindNewsDb: return " Update Newsgroup Participant name";
    default: return " Update Forum Member name";
  }
}

}  // namespace qv
