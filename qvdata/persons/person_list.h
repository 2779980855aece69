// The persons of the current database as lists show them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace qv {

struct PersonRow {
  uint32_t id = 0;
  std::string name;  // display name (blank without a last name)
  std::string lastName, firstName;
  std::string address;
  std::string personString;
  uint32_t sent = 0, received = 0;
};

enum class PersonOrder { ByName, ByAddress };

// Calls `each` for every person in the order (PER:NameKey or
// PER:AddressKey) until it returns false.
void forEachPerson(PersonOrder order, const std::function<bool(const PersonRow&)>& each);
// Reads one person; false when there is none of that ID.
bool readPersonRow(uint32_t id, PersonRow& out);
struct PersonRec;
// Reads the record of a person; false when there is none of that ID.
bool readPersonRecord(uint32_t id, PersonRec& out);
// The number of persons of the current database.
int64_t personCount();

}  // namespace qv
