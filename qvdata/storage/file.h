// The keyed-file layer: one File per declared file, with its record buffer,
// reached through the driver named in its declaration.
//
// Every operation sets the error code and text (storage/errors.h); a bool
// result is true on success. Reading a record fills the declaration's record
// buffer; writing takes the record from it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "storage/errors.h"
#include "storage/record.h"

namespace qv {

class File;

enum class Share {
  Shared,          // read-write, others may read and write
  DenyWrite,       // read-write, others may only read
  Exclusive,       // read-write, nobody else
  ReadOnly,        // read-only, others may read and write
};

class Key {
 public:
  Key(File& file, int index) : file_(&file), index_(index) {}
  File& file() const { return *file_; }
  int index() const { return index_; }
  const KeyDesc& desc() const;

 private:
  File* file_;
  int index_;
};

// What a driver does for a File. Operations a driver lacks answer
// ErrNotSupported.
class Driver {
 public:
  explicit Driver(File& f) : file_(f) {}
  virtual ~Driver() = default;

  virtual bool open(Share share, const std::string& password);
  virtual void close();
  virtual bool create();
  virtual int64_t records();
  virtual bool hasRecords();  // at least one record, without counting them all
  virtual bool empty();
  virtual bool pack();
  virtual bool buildKeys();
  virtual bool buildKey(int key);
  virtual bool stream();
  virtual bool flush();
  virtual bool option(std::string_view name, std::string_view value);

  virtual void setStart(int key);                    // key order (or file order for key -1)
  virtual void setValue(int key, int components);    // from the buffer's value of the first components
  virtual void setPosition(int key, int64_t pos);    // from the record at a stored position
  virtual bool next();
  virtual bool previous();
  virtual bool get(int key);
  virtual bool getPosition(int64_t pos);
  virtual bool getBlock(int64_t pos, int64_t length);  // flat files: bytes at an offset
  virtual bool addBlock(int64_t length);               // flat files: bytes at the end
  virtual bool add();
  virtual bool append();
  virtual bool put();
  virtual bool remove();
  virtual bool hold(int seconds);
  virtual void release();
  virtual int64_t position();
  virtual int64_t bytes();  // flat and line files: bytes of the last record read
  // Work on many records at once (File::getEach, File::addEach); these
  // defaults go record by record through get() and add().
  // `fields` (indexes into the declaration) are those `each` reads; empty
  // for all. A driver may fill only those; this default fills all.
  virtual bool getEach(int key, const std::vector<int64_t>& values, const std::function<bool()>& each,
                       const std::vector<int>& fields);
  virtual bool addEach(const std::function<bool()>& next, bool skipDuplicates);

 protected:
  bool unsupported();
  File& file_;
};

using DriverFactory = std::function<std::unique_ptr<Driver>(File&)>;

// Registration point for table drivers: the built-in ones register themselves,
// an external driver (such as the DBF driver) adds its own name.
void registerDriver(const std::string& name, DriverFactory factory);
bool driverRegistered(const std::string& name);

class File {
 public:
  explicit File(FileDecl& decl);
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  FileDecl& decl() { return decl_; }
  const FileDecl& decl() const { return decl_; }
  const std::string& label() const { return decl_.label; }
  Key key(int index) { return Key(*this, index); }
  Key key(std::string_view name);

  // The path the file is opened and created under.
  void setName(const std::string& path) { name_ = path; }
  const std::string& name() const { return name_; }

  bool open(Share share = Share::Shared);
  bool open(Share share, const std::string& password);
  void close();
  bool isOpen() const { return open_; }
  Share share() const { return share_; }
  bool create();
  int64_t records();
  // True when the file holds a record: a question that, unlike records(),
  // need not read the whole file.
  bool hasRecords();
  bool empty();
  bool pack();
  bool buildKeys();
  bool buildKey(const Key& k);
  bool stream();
  bool flush();
  // Driver option strings such as "QUICKSCAN=ON" or "FULLBUILD=OFF".
  bool sendOption(std::string_view text);

  // Positioning. After any of these, next() and previous() walk from there.
  void set(const Key& k);                     // start (next) or end (previous) of the key order
  void set(const Key& k, const Key& values);  // from the buffer's value of the whole key
  void setPrefix(const Key& k, int components);  // from the buffer's first components
  void setPosition(const Key& k, int64_t pos);   // key order from the record at a stored position
  void setFileOrder();                        // file order from the start
  void setFileOrder(int64_t pos);             // file order from a stored position
  bool next();
  bool previous();
  bool get(const Key& k);          // exact match of the buffer's key value
  bool getPosition(int64_t pos);   // the record at a stored position
  // Flat files: read `length` bytes at byte offset `pos` (0-based) into the
  // buffer, or write the first `length` bytes of the buffer at the end.
  bool getBlock(int64_t pos, int64_t length);
  bool addBlock(int64_t length);
  bool add();
  bool append();
  bool put();
  bool remove();
  bool hold(int seconds = 1);
  void release();
  int64_t position();  // stored position of the current record; 0 when none
  int64_t bytes();

  // Reads the records whose value of the key `k` (of one whole-number
  // component) is one of `values`, in the order of the values, with one
  // request where the driver can: each record found fills the buffer and
  // `each` runs; false from it stops the reading. A value no record has is
  // passed over; of several records with one value the first in file order
  // is read, as get() does. False on a failure or when `each` stopped it.
  // With `fields` named, only those are sure to be filled: the others of
  // the buffer are left undefined, so `each` reads no other.
  bool getEach(const Key& k, const std::vector<int64_t>& values, const std::function<bool()>& each,
               std::initializer_list<std::string_view> fields = {});
  // Adds the records that `next` puts into the buffer one after the other
  // (false from it: no more), with one prepared statement in one transaction
  // where the driver can: the active transaction or write stream, else one
  // of its own, so that all of them are added or none. A record whose unique
  // key value is there already is passed over with skipDuplicates; without
  // it, it ends the adding with ErrDuplicateKey.
  bool addEach(const std::function<bool()>& next, bool skipDuplicates = false);

  void clear() { clearRecord(decl_); }

  Driver* driver() { return driver_.get(); }

 private:
  bool needOpen();
  bool ensureDriver();
  bool needKey(const Key& k);
  FileDecl& decl_;
  std::string name_;
  std::unique_ptr<Driver> driver_;
  bool open_ = false;
  Share share_ = Share::Shared;
};

// Transactions over a list of files, committed atomically across them.
// One transaction is active at a time in the process.
bool beginTransaction(const std::vector<File*>& files, int timeoutSeconds);
bool commitTransaction();
void rollbackTransaction();
bool transactionActive();
std::vector<File*> transactionFiles();

// Identity of the holder of record holds on this thread; procedures that
// should hold independently of each other use different holders.
int currentHolder();
void setCurrentHolder(int holder);

}  // namespace qv
