#include "services/whole_names.h"

#include "dictionary/dictionary.h"
#include "services/file_service.h"
#include "services/record_helpers.h"
#include "storage/buffer_guard.h"

namespace qv {

namespace {

// The Extras file as a procedure opened it for writing in the current database.
bool extrasWritable() { return useCount(FileExtras) > 0 && Extras.name() == filePath(FileExtras); }

std::string cutWhole(std::string_view s) { return std::string(s.substr(0, utf8CutLength(s, kWholeNameMax))); }

// Lower case of the ASCII and Latin-1 letters, as the upper-case person
// strings were folded.
std::string lowerCase(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 'A' && c <= 'Z') {
      out += char(c + 32);
    } else if (c == 0xC3 && i + 1 < s.size()) {
      // U+00C0..U+00DE (but U+00D7) are the two bytes C3 80..9E.
      unsigned char d = static_cast<unsigned char>(s[i + 1]);
      out += char(c);
      out += char(d >= 0x80 && d <= 0x9E && d != 0x97 ? d + 0x20 : d);
      ++i;
    } else {
      out += char(c);
    }
  }
  return out;
}

// The last word of a person string, in lower case.
std::string lastWordAddress(std::string_view personString) {
  std::string_view s = trimRight(personString);
  size_t blank = s.rfind(' ');
  if (blank == std::string_view::npos) return {};
  return lowerCase(s.substr(blank + 1));
}

// Reads the Extras row of (id, kind, string) into the EXT buffer.
bool readRow(uint32_t id, ExtraKind kind, std::string_view string) {
  EXT = ExtrasRec();
  EXT.ID = id;
  EXT.KIND = kind;
  EXT.PERSONSTRING = string;
  return Extras.get(EXT_IdKey);
}

}  // namespace

void setNameFields(const PersonName& name) {
  PER.LASTNAME = name.last;
  PER.FIRSTNAME = name.first;
}

bool nameFitsFields(const PersonName& name) {
  return PER.LASTNAME.view() == name.last && PER.FIRSTNAME.view() == name.first;
}

bool keepWholeName(uint32_t id, const PersonName& name, int reportMode) {
  if (nameFitsFields(name)) return forgetWholeName(id, reportMode);
  BufferGuard keep({&Extras});
  bool exists = readRow(id, ExtraName, "");
  EXT.LASTNAME = cutWhole(name.last);
  EXT.FIRSTNAME = cutWhole(name.first);
  return UppDat(Extras, exists ? OpChange : OpAdd, reportMode);
}

bool forgetWholeName(uint32_t id, int reportMode) {
  // A database whose names all fit needs no Extras file for them.
  if (!extrasWritable()) return true;
  BufferGuard keep({&Extras});
  if (!readRow(id, ExtraName, "")) return true;
  return UppDat(Extras, OpRemove, reportMode);
}

PersonName personName(const PersonRec& person) {
  PersonName fields{person.LASTNAME.str(), person.FIRSTNAME.str()};
  if (person.PERSONID == 0 || !readableIfPresent(FileExtras) || !Extras.hasRecords()) return fields;
  BufferGuard keep({&Extras});
  if (!readRow(person.PERSONID, ExtraName, "")) return fields;
  return {EXT.LASTNAME, EXT.FIRSTNAME};
}

PersonName personName() { return personName(PER); }

std::string aliasAddress(const std::string& personString) {
  if (readableIfPresent(FileExtras) && Extras.hasRecords()) {
    BufferGuard keep({&Extras});
    if (readRow(0, ExtraAliasAddress, trimRight(personString))) return EXT.ADDRESS;
  }
  return lastWordAddress(personString);
}

std::string foldedAddress(std::string_view address) { return lowerCase(trimRight(address)); }

bool keepAliasAddress(const std::string& personString, const std::string& address, int reportMode) {
  std::string_view string = trimRight(personString);
  if (string.empty() || lastWordAddress(string) == foldedAddress(address)) return true;
  BufferGuard keep({&Extras});
  bool exists = readRow(0, ExtraAliasAddress, string);
  EXT.ADDRESS = cutWhole(trimRight(address));
  return UppDat(Extras, exists ? OpChange : OpAdd, reportMode);
}

}  // namespace qv
