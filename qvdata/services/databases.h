// Creating, changing and choosing databases of the database list.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "services/database_list.h"
#include "services/db_kind.h"
#include "services/record_helpers.h"

namespace qv {

// The next free directory number: the directory number of the database with
// the highest ID, plus 1 (1 for an empty list), passing over the numbers the
// list holds and those whose directory is on disk (files a deleted database
// left behind). (Forums open.)
uint32_t nextDirNumber();
// True when directory F<n> exists, as anything, under the data root or the
// word-index root: a new database must not take it.
bool dirNumberOnDisk(uint32_t n);

// Creates a forum or newsgroup database of that name: its database-list
// record, its directory F<n> and its self-description. Failures are reported
// in `mode` (ReportShow shows them). Returns the new ID, 0 on failure.
uint32_t AddForumDatabase(const std::string& name, int kind = KindForumDb, int mode = ReportShow);

struct MailboxSpec {
  std::string owner;                       // "MailBox owner name", also the mailbox's name
  std::string address;                     // "MailBox address"
  std::array<std::string, 10> alternatives;  // "Alternative mail address"
};

// Creates a mailbox with its owner as a person, in one transaction. When
// `remember` is set the new ID becomes the last mailbox chosen
// (ItemLastMailbox). Returns the new ID, 0 on failure.
uint32_t AddMailbox(const MailboxSpec& spec, bool remember = true, int mode = ReportShow);
// Changes the owner name and addresses of a mailbox.
bool UpdateMailbox(uint32_t id, const MailboxSpec& spec, int mode = ReportShow);

// Reads a database's record into FOR by ID or by name (case-insensitive).
bool findDatabase(uint32_t id);
bool findDatabase(const std::string& name);
// Makes a database current (FOR buffer and the Mem globals).
bool selectDatabase(uint32_t id);

// A database's entry in the list, whole (services/database_list.h).
using DatabaseEntry = DatabaseRecord;
// The databases of a kind (kAllDbKinds: all), by name (letter case ignored)
// or by directory number.
constexpr int kAllDbKinds = 0;
std::vector<DatabaseEntry> listDatabases(int kind = kAllDbKinds, bool byDirectory = false);
// "Allow import" / "Disallow import".
bool setImportAllowed(uint32_t id, bool allowed);

// The status of a database in the list (FOR.DUMMY): 0 normal, 1 keep, 2 delete.
bool setDatabaseStatus(uint32_t id, int status);
// The database's message count (FOR.MSGCOUNT) as a recount found it; the
// flag that asks for a count run (FOR.COUNTFLAG) is cleared. Reports nothing.
bool storeMessageCount(uint32_t id, uint32_t count);
// Automatic word indexing by the task manager (FOR.INDEXTYPE 1 on, 0 off).
bool setAutoIndexing(uint32_t id, bool on);
// Renames a database: the record is held, changed and written back, and the
// database's self-description follows when its directory exists. A name in
// use by another database is refused by the name key (reported in mode
// ReportShow).
bool renameDatabase(uint32_t id, const std::string& name, int mode = ReportShow);

// Makes the database of that ID the active one when its directory exists:
// sets the Mem globals and remembers it as the last used database
// (ItemLastDatabase). False when it is not in the list or has no directory.
bool ActivateDatabase(uint32_t id);
// Reopens the last used database, else the first of the list (by ID, highest
// first) whose directory exists. True when a database is active afterwards.
bool ReopenLastDatabase();

// Deletes a database: closes every open file, removes its archive files
// (*.ADF, *.DAT, *.K*, *.I* and their journals) and its directory, and its
// word-index directory when that lives elsewhere, then takes it out of the
// database list. A directory that still holds other files is kept. When an
// archive file could not be removed, the database stays in the list (false).
// When it was the current or last used database, neither is remembered any
// more.
bool DeleteDatabase(uint32_t id);

}  // namespace qv
