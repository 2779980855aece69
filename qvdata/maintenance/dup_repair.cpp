// The first step of duplicate elimination: persons whose address is missing
// (in a mailbox also those whose string carries a "CSINET:" address or
// whose address holds the reader's box-drawing byte) get address and name
// again from their person string, and every CompuServe address is brought
// into its one form, so that "12345.678" and "12345,678" are seen as one;
// other addresses are kept as written.
#include <cctype>

#include "dictionary/dictionary.h"
#include "maintenance/dup_impl.h"
#include "persons/person_recode.h"
#include "services/globals.h"
#include "services/names.h"
#include "services/persons.h"
#include "services/record_helpers.h"
#include "services/whole_names.h"
#include "storage/collation.h"

namespace qv {

namespace {

// The Internet mail domain of CompuServe members.
constexpr std::string_view kCisDomain = "COMPUSERVE.COM";
// A byte older readers put between name and address.
constexpr char kBoxBar = '\xB3';
// Addresses shorter than this are left alone.
constexpr size_t kShortestAddress = 4;

// Takes out a blank that directly follows position i.
void dropBlankAfter(std::string& s, size_t i) {
  if (i + 1 < s.size() && s[i + 1] == ' ') s.erase(i + 1, 1);
}

// "12345.678", "12345,678" or "12345, 678": a CompuServe number.
bool cisNumber(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
  if (i == 0 || i >= s.size() || (s[i] != '.' && s[i] != ',')) return false;
  size_t j = i + 1;
  if (j < s.size() && s[j] == ' ') ++j;
  size_t digits = j;
  while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
  return j > digits && j == s.size();
}

}  // namespace

std::string repairedCisAddress(const std::string& address) {
  std::string a(trimRight(address));
  if (a.size() < kShortestAddress) return a;
  size_t at = a.find('@');
  if (at != std::string::npos) {
    // Only the Internet form of a CompuServe number is cut to the number:
    // a member name at the same domain is an address of its own.
    if (foldUpper(std::string_view(a).substr(at + 1)) != kCisDomain || !cisNumber(std::string_view(a).substr(0, at)))
      return a;
    a.erase(at);
  } else if (a.front() == '[' && a.back() == ']' && cisNumber(std::string_view(a).substr(1, a.size() - 2))) {
    a = a.substr(1, a.size() - 2);
  }
  // Only a CompuServe number takes the comma form; any other address
  // ("christian at example.org", "a.b") is kept as it is written.
  if (!cisNumber(a)) return a;
  size_t sep = a.find_first_of(".,");
  a[sep] = ',';
  dropBlankAfter(a, sep);
  return a;
}

bool DupRun::Impl::repairPerson(uint32_t id) {
  PER = PersonRec();
  PER.PERSONID = id;
  if (!Person.get(PER_PersonKey)) return true;
  std::string string = PER.PERSONSTRING.str();
  std::string address = PER.ADDRESS.str();
  bool derive = address.empty();
  if (mail() && (string.find("CSINET") != std::string::npos || address.find(kBoxBar) != std::string::npos))
    derive = true;
  bool changed = false;
  int n = 0;
  std::string name, found;
  if (derive) FindCISAdress(mail() ? 2 : 1, string, name, found);
  // A string without an address keeps its person as it is: the name the
  // user may have given it is not taken back.
  if (derive && !trimRight(found).empty()) {
    std::string oldLast = PER.LASTNAME.str();
    PersonName whole;
    ParseName(name, whole.last, whole.first);
    PER.ADDRESS = found;
    setNameFields(whole);
    std::string newLast = PER.LASTNAME.str();
    address = PER.ADDRESS.str();
    if (!change()) return false;
    if (!Person.put()) return fail("person " + std::to_string(id) + " could not be stored: " + ErrorText());
    // A name longer than the fields is kept whole beside the person.
    if (!keepWholeName(id, whole, ReportQuiet))
      return fail("the name of person " + std::to_string(id) + " could not be stored: " + ErrorText());
    ++n;
    if (!realphaMessages(id, oldLast, newLast, n)) return false;
    PER = PersonRec();
    PER.PERSONID = id;
    if (!Person.get(PER_PersonKey)) return fail("person " + std::to_string(id) + " could not be read again: " + ErrorText());
  }
  std::string repaired = repairedCisAddress(address);
  if (!repaired.empty() && repaired != address) {
    PER.ADDRESS = repaired;
    changed = true;
  }
  if (changed) {
    if (!change()) return false;
    if (!Person.put()) return fail("person " + std::to_string(id) + " could not be stored: " + ErrorText());
    ++n;
  }
  return n == 0 || done(n);
}

bool DupRun::Impl::realphaMessages(uint32_t id, const std::string& oldLast, const std::string& newLast, int& n) {
  if (oldLast == newLast) return true;
  if (!change()) return false;
  if (!recodePersonMessages(kind, id, oldLast, id, newLast))
    return failTold("the messages of person " + std::to_string(id) + " could not be stored");
  ++n;
  return true;
}

}  // namespace qv
