// The operation layer of the DBF driver: one file block per declared file,
// which translates between the keyed-file layer's record buffer and the
// table's DBF records, and the dispatcher FOXPRO that carries out one
// operation of the file layer on it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "storage/file.h"
#include "table/table.h"

namespace dbf {

// Operation codes of the file layer that the dispatcher carries out.
enum Op : int {
  OpAdd = 1,
  OpBeginTest = 2,
  OpBuildAll = 3,
  OpAppend = 4,
  OpBuildDynamic = 5,
  OpBuildOne = 6,
  OpClose = 7,
  OpCopy = 9,
  OpCreate = 10,
  OpDelete = 11,
  OpDupAll = 12,
  OpEmpty = 13,
  OpEndTest = 14,
  OpGetByKey = 15,
  OpGetByRecord = 16,
  OpGetByKeyRecord = 17,
  OpHoldOnce = 18,
  OpHoldWait = 19,
  OpLockForever = 20,
  OpLockWait = 21,
  OpName = 23,
  OpNext = 24,
  OpOpen = 25,
  OpPack = 26,
  OpPosition = 27,
  OpPositionKey = 28,
  OpFlush = 29,
  OpPut = 30,
  OpPrevious = 31,
  OpRecords = 32,
  OpRecordsKey = 33,
  OpRelease = 36,
  OpRemove = 37,
  OpRename = 38,
  OpSetFile = 41,
  OpSetKeyValue = 42,
  OpSetFileRecord = 43,
  OpSetKeyStart = 44,
  OpSetKeyValue2 = 45,
  OpSetKeyRecord = 46,
  OpSetKeyRecord2 = 47,
  OpOpenShared = 48,
  OpSkip = 49,
  OpUnlock = 50,
  OpBytes = 52,
  OpPutRecord = 54,
  OpNoEffect = 56,
  OpDupOne = 57,
  OpWatch = 58,
  OpSend = 60,
  OpPositionText = 61,
  OpPositionTextKey = 62,
  OpSetFileText = 63,
  OpSetKeyText = 64,
  OpNoMemos = 65,
  OpGetByText = 66,
  OpGetByTextKey = 67,
  OpFirstUnsupported = 75,
};

// File-layer numbers the operation layer answers with itself.
enum LayerError : int {
  LayerOk = 0,
  LayerEnd = 33,              // end of file, or no current record
  LayerNotFound = 35,         // no such record (or marked deleted)
  LayerDuplicateNames = 38,   // two index files with the same name
  LayerDuplicateKey = 40,
  LayerHoldTimeout = 43,
  LayerNoName = 45,
  LayerIndexMissing = 46,
  LayerMismatch = 47,         // the declaration does not match the table
  LayerNoCreate = 54,
  LayerMemoMissing = 73,
  LayerTypeMismatch = 75,
  LayerKeyField = 76,
  LayerTypeUnsupported = 79,
  LayerNotSupported = 80,
  LayerChanged = 89,          // changed by another user since it was read
  LayerDriverError = 90,
  LayerLockRefused = 32,
  LayerAccessDenied = 5,
};

// Option bits of a file block.
enum OptionBits : unsigned {
  OptExtErrors = 1,
  OptIgnoreStatus = 2,
};

// One declared field element and the DBF field it maps to.
struct FieldMap {
  int field = 0;         // index into the declaration's fields
  uint32_t element = 0;  // array element
  int dbf = 0;           // index into the table's fields
  char type = 'C';       // the DBF type letter
  uint32_t length = 0;
  uint8_t decimals = 0;
};

// One declared memo and the DBF field of type 'M' that holds its block number.
struct MemoMap {
  int field = 0;  // index into the declaration's fields
  int dbf = 0;
  uint32_t block = 0;
  bool raw = false;  // no character-set conversion, trailing blanks kept
};

struct FileBlock;

// Where a read in a key's order stands: kept and put back around a look
// that must not move it (the beginning and end tests).
struct KeyCursor {
  int state = 0;  // the index side's own (before the first, at an entry, after the last)
  std::string key;
  uint32_t record = 0;
};

// The index files of a table (compound .CDX tags or single .IDX files), as
// the operation layer calls them. Every function answers a file-layer
// number. Keys are built from DBF record images.
class IndexSide {
 public:
  virtual ~IndexSide() = default;
  virtual int open(FileBlock& b) = 0;     // the declared index files
  virtual int create(FileBlock& b) = 0;   // new, empty index files for a new table
  virtual void close(FileBlock& b) = 0;
  virtual int flush(FileBlock& b) = 0;  // writes the changed pages of every index file
  // 40 when `record` would duplicate a unique key of a record other than
  // `recno` (key -1: every unique key).
  virtual int duplicate(FileBlock& b, int key, uint32_t recno, const std::string& record) = 0;
  virtual int insert(FileBlock& b, uint32_t recno, const std::string& record) = 0;
  virtual int update(FileBlock& b, uint32_t recno, const std::string& before, const std::string& after) = 0;
  // The record's deletion mark was set or cleared: keys whose filter
  // mentions DELETED() take or drop its entry.
  virtual int markChanged(FileBlock& b, uint32_t recno, const std::string& record) = 0;
  // Positions key `key` at the first entry not below the value that
  // `record` gives its first `components` components (0: all), and, with
  // recno above 0, at the exact entry of that record; answers its record.
  virtual int seek(FileBlock& b, int key, const std::string& record, int components, uint32_t recno,
                   uint32_t& found) = 0;
  // Positions key `key` before its first or after its last entry.
  virtual int edge(FileBlock& b, int key, bool last) = 0;
  // Steps one entry forwards (+1) or backwards (-1); 33 at the end.
  virtual int step(FileBlock& b, int key, int direction, uint32_t& recno) = 0;
  virtual KeyCursor cursor(int key) = 0;
  virtual void setCursor(int key, const KeyCursor& at) = 0;
  // True when the key's entry for `record` equals the value of `probe`.
  virtual bool equal(FileBlock& b, int key, const std::string& record, const std::string& probe) = 0;
  virtual int rebuild(FileBlock& b, int key) = 0;  // -1: all
  // Builds a dynamic index from a key description; it is kept current like
  // the declared keys, read as key number `key` (after the declared ones),
  // and removed when the table is closed.
  virtual int buildDynamic(FileBlock& b, const std::string& description, int& key) = 0;
  // The index files of the table, to copy, rename or remove with it.
  virtual std::vector<std::string> files(FileBlock& b) = 0;
};
using IndexSideFactory = std::function<std::unique_ptr<IndexSide>(FileBlock&)>;
// The index module installs its side here; without one, key operations
// answer 46 (index file missing).
void setIndexSideFactory(IndexSideFactory factory);

// The memo file of a table (.FPT or .DBT), as the operation layer calls it.
class MemoSide {
 public:
  virtual ~MemoSide() = default;
  // Opens the memo file at b.memoPath (73 when it is missing).
  virtual int open(FileBlock& b) = 0;
  virtual int create(FileBlock& b) = 0;
  virtual void close(FileBlock& b) = 0;
  // Reads the memo of a block number into `text` (at most maxLen bytes);
  // `raw` tells a memo stored as raw bytes, whose trailing blanks stay.
  virtual int read(FileBlock& b, uint32_t block, size_t maxLen, std::string& text, bool& raw) = 0;
  // Writes a memo text and answers its block number (0 for an empty text);
  // `block` is the memo's current block, rewritten in place when it fits.
  virtual int write(FileBlock& b, uint32_t block, const std::string& text, bool raw, uint32_t& newBlock) = 0;
  // Whether memos may be written: a memo file cut short or with a damaged
  // header answers the engine's "file corrupted", and nothing is written.
  virtual int writable(FileBlock& b) = 0;
  // Compacts the memo file after the table was packed: the memos of every
  // 'M' field of the table's records (declared or not) move together and
  // the fields get the new blocks; no live memo changes.
  virtual int pack(FileBlock& b) = 0;
};
using MemoSideFactory = std::function<std::unique_ptr<MemoSide>(FileBlock&)>;
void setMemoSideFactory(MemoSideFactory factory);

struct FileBlock {
  qv::File* file = nullptr;  // the declaration, its record buffer and its path
  std::string path;          // the declared name with ".DBF" added
  int handle = 0;
  uint32_t recordLength = 0;
  int dialect = DialectFoxPro;
  unsigned openMode = 0;
  unsigned options = 0;
  int buffers = 0;
  uint32_t current = 0;  // current record; 0 when none
  uint32_t held = 0;     // record held by this file; 0 when none
  int holdSeconds = -1;  // a hold asked for the next read (-1: none; 0: try once)
  // Sequential reading: the order (-1 record order, else a key) and the
  // start that the next read takes.
  int order = -1;
  bool startPending = false;
  bool startAtEnd = false;  // the start is the end of the order (a read backwards takes the last)
  uint32_t startRecord = 0;
  bool watch = false;
  std::string watchCopy;
  uint32_t watchRecord = 0;
  std::string memoPath;
  int memoFactor = 1;
  bool skipMemos = false;
  std::string record;   // the DBF record of the current record
  std::string scratch;  // answers handed back as text
  std::vector<FieldMap> fields;
  std::vector<MemoMap> memos;
  // Declared fields past the last field of a table opened for reading only:
  // no DBF field holds them, so every read gives them their empty value.
  std::vector<FieldMap> unmapped;
  std::unique_ptr<IndexSide> index;
  std::unique_ptr<MemoSide> memo;
  bool hasKeys = false;
  int lastOp = 0;
  int engineStatus = 0;  // the engine code of the last failure
  std::string detail;    // its text
};

// The arguments of one operation.
struct OpArgs {
  int64_t number = 0;     // a record number, count, seconds or skip distance
  int key = -1;           // a key of the declaration
  int components = 0;     // leading key components of a value (0: all)
  std::string text;       // a name, position or command text
  std::string answer;     // an answer handed back as text
};

// The registration record the file layer reads when it loads the driver.
struct DriverRegistration {
  const char* name;
  const char* description;
  int (*dispatcher)(int, FileBlock*, OpArgs*);
  uint32_t maxFieldLength;
  uint32_t maxRecordLength;
  uint32_t maxRecords;
  uint16_t fileBlockSize, fieldBlockSize, keyBlockSize, memoBlockSize;
  uint8_t operations[58];  // count, then the codes
  uint8_t types[8];        // count, then the file layer's type codes
};

}  // namespace dbf

extern "C" {
// The dispatcher: carries out operation `op` on a file block; answers 0 or a
// file-layer error number.
int FOXPRO(int op, dbf::FileBlock* block, dbf::OpArgs* args);
}
// The registration record, exported as "Fox$DrvReg".
extern const dbf::DriverRegistration FoxDrvReg __asm__("Fox$DrvReg");

namespace dbf {
// The file block of a File opened through the driver (null for another driver).
FileBlock* fileBlockOf(qv::File& f);
// Sends a driver command text (operation 60) and answers its text.
std::string sendCommand(qv::File& f, const std::string& text);
}  // namespace dbf
