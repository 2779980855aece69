// The look-up walks of the open database: threads, sections, persons (as
// the pick list and as the person window show them) and indexed words -
// each its file, its sort orders, its entry and how a typed text
// positions it.
#include "persons/lookup_sources.h"

#include <cstdio>
#include <string_view>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "persons/person_names.h"
#include "services/keyed_walk.h"
#include "services/messages.h"
#include "services/names.h"
#include "services/whole_names.h"
#include "wordindex/word_cut.h"

namespace qv {

namespace {

std::string trimBlanks(std::string_view s) {
  const char* blanks = " \t\r\n\f\v";
  size_t from = s.find_first_not_of(blanks);
  if (from == std::string_view::npos) return {};
  size_t to = s.find_last_not_of(blanks);
  return std::string(s.substr(from, to - from + 1));
}

// A section's display text: its number as two digits, a blank, its name.
std::string sectionLabel(int number, std::string_view name) {
  char digits[8];
  std::snprintf(digits, sizeof digits, "%02d", number);
  return std::string(digits) + " " + trimBlanks(name);
}

// The section number a text begins with ("04 Utilities"); -1 when none.
int leadingSectionNumber(const std::string& text) {
  std::string t = trimBlanks(text);
  size_t digits = 0;
  while (digits < t.size() && t[digits] >= '0' && t[digits] <= '9') ++digits;
  if (digits == 0) return -1;
  int n = std::stoi(t.substr(0, std::min<size_t>(digits, 3)));
  return n > 255 ? -1 : n;
}

// "Last, First" as the name order sorts it; the last name alone when there
// is no first name.
std::string listName() {
  const PersonName whole = personName();
  if (whole.first.empty()) return whole.last;
  if (whole.last.empty()) return whole.first;
  return whole.last + ", " + whole.first;
}

LookupEntry personEntry(const std::string& name) {
  LookupEntry e;
  e.id = PER.PERSONID;
  e.texts = {name, PER.ADDRESS.str(), std::to_string(PER.FROMCOUNT), std::to_string(PER.TOCOUNT)};
  e.status = PER.DUMMY;
  return e;
}

Key personKey(int order) { return order == PersonByAddress ? PER_AddressKey : PER_NameKey; }

// GP_ANS positions by "Last, First" as written, else by the name split as
// a sender's name is split.
int seekPickedPerson(int order, const std::string& text) {
  const std::string t = trimBlanks(text);
  if (t.empty()) return 0;
  if (order == PersonByAddress) {
    PER.ADDRESS = t;
    return 1;
  }
  std::string last, first;
  const size_t comma = t.find(',');
  if (comma != std::string::npos) {
    last = trimBlanks(t.substr(0, comma));
    first = trimBlanks(t.substr(comma + 1));
  } else {
    ParseName(t, last, first);
  }
  PER.LASTNAME = last;
  PER.FIRSTNAME = first;
  return first.empty() ? 1 : 2;
}

// The count a text names in full ("12", "+12"); false when it names none.
bool wholeCount(const std::string& text, int32_t& out) {
  std::string t = trimBlanks(text);
  if (!t.empty() && t[0] == '+') t.erase(0, 1);
  if (t.empty() || t.size() > 10) return false;
  size_t at = t[0] == '-' ? 1 : 0;
  if (at == t.size()) return false;
  for (size_t i = at; i < t.size(); ++i)
    if (t[i] < '0' || t[i] > '9') return false;
  const long long n = std::stoll(t);
  if (n < INT32_MIN || n > INT32_MAX) return false;
  out = int32_t(n);
  return true;
}

}  // namespace

std::shared_ptr<LookupWalk> threadWalk() {
  KeyedSource s;
  s.files = {FileThreads};
  s.file = &Threads;
  s.key = [](int) { return THR_AlphaKey; };
  s.entry = [] {
    LookupEntry e;
    e.id = THR.THREADNUMBER;
    e.texts = {threadHeading(), std::to_string(THR.MSGCOUNT)};
    e.status = THR.DUMMY;
    return e;
  };
  s.seekText = [](int, const std::string& text) {
    THR.ALPHA = trimBlanks(text);
    return 1;
  };
  s.readId = [](uint32_t id) {
    THR.THREADNUMBER = id;
    return Threads.get(THR_ThreadKey);
  };
  return std::make_shared<LookupWalk>(std::move(s));
}

std::shared_ptr<LookupWalk> sectionWalk() {
  KeyedSource s;
  s.files = {FileSections};
  s.file = &Sections;
  s.key = [](int) { return SEC_SectionKey; };
  s.entry = [] {
    LookupEntry e;
    e.id = SEC.SECSYSID;
    e.texts = {sectionLabel(SEC.SECTIONNUMBER, SEC.DESCRIPTION.str()), std::to_string(SEC.MSGCOUNT)};
    e.status = SEC.DUMMY;
    return e;
  };
  s.seekText = [](int, const std::string& text) {
    const int n = leadingSectionNumber(text);
    if (n < 0) return 0;
    SEC.SECTIONNUMBER = uint8_t(n);
    return 1;
  };
  s.readId = [](uint32_t id) {
    SEC.SECSYSID = id;
    return Sections.get(SEC_SysIdKey);
  };
  return std::make_shared<LookupWalk>(std::move(s));
}

std::shared_ptr<LookupWalk> personPickWalk() {
  KeyedSource s;
  s.files = {FilePerson};
  s.file = &Person;
  s.key = personKey;
  s.entry = [] { return personEntry(listName()); };
  s.seekText = seekPickedPerson;
  s.readId = [](uint32_t id) {
    PER.PERSONID = id;
    return Person.get(PER_PersonKey);
  };
  return std::make_shared<LookupWalk>(std::move(s));
}

std::shared_ptr<LookupWalk> personListWalk() {
  KeyedSource s;
  s.files = {FilePerson};
  s.file = &Person;
  s.key = personKey;
  s.entry = [] { return personEntry(personWindowName(false)); };
  // Typing positions the list: by the last name's start, or the address's.
  s.seekText = [](int order, const std::string& text) {
    if (order == PersonByAddress)
      PER.ADDRESS = text;
    else
      PER.LASTNAME = text;
    return 1;
  };
  s.readId = [](uint32_t id) {
    PER = PersonRec();
    PER.PERSONID = id;
    return id != 0 && Person.get(PER_PersonKey);
  };
  return std::make_shared<LookupWalk>(std::move(s));
}

std::shared_ptr<LookupWalk> wordWalk() {
  KeyedSource s;
  s.files = {FileWordList};
  s.file = &WordList;
  s.key = [](int order) { return order == WordByCount ? WOR_by_WordCount : WOR_by_theWord; };
  s.entry = [] {
    LookupEntry e;
    e.id = uint32_t(WOR.WORDID);
    e.texts = {WOR.THEWORD.str(), std::to_string(WOR.WORDCOUNT)};
    return e;
  };
  s.seekText = [](int order, const std::string& text) {
    if (order == WordByCount) {
      int32_t n = 0;
      if (!wholeCount(text, n)) return 0;
      WOR.WORDCOUNT = n;
      return 1;
    }
    const std::string w = wordUpper(trimBlanks(text));
    if (w.empty()) return 0;
    WOR.THEWORD = w;
    return 1;
  };
  s.readId = [](uint32_t id) {
    WOR.WORDID = int32_t(id);
    return WordList.get(WOR_by_WordId);
  };
  return std::make_shared<LookupWalk>(std::move(s));
}

}  // namespace qv
