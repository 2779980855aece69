// A person's alias addresses: the list the alias window shows, the swap of
// an alias with the current address, and saving it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qv {

struct AliasEntry {
  std::string address;       // the alias string's address (services/whole_names.h aliasAddress)
  std::string personString;  // PLI:PERSONSTRING
};

struct AliasList {
  // The header: the person with its current address and person string.
  std::string name;  // display name (blank without a last name)
  std::string address;
  std::string personString;
  uint32_t personId = 0;
  std::string openedString;  // the person string the list was built with
  std::vector<AliasEntry> entries;  // by address, each address once
};

// Builds the alias list of a person of the current database: the aliases
// whose address differs from the person's current one, each address once.
// False when the person cannot be read.
bool buildAliasList(uint32_t personId, AliasList& out);

// Exchanges the entry's address and person string with the header's.
// Nothing is stored.
void swapAlias(AliasList& list, size_t index);

enum class AliasSave {
  Unchanged,     // the current person string is the one the list began with
  Saved,
  OwnerRefused,  // the mailbox owner's address is never swapped (told)
  Failed,        // locks, a vanished record or a failed write (told)
};

// Stores a swapped address: the person takes the header's address and
// person string, and the alias record of that string takes the string the
// list began with, in one transaction.
AliasSave saveAliasChange(const AliasList& list);

}  // namespace qv
