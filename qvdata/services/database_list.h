// The database list (Forums) read as values: one database's entry whole, by
// ID or by name, and the entries in the orders the windows show them. The
// record buffer stays inside the library; callers get copies.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "services/db_kind.h"

namespace qv {

// What the user marked a database for (FOR.DUMMY; setDatabaseStatus).
enum DatabaseStatus : int { DbStatusNormal = 0, DbStatusKeep = 1, DbStatusDelete = 2 };

constexpr size_t kAltAddresses = 10;

// A database's entry in the list.
struct DatabaseRecord {
  uint32_t id = 0;
  std::string name;  // FOR.DESCRIPTION; a mailbox's owner name
  uint32_t dirNumber = 0;  // its directory is F<dirNumber>
  int kind = KindNoDb;
  bool importAllowed = true;
  uint32_t messages = 0;
  bool counted = true;  // false while a count run is asked for (FOR.COUNTFLAG)
  int status = DbStatusNormal;
  bool autoIndexing = false;  // indexed by the task manager (FOR.INDEXTYPE 1)
  std::string mailAddress;    // mailboxes: the address mail is sent from
  std::array<std::string, kAltAddresses> altAddresses;  // mailboxes: other addresses, blank when unused

  // True when a mailbox has at least one alternative address.
  bool hasAltAddress() const;
};

// The entry of the database with that ID, or of that name (letter case
// ignored); nothing when there is none.
std::optional<DatabaseRecord> readDatabase(uint32_t id);
std::optional<DatabaseRecord> readDatabase(const std::string& name);

// The entry the database list's record buffer holds (for the listings of
// services/databases.h, which walk the list).
DatabaseRecord bufferedDatabase();
// The mailboxes, in the order they were made (the order of the type key).
std::vector<DatabaseRecord> mailboxRecords();

}  // namespace qv
