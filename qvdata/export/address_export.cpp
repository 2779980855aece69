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

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(size_t(n));
  }
  return true;
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

struct AddressRun::Impl {
  int format;
  std::string name;
  int result = AddressRunning;
  AddressView view;
  std::string path, part, failure;
  std::function<void(const AddressView&)> progress;
  int fd = -1;
  bool opened = false;  // Person is open
  bool started = false;
  bool haveLast = false;  // a record was read: the walk goes on after it
  int64_t lastPos = 0;
  RecordImage last;
  std::unique_ptr<AddressBuffer> buffer;

  void tell() {
    if (progress) progress(view);
  }

  void release() {
    if (fd >= 0) ::close(fd);
    fd = -1;
    if (opened) OP_CLOSE(OpRelease, {FilePerson});
    opened = false;
  }

  // Ends the run without a file: the part written so far goes.
  void end(int r, const std::string& why = {}) {
    release();
    if (!part.empty()) {
      std::error_code ec;
      fs::remove(part, ec);
    }
    failure = why;
    result = r;
    tell();
  }

  void writeFailed() { end(AddressFailed, "The address book " + path + " could not be written: " + std::strerror(errno)); }

  bool open();
  void walk();
  void complete();
};

bool AddressRun::Impl::open() {
  const AddressFormatInfo* info = addressFormatInfo(format);
  if (Mem.ForumNumber == 0) {
    end(AddressFailed, "No database is open.");
    return false;
  }
  if (info == nullptr || !addressFormatOffered(Mem.ForumType, format)) {
    std::string what = info ? std::string(info->name) : std::to_string(format);
    end(AddressFailed, "The address book format " + what + " is not offered for this kind of database.");
    return false;
  }
  std::string file = name.empty() ? info->defaultFile : name;
  if (std::string problem = exportNameProblem(file); !problem.empty()) {
    end(AddressFailed, problem);
    return false;
  }
  path = exportPath(file);
  if (!OP_CLOSE(OpShared, {FilePerson})) {
    end(AddressFailed, "The persons of this database cannot be read.");
    return false;
  }
  opened = true;
  view.persons = Person.records();
  if (view.persons <= 0) {
    end(AddressNoPersons);
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
    end(AddressFailed, "The address book " + path + " cannot be created: " + why);
    return false;
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
  release();
  result = AddressDone;
  tell();
}

AddressRun::AddressRun(int format, const std::string& name) : d_(std::make_unique<Impl>()) {
  d_->format = format;
  d_->name = name;
}

AddressRun::~AddressRun() {
  if (d_->result == AddressRunning) d_->end(AddressCancelled);
}

bool AddressRun::start() {
  if (d_->started) return d_->result == AddressRunning;
  d_->started = true;
  if (!d_->open()) return false;
  d_->tell();
  return true;
}

bool AddressRun::step() {
  if (!d_->started && !start()) return false;
  if (d_->result != AddressRunning) return false;
  d_->walk();
  return d_->result == AddressRunning;
}

void AddressRun::cancel() {
  if (d_->result == AddressRunning) d_->end(AddressCancelled);
}

void AddressRun::onProgress(std::function<void(const AddressView&)> f) { d_->progress = std::move(f); }
int AddressRun::result() const { return d_->result; }
const AddressView& AddressRun::view() const { return d_->view; }
const std::string& AddressRun::path() const { return d_->path; }
const std::string& AddressRun::failure() const { return d_->failure; }

int CopyAddress(int format, const std::string& name, std::function<void(const AddressView&)> progress) {
  AddressRun run(format, name);
  run.onProgress(std::move(progress));
  while (run.step()) {
  }
  if (run.result() == AddressFailed) Message(run.failure(), kCaption, Icon::Exclamation);
  return run.result();
}

}  // namespace qv
