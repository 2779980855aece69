// The error code and text that every storage operation leaves behind.
#pragma once

#include <string>

namespace qv {

enum Err : int {
  ErrNone = 0,
  ErrNotFound = 1,        // no record with that key value or position
  ErrNotAvailable = 2,    // no current record, or the end of the file was reached
  ErrHeld = 3,            // the record (or the file) is held by another
  ErrAccessDenied = 4,    // share mode, permissions or owner password refuse the access
  ErrDuplicateKey = 5,    // the record would duplicate a unique key
  ErrFileNotFound = 6,
  ErrPathNotFound = 7,
  ErrInvalidFileName = 8,
  ErrBadKeys = 9,         // the keys of the file are damaged or missing and must be rebuilt
  ErrLayout = 10,         // the stored layout differs from the declaration
  ErrKeyBuilt = 11,       // the key is already built
  ErrNotOpen = 12,
  ErrNotSupported = 13,   // the driver does not do this operation
  ErrTransaction = 14,    // transaction misuse (none active, one already active, file not in it)
  ErrDiskFull = 15,
  ErrInvalidOption = 16,
  ErrInterrupted = 17,    // a writer stopped mid-transaction left the file for a writer to roll back
  ErrOther = 99,          // anything else; the text says what
};

int ErrorCode();
const std::string& ErrorText();
// Name (path) of the file the last operation was on.
const std::string& ErrorFile();

// Drivers report through these.
void setError(Err code, const std::string& file = {}, const std::string& detail = {});
void clearError();
// The fixed text of a code.
const char* errorMessage(int code);

}  // namespace qv
