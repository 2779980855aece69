// The DBF table engine: dBASE/FoxPro tables opened by small integer handles.
//
// Every function answers an engine status (table/engine_status.h): 0, a
// condition (201 to 214) or a negative error. The table of open tables and
// the table of held lock ranges are process-wide.
//
// Writing follows the two dialects the driver uses: 8 (FoxPro 2, FPT memos)
// and 3 (FoxBASE/dBASE III, DBT memos). Reading also takes the tables other
// writers made (dBASE II to 7, Visual FoxPro, Clipper); what the reader
// accepts beyond the written rules is listed in each table's `widenings`.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "table/engine_status.h"

namespace dbf {

enum Dialect : int {
  DialectFoxBase = 3,  // version byte 0x03 / 0x83, DBT memos
  DialectFoxPro = 8,   // version byte 0x03 / 0xF5, FPT memos
};

// Version bytes written.
inline constexpr uint8_t kVersionNoMemo = 0x03;
inline constexpr uint8_t kVersionFoxBaseMemo = 0x83;
inline constexpr uint8_t kVersionFoxProMemo = 0xF5;

inline constexpr uint8_t kDeletedFlag = '*';
inline constexpr uint8_t kLiveFlag = ' ';
inline constexpr uint8_t kHeaderTerminator = 0x0D;
inline constexpr uint8_t kEndOfFile = 0x1A;

// Limits of the written rules.
inline constexpr uint32_t kMaxRecordLength = 4000;
inline constexpr uint32_t kMaxCharLength = 254;
inline constexpr int kMaxFieldsFoxPro = 255;
inline constexpr int kMaxFieldsFoxBase = 128;
inline constexpr int kMaxFieldNameLength = 10;
inline constexpr uint32_t kMemoFieldWidth = 10;

// Conditions this engine reports besides those of engine_status.h.
inline constexpr int CondFileSize = 213;  // the file's size does not fit its header

// Open-mode bits.
enum OpenMode : unsigned {
  OpenReadOnly = 0,
  OpenReadWrite = 1,
  OpenShared = 2,        // others may read and write: range locks, counts reread
  OpenWriteThrough = 4,  // every change written and flushed at once
};

// The memo file a table's version byte points to.
enum class TableMemo {
  None,
  Fpt,    // FoxPro / Visual FoxPro .FPT
  Dbt3,   // dBASE III .DBT (0x1A-terminated texts)
  Dbt4,   // dBASE IV and 7 .DBT (block headers)
};

struct FieldDef {
  std::string name;    // upper case, at most 10 characters (dBASE 7: 31)
  char type = 'C';
  uint32_t length = 0;
  uint8_t decimals = 0;
  uint32_t offset = 0;  // in the record; the deletion flag is byte 0
  double maxValue = 0;  // N/F: the largest storable value
};

// What the reader accepted in a table beyond the written rules.
enum Widening : unsigned {
  WidenVersion = 1u << 0,        // a version byte of another writer (0x02, 0x04, 0x30, 0x31, 0x8B ...)
  WidenYear = 1u << 1,           // a year byte outside 80..119 (a last update before 1980 or from 2020)
  WidenDate = 1u << 2,           // a month or day of 0 in the last-update date
  WidenTableFlags = 1u << 3,     // table flags other than 0 or 1 (Visual FoxPro memo / database bits)
  WidenTerminator = 1u << 4,     // descriptors end before the header length (backlink, 2-byte terminator)
  WidenFieldType = 1u << 5,      // field types beyond C D N F L M (I Y B T V Q W G P 0 + O @)
  WidenRecordLength = 1u << 6,   // record length from the header differs from the fields' sum
  WidenMemoDialect = 1u << 7,    // memo fields in a table of the other dialect's memo kind
  WidenDbase7 = 1u << 8,         // dBASE 7 header and 48-byte descriptors
  WidenDbase2 = 1u << 9,         // dBASE II header
  WidenFileSize = 1u << 10,      // records the header counts but the file does not hold
  WidenFieldName = 1u << 11,     // a field name filling all 11 bytes of its descriptor
};
inline constexpr unsigned kWideningCount = 12;
// A short text of one widening bit.
const char* wideningText(unsigned bit);

struct TableInfo {
  std::string path;
  int dialect = DialectFoxPro;
  uint8_t version = 0;
  int year = 0, month = 0, day = 0;  // last update (full year)
  uint32_t records = 0;
  uint32_t headerLength = 0;
  uint32_t recordLength = 0;
  uint8_t tableFlags = 0;  // header byte 28
  uint8_t codePage = 0;    // header byte 29
  std::vector<FieldDef> fields;
  TableMemo memo = TableMemo::None;
  unsigned widenings = 0;
  bool readOnly = true;
  bool shared = false;
  int64_t fileSize = 0;
  int sizeCondition = 0;  // CondFileSize when the size does not fit
  // Opened for writing, the header counts records the file does not hold:
  // every write is refused (ErrFileCorrupted), reads past the file fail.
  bool countBeyondFile = false;
};

// The memo kind of a version byte (None when it names no memo file).
TableMemo memoKindOfVersion(uint8_t version);
// Whether a version byte is one the dialect writes.
bool writtenVersion(int dialect, uint8_t version);

// Parses a header image (the first bytes of a table file, at least the
// header length when available) into `info`. `forWriting` keeps the written
// rules only: a table opened for writing must be one the dialect writes.
int parseHeader(const std::string& image, int64_t fileSize, int dialect, bool forWriting, TableInfo& info);
// The expected size check: 0 or CondFileSize.
int sizeCondition(const TableInfo& info, int64_t fileSize);

// Checks a field list against the create rules of a dialect and fills the
// offsets and largest values. The record length is returned in `recordLength`.
int checkFields(int dialect, std::vector<FieldDef>& fields, uint32_t& recordLength);
// Creates a new table (overwriting none: an existing file gives -240).
// `compoundIndex` sets header byte 28 to 1.
int tableCreate(const std::string& path, int dialect, std::vector<FieldDef> fields, bool compoundIndex);

int tableOpen(const std::string& path, int dialect, unsigned mode, int& handle);
int tableClose(int handle);
// The open table's description; null for a bad handle.
const TableInfo* tableInfo(int handle);
// The record count (reread from the header for a shared table).
int tableRecords(int handle, uint32_t& count);
// Reads record `recno` (from 1) with its deletion flag as byte 0. Answers
// CondDeleted for a record marked deleted.
int tableRead(int handle, uint32_t recno, std::string& record);
int tableWrite(int handle, uint32_t recno, const std::string& record);
// Appends a record (byte 0 is written blank), the end-of-file byte and the header.
int tableAppend(int handle, const std::string& record, uint32_t& recno);
int tableSetDeleted(int handle, uint32_t recno, bool deleted);
// Number of records that collect before a write (0: none; exclusive tables only).
int tableSetBuffers(int handle, int buffers);
int tableFlush(int handle);
// Copies the live records into a new table and puts it in the old one's place;
// the old table stays beside it with the extension ".BAK". The handle stays valid.
int tablePack(int handle);
// Re-creates the table with no records. The handle stays valid.
int tableEmpty(int handle);
// Copies the table file to another path (the file must not exist).
int tableCopy(int handle, const std::string& toPath);

// Range locks (shared tables; exclusive ones answer success).
int tableLockRecord(int handle, uint32_t recno);
int tableUnlockRecord(int handle, uint32_t recno);
int tableLockHeader(int handle);
int tableUnlockHeader(int handle);
int tableLockFile(int handle);
// Releases every range this handle holds.
int tableUnlockAll(int handle);

// File helpers.
int fileStatus(int err);  // errno to engine status
// The same for a failure on a path: a name whose directory is missing
// answers ErrPathNotFound rather than ErrFileNotFound.
int pathStatus(const std::string& path, int err);
int renameFile(const std::string& from, const std::string& to);
// Moves a file to a name that must not exist (an existing one answers
// ErrAccessToFileDenied, as a copy onto it does).
int renameNew(const std::string& from, const std::string& to);
int removeFile(const std::string& path);
int copyFile(const std::string& from, const std::string& to);

// The name with the extension replaced (".BAK", ".FPT" ...), keeping the directory.
std::string withExtension(const std::string& path, const std::string& ext);
// True when the name has an extension.
bool hasExtension(const std::string& path);

}  // namespace dbf
