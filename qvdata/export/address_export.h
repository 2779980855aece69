// CopyAddress: the persons of the current database (forum members, mail
// partners, newsgroup participants) written as an address book, by last
// and first name, in one of the formats of address_entries.h. An engine
// that the address-book window, qvcli and a task runner drive alike, one
// slice of persons per step().
//
// The file lives in the temporary directory under the name the user gave
// (the format's default name when none). It is written beside its place
// and renamed into it only when every entry is written, so an older file of
// that name stays whole when the export fails; a name of the archive's own
// files, or one with a path, is refused. A database without persons gives
// no file at all. The run is an engine on the one engine base: a halt or a
// working queue that cannot grow in a slice ends it failed, with the part
// written so far removed and Person let go.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "services/engine_run.h"
#include "services/status.h"

namespace qv {

// Entries are gathered in a buffer of this many bytes, which is written out
// whenever the next entry does not fit, and once more at the end.
inline constexpr size_t kAddressBufferSize = 10000;
// Persons read per step.
inline constexpr int kAddressSlice = 500;

// The buffer: entries go to `write` unchanged and in order, in writes of at
// most kAddressBufferSize bytes unless a single entry is larger (it then
// goes out whole after the bytes before it).
class AddressBuffer {
 public:
  using Writer = std::function<bool(std::string_view)>;
  explicit AddressBuffer(Writer write) : write_(std::move(write)) {}
  // False once a write failed.
  bool add(std::string_view entry);
  bool flush();

 private:
  Writer write_;
  std::string buffer_;
  bool ok_ = true;
};

// The counters of a run; failure (EngineView) says why it failed.
struct AddressView : EngineView {
  int64_t persons = 0;  // persons of the database
  int64_t read = 0;     // persons read so far
  int64_t written = 0;  // entries written
  int64_t skipped = 0;  // persons without an address
};

enum AddressResult : int {
  AddressRunning = 0,
  AddressDone = 1,      // the file is in place
  AddressFailed = 2,    // nothing was replaced; failure() says why
  AddressNoPersons = 3, // the database has no persons: no file
  AddressCancelled = 4, // nothing was replaced
};

class AddressRun {
 public:
  // `name`: a file name in the temporary directory, "" for the format's default.
  AddressRun(int format, const std::string& name);
  ~AddressRun();
  AddressRun(const AddressRun&) = delete;
  AddressRun& operator=(const AddressRun&) = delete;

  // Checks the format and the name, opens Person and the new file; false
  // when the run cannot start (result() and failure() tell why).
  bool start();
  // Writes one slice (the first starts the run); false once the run has
  // ended. A halt in the slice goes on to the caller after the run ended.
  bool step();
  // Ends the run (one not started as well); an older file of the name
  // stays as it was.
  void cancel();
  void onProgress(std::function<void(const AddressView&)> f);

  int result() const;
  const AddressView& view() const;
  const std::string& path() const;     // the file written (or to be written)
  const std::string& failure() const;  // why the run failed
  // Ok unless the run failed.
  Status status() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> d_;
};

// Runs an export to its end; its result. Failures are told the user as the
// run ends (not in an unattended run).
int CopyAddress(int format, const std::string& name, std::function<void(const AddressView&)> progress = {});

}  // namespace qv
