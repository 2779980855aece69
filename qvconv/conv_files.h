// File helpers of the converter: opening old and new files by path with the
// file layer's messages, copying records field by field by field name, and
// moving and copying whole files.
#pragma once

#include <string>

#include "storage/file.h"

namespace qvconv {

// Temporary and saved names of the conversion, by file number.
enum ConvFileNumber : int {
  FileMailBoxes = 16,     // the old list of mailboxes
  FileOldMail = 125,      // the old mail headers while they are copied
  FileOldPerson = 126,    // the old persons
  FileOldText = 127,      // the old mail texts
  FileOldCodes = 128,     // the old topic codes
  FileOldForums = 129,    // the old database list
  FileOldFileList = 130,  // the old file list
  FileSavedForums = 202,  // the database list saved by the minor upgrade
  FileSavedFileList = 227,
};
// "SAV002.ADF": the copies the full conversion saves in the program directory.
std::string savName(int number);

// Opens an existing file read-write and exclusively. A file that is not
// there is not made. On failure shows the file layer's open message (without
// its closing lines) and returns false; `quiet` shows nothing.
bool openExisting(qv::File& f, const std::string& path, bool quiet = false);
// True when the file at `path` opens with the declaration (it is closed again).
bool matchesDeclaration(qv::File& f, const std::string& path);
// Shows the file layer's open message for the last failure on `path`.
void showOpenFailure(const std::string& path);
// Makes the file anew (an existing one is replaced) and opens it exclusively;
// shows the open message on failure.
bool createNew(qv::File& f, const std::string& path);

// Fills `to`'s record buffer from `from`'s: every field of `to` whose name
// `from` has takes its value (texts cut to the new width); the others start
// empty.
void copyByName(const qv::FileDecl& from, const qv::FileDecl& to);

bool fileExists(const std::string& path);
// Moves or copies a file with the journal SQLite left beside it, if any; a
// journal that stood beside the file replaced at `to` goes (it would be
// rolled onto the file put there). False on failure.
bool moveFile(const std::string& from, const std::string& to);
bool copyFile(const std::string& from, const std::string& to);
// Removes a file with its journals.
bool removeFile(const std::string& path);
void removeJournals(const std::string& path);
int64_t fileSize(const std::string& path);
// Makes a directory (mode 0700) when it is not there.
bool makeDirectory(const std::string& path);

// The platform's text of the last file error.
std::string fileErrorText();

}  // namespace qvconv
