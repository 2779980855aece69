// A person as the name form opened it: the values the form shows and,
// kept for the change, the record as it was read, so that a change another
// user made meanwhile is seen and shown rather than overwritten.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "persons/person_rename.h"

namespace qv {

// What the name form shows of a person.
struct PersonFields {
  std::string personString;  // the name as the messages wrote it
  std::string last, first;   // the whole names
  std::string address;
  uint32_t sent = 0, received = 0;
};

class PersonEdit {
 public:
  PersonEdit();
  ~PersonEdit();
  PersonEdit(const PersonEdit&) = delete;
  PersonEdit& operator=(const PersonEdit&) = delete;

  // Reads the person to change; false when there is none of that ID.
  bool open(uint32_t id);
  // The person as last read (blank before a successful open).
  PersonFields fields() const;
  // Gives the person the new names (see renamePerson). After
  // ChangedMeanwhile the edit holds the stored record, whose fields the
  // form shows before the user changes them again.
  RenameResult rename(const std::string& last, const std::string& first);

 private:
  std::unique_ptr<PersonRec> opened_;
};

}  // namespace qv
