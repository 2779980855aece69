// What the rebuild of the database list reads from a database directory
// F<n>: the kind its files tell, its own description (DbRef) and the highest
// record ID its files hold.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"

namespace qv {

// The kinds a directory's files can tell: the database kinds (DbKind), a
// directory holding nothing but persons, and none.
enum DirKind : int {
  DirUnrecognisable = 0,
  DirForum = 1,
  DirMail = 2,
  DirNews = 3,
  DirPersonsOnly = 99,
};

// Which of the files that tell a directory's kind are there.
struct DirFiles {
  bool messages = false;  // IDX003
  bool persons = false;   // IDX005
  bool threads = false;   // IDX007
  bool mail = false;      // IDX013
  bool messageIds = false;  // IDX025
};

// The directory F<n> under the database root.
std::string databaseDirectory(uint32_t dirNumber);
// The path of file `number` in directory F<dirNumber>.
std::string fileIn(uint32_t dirNumber, int number);
DirFiles filesIn(uint32_t dirNumber);
// The kind the files tell: a newsgroup has messages, threads and
// Message-IDs and no mail; a forum messages and threads and neither mail nor
// Message-IDs; a mailbox mail and no messages; a directory with persons and
// none of the others holds persons only; anything else is unrecognisable.
int kindOfFiles(const DirFiles& f);
// True when none of the message, thread, mail and Message-ID files is there.
bool noMessageFiles(const DirFiles& f);

// The directory numbers of the directories F<n> under the database root,
// ascending.
std::vector<uint32_t> databaseDirectories();

// The self-description of directory F<n> into REF; false when it has none.
bool readDbRef(uint32_t dirNumber);
// Writes the FOR buffer as the self-description of directory F<n>
// (UpdREF); `mode` reports a failure.
bool writeDbRef(uint32_t dirNumber, int mode);
// The persons of directory F<n> (0 when its Person file is missing); with
// exactly one, `onlyPerson` is its ID.
int64_t personsIn(uint32_t dirNumber, uint32_t& onlyPerson);
// True when the Person file of F<n> holds a person of that ID.
bool personIn(uint32_t dirNumber, uint32_t personId);

// The highest record ID in use in directory F<n> of a database kind
// (messages, texts, mail, sections, threads, persons, topics, Message-IDs),
// and the date of its first text (in file order) dated after `oldestDate`;
// 0 when none.
struct DirectoryIds {
  uint32_t highest = 0;
  int32_t firstTextDate = 0;
  int64_t messages = 0;  // records of its message (or mail) file
};
DirectoryIds idsIn(uint32_t dirNumber, int kind, int32_t oldestDate);

// Layout probes of the files of a database kind in directory F<n>: each
// file's role as the log names it, its path, and whether it opens with the
// declared layout. Files that are not there are not probed.
struct FileProbe {
  std::string role;
  std::string path;
  bool ok = false;
};
std::vector<FileProbe> probeFiles(uint32_t dirNumber, int kind);

}  // namespace qv
