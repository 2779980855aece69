// The process-wide registries of the SQLite driver (sqlite_registry.cpp):
// share modes, open drivers and record holds, by canonical file path. Used by
// the driver's own files only.
#pragma once

#include <cstdint>
#include <string>

#include "storage/file.h"

namespace qv {

class SqlFileDriver;

// The path a file is registered under: its canonical form where there is one.
std::string canonicalPath(const std::string& path);

// Whether the opens of the file admit one more in this share mode.
bool shareAdmits(const std::string& path, Share share);

// Counts an open driver on the file in its share mode, and back out again
// when it closes; delisting also ends the record holds it made.
void enlistDriver(const std::string& path, Share share, SqlFileDriver* d);
void delistDriver(const std::string& path, Share share, SqlFileDriver* d);

// Ends the reads of the other drivers open on the file before `self` writes.
void quiesceSiblings(const std::string& path, SqlFileDriver* self);
// True when `self` is the only driver that has `path` open.
bool openAlone(const std::string& path, const SqlFileDriver* self);

// Ends the hold on a record, whoever holds it (the record is gone, or was
// not read after all).
void forgetHold(const std::string& path, int64_t pos);

}  // namespace qv
