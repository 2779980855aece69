// A person's whole name, and the whole address of an alias string.
//
// PER.LASTNAME and PER.FIRSTNAME hold 25 bytes each, cut on a character
// boundary. A name that does not fit is kept whole in the database's Extras
// file under the person's ID; the fields keep its start, so that the name
// key and the copies of the last name in the messages sort as declared.
// Every reader, exporter, browser and the person windows take names from
// here.
//
// An alias is a person string ("NAME ADDRESS" in upper case); its address is
// the string's last word, unless the address holds a blank ("goran at
// domain.com"): then the string alone cannot tell it, and the address is
// kept in the Extras file under the string when the string becomes an alias.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "dictionary/database_files.h"

namespace qv {

struct PersonName {
  std::string last;
  std::string first;
};

// Puts a name into the PER buffer's fields (each cut to its width on a
// character boundary).
void setNameFields(const PersonName& name);
// True when the PER buffer's fields give `name` back as it is.
bool nameFitsFields(const PersonName& name);

// Keeps the whole name of person `id` when the PER buffer's fields cannot
// give it back, and forgets a kept one when they can. The Extras file is
// open, normally in the caller's transaction; it is not made for a name
// that fits. A failed write is reported with `reportMode`
// (services/record_helpers.h) and gives false.
bool keepWholeName(uint32_t id, const PersonName& name, int reportMode);
// Removes the whole name kept for person `id`, if any (Extras open).
bool forgetWholeName(uint32_t id, int reportMode);

// The whole name of a person of the current database: the one kept, else
// its fields. Reads the Extras file of the current database, opening it for
// reading when no procedure has it open. Without an argument: the person in
// the PER buffer.
PersonName personName(const PersonRec& person);
PersonName personName();

// The address the person string `personString` ends with, as written when
// it was kept, else its last word in lower case (blank without a blank).
std::string aliasAddress(const std::string& personString);
// An address in lower case (ASCII and Latin-1 letters), as alias addresses
// are compared.
std::string foldedAddress(std::string_view address);
// Keeps the address of a person string that is becoming an alias, when the
// string alone cannot tell it (Extras open; nothing is written otherwise).
bool keepAliasAddress(const std::string& personString, const std::string& address, int reportMode);

}  // namespace qv
