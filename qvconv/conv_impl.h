// What the steps of a conversion share (inside the converter only).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "conv_install.h"
#include "conv_run.h"

namespace qvconv {

// A database of the old list, as read in the preparation.
struct OldDatabase {
  uint32_t id = 0;
  std::string name;  // the old 30-character name
  uint32_t dirNumber = 0;
  uint8_t type = 0;
  std::string dir;
};

// A mailbox and the mail database it becomes.
struct Mailbox {
  std::string owner;
  uint32_t personId = 0;
  uint32_t databaseId = 0;
  uint32_t dirNumber = 0;
  std::string dir;
  uint32_t mails = 0;
};

struct Conversion {
  Installation inst;
  std::function<void(const std::string&)> status;  // sets the status line

  std::vector<OldDatabase> databases;  // those kept after the preparation's checks
  std::set<uint32_t> removed;          // IDs of database definitions removed
  std::vector<Mailbox> mailboxes;      // in the order of the old list
  int mailIndex = -1;                  // the old mail database in `databases`; -1 when none
  uint32_t nextDir = 1;                // the next free directory number

  std::string root() const { return inst.root; }
  std::string rootFile(int number) const;  // program directory
  std::string controlPath() const { return rootFile(8); }
  std::string mailDir() const { return mailIndex >= 0 ? databases[size_t(mailIndex)].dir : std::string(); }
};

// Shows a failure with its caption; false, so that a step can return it.
bool fail(const std::string& text, const std::string& caption);

// The preparation and the steps of the full conversion; false ends the run.
bool prepare(Conversion& c);
bool stepOwners(Conversion& c);
bool stepDatabaseList(Conversion& c);
bool stepSplitMail(Conversion& c);
bool stepMailPersons(Conversion& c);
bool stepForumFiles(Conversion& c);
bool stepInternetHeaders(Conversion& c);
bool stepMoveFiles(Conversion& c);
// Once the converted files are in place: removes what is left of the old
// installation (IDX*.ADF in the program directory, the old files kept in the
// database directories the new list names) and then the conversion's marker.
bool removeOldFiles(const Conversion& c);

// Adds the database record in the FOR buffer to the open database list. Two
// databases never share a name: a name that is taken gets " (F" + the
// directory number + ")" added rather than the definition being lost. An
// ID or directory given twice keeps the first. False (with the message
// shown) on failure.
bool addDatabase();

// The minor upgrade of the current layout.
bool minorUpgrade(Conversion& c);
// Copies the file list of import definitions at `oldPath` (old layout, 40
// characters) into a new file at `newPath`; a record that would duplicate
// a key is passed over. False (with the message shown) on failure.
bool convertFileList(const std::string& oldPath, const std::string& newPath);
// Stores the version number in the control file at `path`.
bool storeVersion(const std::string& path, int version);

// Free space on the directory's file system for files of `bytes` bytes
// (kSpaceFactor times); false with the message when there is too little.
bool enoughSpace(const std::string& dir, int64_t bytes, const std::string& what);

}  // namespace qvconv
