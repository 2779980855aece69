#include "export/address_export.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "export/address_entries.h"
#include "export/export_names.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/output_files.h"
#include "services/prompt.h"
#include "services/whole_names.h"
#include "storage/buffer_guard.h"

namespace fs = std::filesystem;

namespace qv {

namespace {

constexpr const char* kCaption = "Export Address Book";

// The file an export writes before it takes the name asked for: hidden
// beside it, and the same for every run, so that a run killed on the way
// leaves nothing that the next run does not clear.
std::string partPath(const std::string& path) {
  fs::path p(path);
  return (p.parent_path() / (".~" + p.filename().string() + ".part")).string();
}

}  // namespace

bool AddressBuffer::add(std::string_view entry) {
  if (!ok_) return false;
  if (!buffer_.empty() && buffer_.size() + entry.size() > kAddressBufferSize) flush();
  buffer_.append(entry);
  return ok_;
}

bool AddressBuffer::flush() {
  if (ok_ && !buffer_.empty()) ok_ = write_(buffer_);
  buffer_.clear();
  return ok_;
}

// The run as an engine: its first slice checks the request and opens
// Person (held across slices in heldFiles) and the part file, every later
// slice writes kAddressSlice persons. Whatever ends the run, ended() closes
// the part file, removes it unless it took the name asked for, and lets go
// of Person.
struct AddressRun::Impl : EngineRun {
  Impl(int f, const std::string& n) : EngineRun(view, kNoBatchRules), format(f), name(n) {}
  // A run dropped unfinished ends as cancelled.
  ~Impl() override { cancel(); }

  int format;
  std::string name;
  AddressView view;
  std::string path, part;
  std::function<void(const AddressView&)> progress;
  int fd = -1;
  bool opened = false;     // the first slice was run
  bool noPersons = false;  // the run ended without persons to write
  bool haveLast = false;   // a record was read: the walk goes on after it
  int64_t lastPos = 0;
  RecordImage last;
  std::unique_ptr<AddressBuffer> buffer;

  void tell() {
    if (progress) progress(view);
  }

  int result() const {
    switch (state()) {
      case EngineState::Finished: return noPersons ? AddressNoPersons : AddressDone;
      case EngineState::Failed: return AddressFailed;
      case EngineState::Stopped: return AddressCancelled;
      default: return AddressRunning;
    }
  }

  // Begins the run with its first slice; false when it cannot start.
  bool start() {
    if (state() != EngineState::Ready) return running();
    begin(kEngineDone);
    return tick(kEngineLoopSlice);
  }
  // Ends the run, one not begun as well.
  void stop() {
    if (state() == EngineState::Ready)
      end(EngineState::Stopped);
    else
      cancel();
  }

  bool runSlice(std::chrono::milliseconds) override {
    if (!opened) {
      opened = true;
      if (open()) tell();
    } else {
      walk();
    }
    return running();
  }

  void ended() override {
    if (fd >= 0) ::close(fd);
    fd = -1;
    if (!part.empty()) {
      std::error_code ec;
      fs::remove(part, ec);
      part.clear();
    }
    EngineRun::close();  // lets go of heldFiles (Person)
    tell();
  }

  void writeFailed() { fail("The address book " + path + " could not be written: " + std::strerror(errno)); }

  bool open();
  void walk();
  void complete();
};

bool AddressRun::Impl::open() {
  const AddressFormatInfo* info = addressFormatInfo(format);
  if (Mem.ForumNumber == 0) return fail("No database is open.");
  if (info == nullptr || !addressFormatOffered(Mem.ForumType, format)) {
    std::string what = info ? std::string(info->name) : std::to_string(format);
    return fail("The address book format " + what + " is not offered for this kind of database.");
  }
  std::string file = name.empty() ? info->defaultFile : name;
  if (std::string problem = exportNameProblem(file); !problem.empty()) return fail(problem);
  path = exportPath(file);
  if (!holdFiles({FilePerson})) return fail("The persons of this database cannot be read.");
  view.persons = Person.records();
  if (view.persons <= 0) {
    noPersons = true;
    end(EngineState::Finished);
    return false;
  }
  std::error_code ec;
  fs::create_directories(Mem.TempDir, ec);
  part = partPath(path);
  ::unlink(part.c_str());
  fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    std::string why = std::strerror(errno);
    part.clear();  // not ours to remove
    return fail("The address book " + path + " cannot be created: " + why);
  }
  buffer = std::make_unique<AddressBuffer>([this](std::string_view bytes) { return writeAll(fd, bytes); });
  return true;
}

void AddressRun::Impl::walk() {
  BufferGuard guard({&Person});
  // Every slice takes the walk up after the person where the last one
  // stopped: other windows may have moved the file in between.
  if (haveLast) {
    Person.setPosition(PER_NameKey, lastPos);
    if (!Person.next() || Person.position() != lastPos) {
      restoreRecord(Person.decl(), last);
      Person.set(PER_NameKey, PER_NameKey);
    }
  } else {
    Person.set(PER_NameKey);
  }
  for (int n = 0; n < kAddressSlice; ++n) {
    if (!Person.next()) {
      complete();
      return;
    }
    haveLast = true;
    lastPos = Person.position();
    last = saveRecord(Person.decl());
    ++view.read;
    PersonName whole = personName();
    std::string entry = addressEntry(format, {whole.last, whole.first, PER.ADDRESS.str()});
    if (entry.empty()) {
      ++view.skipped;
      continue;
    }
    if (!buffer->add(entry)) {
      writeFailed();
      return;
    }
    ++view.written;
  }
  tell();
}

void AddressRun::Impl::complete() {
  if (!buffer->flush() || ::fsync(fd) != 0) {
    writeFailed();
    return;
  }
  int rc = ::close(fd);
  fd = -1;
  if (rc != 0 || ::rename(part.c_str(), path.c_str()) != 0) {
    writeFailed();
    return;
  }
  part.clear();
  end(EngineState::Finished);
}

AddressRun::AddressRun(int format, const std::string& name) : d_(std::make_unique<Impl>(format, name)) {}

AddressRun::~AddressRun() = default;

bool AddressRun::start() { return d_->start(); }

bool AddressRun::step() {
  if (d_->state() == EngineState::Ready && !d_->start()) return false;
  return d_->tick(kEngineLoopSlice);
}

void AddressRun::cancel() { d_->stop(); }

void AddressRun::onProgress(std::function<void(const AddressView&)> f) { d_->progress = std::move(f); }
int AddressRun::result() const { return d_->result(); }
const AddressView& AddressRun::view() const { return d_->view; }
const std::string& AddressRun::path() const { return d_->path; }
const std::string& AddressRun::failure() const { return d_->view.failure; }
Status AddressRun::status() const { return d_->status(); }

int CopyAddress(int format, const std::string& name, std::function<void(const AddressView&)> progress) {
  AddressRun run(format, name);
  run.onProgress(std::move(progress));
  while (run.step()) {
  }
  // A failure the base already told (no memory) is not told twice.
  if (run.result() == AddressFailed && !run.view().failureShown) Message(run.failure(), kCaption, Icon::Exclamation);
  return run.result();
}

}  // namespace qv
