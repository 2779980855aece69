#include "storage/file.h"

#include <mutex>

namespace qv {

// Built-in drivers, defined in their own files.
std::unique_ptr<Driver> makeSqliteDriver(File& f, bool older);
std::unique_ptr<Driver> makeLineDriver(File& f);
std::unique_ptr<Driver> makeFlatDriver(File& f);

namespace {
std::map<std::string, DriverFactory>& registry() {
  static std::map<std::string, DriverFactory> r = {
      {"ARDENT", [](File& f) { return makeSqliteDriver(f, false); }},
      {"VELDRA", [](File& f) { return makeSqliteDriver(f, true); }},
      {"LINE", [](File& f) { return makeLineDriver(f); }},
      {"FLAT", [](File& f) { return makeFlatDriver(f); }},
  };
  return r;
}
std::mutex registryMutex;
}  // namespace

void registerDriver(const std::string& name, DriverFactory factory) {
  std::lock_guard<std::mutex> lock(registryMutex);
  registry()[name] = std::move(factory);
}

bool driverRegistered(const std::string& name) {
  std::lock_guard<std::mutex> lock(registryMutex);
  return registry().count(name) > 0;
}

const KeyDesc& Key::desc() const { return file_->decl().keys.at(index_); }

// ---- Driver defaults: what a driver does not do ----

bool Driver::unsupported() {
  setError(ErrNotSupported, file_.name());
  return false;
}
bool Driver::open(Share, const std::string&) { return unsupported(); }
void Driver::close() {}
bool Driver::create() { return unsupported(); }
int64_t Driver::records() {
  unsupported();
  return 0;
}
bool Driver::hasRecords() { return records() > 0; }
bool Driver::empty() { return unsupported(); }
bool Driver::pack() { return unsupported(); }
bool Driver::buildKeys() { return unsupported(); }
bool Driver::buildKey(int) { return unsupported(); }
bool Driver::stream() {
  clearError();
  return true;
}
bool Driver::flush() {
  clearError();
  return true;
}
bool Driver::option(std::string_view, std::string_view) {
  setError(ErrInvalidOption, file_.name());
  return false;
}
void Driver::setStart(int) { unsupported(); }
void Driver::setValue(int, int) { unsupported(); }
void Driver::setPosition(int, int64_t) { unsupported(); }
bool Driver::next() { return unsupported(); }
bool Driver::previous() { return unsupported(); }
bool Driver::get(int) { return unsupported(); }
bool Driver::getPosition(int64_t) { return unsupported(); }
bool Driver::getBlock(int64_t, int64_t) { return unsupported(); }
bool Driver::addBlock(int64_t) { return unsupported(); }
bool Driver::add() { return unsupported(); }
bool Driver::append() { return add(); }
bool Driver::put() { return unsupported(); }
bool Driver::remove() { return unsupported(); }
bool Driver::hold(int) {
  clearError();
  return true;
}
void Driver::release() {}
int64_t Driver::position() { return 0; }
int64_t Driver::bytes() { return 0; }

bool Driver::getEach(int key, const std::vector<int64_t>& values, const std::function<bool()>& each,
                     const std::vector<int>&) {
  const FileDecl& d = file_.decl();
  int field = d.keys[key].parts[0].field;
  for (int64_t v : values) {
    setField(d, field, 0, v);
    if (get(key)) {
      if (!each()) {
        clearError();
        return false;
      }
    } else if (ErrorCode() != ErrNotFound) {
      return false;
    }
  }
  clearError();
  return true;
}

bool Driver::addEach(const std::function<bool()>& next, bool skipDuplicates) {
  while (next())
    if (!add() && !(skipDuplicates && ErrorCode() == ErrDuplicateKey)) return false;
  clearError();
  return true;
}

// ---- File ----

File::File(FileDecl& decl) : decl_(decl) {}
File::~File() {
  if (open_ && driver_) driver_->close();
}

Key File::key(std::string_view name) {
  int k = decl_.keyIndex(name);
  if (k < 0) throw std::logic_error("file " + decl_.label + " has no key " + std::string(name));
  return Key(*this, k);
}

bool File::ensureDriver() {
  if (driver_) return true;
  DriverFactory factory;
  {
    std::lock_guard<std::mutex> lock(registryMutex);
    auto it = registry().find(decl_.driver);
    if (it != registry().end()) factory = it->second;
  }
  if (!factory) {
    setError(ErrOther, name_, "No driver \"" + decl_.driver + "\" is registered");
    return false;
  }
  driver_ = factory(*this);
  return true;
}

// A key must be one of this file's own keys.
bool File::needKey(const Key& k) {
  if (!needOpen()) return false;
  if (&k.file() != this || k.index() < 0 || k.index() >= int(decl_.keys.size())) {
    setError(ErrOther, name_, "the key is not a key of this file");
    return false;
  }
  return true;
}

bool File::needOpen() {
  if (!open_) {
    setError(ErrNotOpen, name_);
    return false;
  }
  return true;
}

bool File::open(Share share) { return open(share, decl_.password); }

bool File::open(Share share, const std::string& password) {
  if (open_) {
    clearError();
    return true;
  }
  if (!ensureDriver()) return false;
  if (!driver_->open(share, password)) return false;
  open_ = true;
  share_ = share;
  clearError();
  return true;
}

void File::close() {
  if (open_ && driver_) driver_->close();
  open_ = false;
  clearError();
}

bool File::create() {
  if (!ensureDriver()) return false;
  if (open_) {
    setError(ErrAccessDenied, name_, "the file is open");
    return false;
  }
  return driver_->create();
}

int64_t File::records() { return needOpen() ? driver_->records() : 0; }
bool File::hasRecords() { return needOpen() && driver_->hasRecords(); }
bool File::empty() { return needOpen() && driver_->empty(); }
bool File::pack() { return needOpen() && driver_->pack(); }
bool File::buildKeys() {
  if (!driver_) {
    setError(ErrNotOpen, name_);
    return false;
  }
  return driver_->buildKeys();
}
bool File::buildKey(const Key& k) { return needKey(k) && driver_->buildKey(k.index()); }
bool File::stream() { return needOpen() && driver_->stream(); }
bool File::flush() { return needOpen() && driver_->flush(); }

bool File::sendOption(std::string_view text) {
  if (!driver_) {
    setError(ErrNotOpen, name_);
    return false;
  }
  size_t eq = text.find('=');
  std::string_view name = text.substr(0, eq);
  std::string_view value = eq == std::string_view::npos ? std::string_view() : text.substr(eq + 1);
  auto trim = [](std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
  };
  return driver_->option(trim(name), trim(value));
}

void File::set(const Key& k) {
  if (needKey(k)) driver_->setStart(k.index());
}
void File::set(const Key& k, const Key&) {
  if (needKey(k)) driver_->setValue(k.index(), static_cast<int>(k.desc().parts.size()));
}
void File::setPrefix(const Key& k, int components) {
  if (needKey(k)) driver_->setValue(k.index(), components);
}
void File::setPosition(const Key& k, int64_t pos) {
  if (needKey(k)) driver_->setPosition(k.index(), pos);
}
void File::setFileOrder() {
  if (needOpen()) driver_->setStart(-1);
}
void File::setFileOrder(int64_t pos) {
  if (needOpen()) driver_->setPosition(-1, pos);
}
bool File::next() { return needOpen() && driver_->next(); }
bool File::previous() { return needOpen() && driver_->previous(); }
bool File::get(const Key& k) { return needKey(k) && driver_->get(k.index()); }
bool File::getPosition(int64_t pos) { return needOpen() && driver_->getPosition(pos); }
bool File::getBlock(int64_t pos, int64_t length) { return needOpen() && driver_->getBlock(pos, length); }
bool File::addBlock(int64_t length) { return needOpen() && driver_->addBlock(length); }
bool File::add() { return needOpen() && driver_->add(); }
bool File::append() { return needOpen() && driver_->append(); }
bool File::put() { return needOpen() && driver_->put(); }
bool File::remove() { return needOpen() && driver_->remove(); }
bool File::hold(int seconds) { return needOpen() && driver_->hold(seconds); }
void File::release() {
  if (open_) driver_->release();
}
bool File::getEach(const Key& k, const std::vector<int64_t>& values, const std::function<bool()>& each,
                   std::initializer_list<std::string_view> fields) {
  if (!needKey(k)) return false;
  const KeyDesc& kd = decl_.keys[k.index()];
  FieldType t = decl_.fields[kd.parts[0].field].type;
  if (kd.parts.size() != 1 || (t != FieldType::Byte && t != FieldType::Long && t != FieldType::ULong)) {
    setError(ErrOther, name_, "a key of one whole-number component is needed");
    return false;
  }
  std::vector<int> wanted;
  for (std::string_view f : fields) {
    int i = decl_.fieldIndex(f);
    if (i < 0) {
      setError(ErrOther, name_, "no field " + std::string(f));
      return false;
    }
    wanted.push_back(i);
  }
  return driver_->getEach(k.index(), values, each, wanted);
}
bool File::addEach(const std::function<bool()>& next, bool skipDuplicates) {
  return needOpen() && driver_->addEach(next, skipDuplicates);
}
int64_t File::position() { return open_ ? driver_->position() : 0; }
int64_t File::bytes() { return open_ ? driver_->bytes() : 0; }

}  // namespace qv
