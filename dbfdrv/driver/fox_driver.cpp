// The driver "FoxPro" in the keyed-file layer: each operation of a File
// becomes one call of the dispatcher, and its file-layer number the layer's
// error code, with the number, the engine's code and text in the detail.
#include <utility>

#include "driver/host.h"
#include "driver/index_side.h"
#include "driver/ops.h"

namespace dbf {

namespace {

qv::Err errorOf(int number) {
  switch (number) {
    case 2: return qv::ErrFileNotFound;
    case 3: return qv::ErrPathNotFound;
    case 5: return qv::ErrAccessDenied;
    case LayerLockRefused: return qv::ErrHeld;
    case LayerEnd: return qv::ErrNotAvailable;
    case LayerNotFound: return qv::ErrNotFound;
    case LayerDuplicateKey: return qv::ErrDuplicateKey;
    case LayerHoldTimeout: return qv::ErrHeld;
    case LayerNoName: return qv::ErrInvalidFileName;
    case LayerIndexMissing: return qv::ErrBadKeys;
    case LayerMismatch:
    case LayerTypeMismatch:
    case LayerTypeUnsupported: return qv::ErrLayout;
    case LayerNoCreate: return qv::ErrAccessDenied;
    case LayerMemoMissing: return qv::ErrFileNotFound;
    case LayerNotSupported: return qv::ErrNotSupported;
    case LayerChanged: return qv::ErrHeld;
    default: return qv::ErrOther;
  }
}

class FoxDriver : public qv::Driver {
 public:
  explicit FoxDriver(qv::File& f) : Driver(f) { block_.file = &f; }
  ~FoxDriver() override {
    if (block_.handle) FOXPRO(OpClose, &block_, nullptr);
  }

  bool open(qv::Share share, const std::string&) override {
    block_.openMode = share == qv::Share::ReadOnly ? OpenReadOnly : OpenReadWrite;
    bool shared = share == qv::Share::Shared || share == qv::Share::ReadOnly;
    return call(shared ? OpOpenShared : OpOpen);
  }
  void close() override { call(OpClose); }
  bool create() override { return call(OpCreate); }
  int64_t records() override {
    OpArgs a;
    return call(OpRecords, a) ? a.number : 0;
  }
  bool empty() override { return call(OpEmpty); }
  bool pack() override { return call(OpPack); }
  bool buildKeys() override { return call(OpBuildAll); }
  bool buildKey(int key) override {
    OpArgs a;
    a.key = key;
    return call(OpBuildOne, a);
  }
  bool stream() override {
    qv::clearError();
    return true;
  }
  bool flush() override { return call(OpFlush); }
  bool option(std::string_view name, std::string_view value) override {
    OpArgs a;
    a.text = std::string(name);
    if (!value.empty()) a.text += "=" + std::string(value);
    bool ok = call(OpSend, a);
    answer_ = a.answer;
    return ok;
  }
  void setStart(int key) override {
    OpArgs a;
    a.key = key;
    call(key < 0 ? OpSetFile : OpSetKeyStart, a);
  }
  void setValue(int key, int components) override {
    OpArgs a;
    a.key = key;
    a.components = components;
    call(OpSetKeyValue2, a);
  }
  void setPosition(int key, int64_t pos) override {
    OpArgs a;
    a.key = key;
    a.number = pos;
    call(key < 0 ? OpSetFileRecord : OpSetKeyRecord2, a);
  }
  bool next() override { return call(OpNext); }
  bool previous() override { return call(OpPrevious); }
  bool get(int key) override {
    OpArgs a;
    a.key = key;
    return call(OpGetByKey, a);
  }
  bool getPosition(int64_t pos) override {
    OpArgs a;
    a.number = pos;
    return call(OpGetByRecord, a);
  }
  bool add() override { return call(OpAdd); }
  bool append() override { return call(OpAppend); }
  bool put() override { return call(OpPut); }
  bool remove() override { return call(OpDelete); }
  bool hold(int seconds) override { return result(holdCurrent(block_, seconds)); }
  void release() override { call(OpRelease); }
  int64_t position() override { return block_.current; }

  FileBlock& block() { return block_; }
  const std::string& answer() const { return answer_; }

 private:
  bool call(int op) {
    OpArgs a;
    return call(op, a);
  }
  bool call(int op, OpArgs& a) { return result(FOXPRO(op, &block_, &a)); }
  bool result(int number) {
    if (number == LayerOk) {
      qv::clearError();
      return true;
    }
    std::string detail = "FoxPro " + std::to_string(number);
    if (block_.engineStatus) detail += ", xBase error " + std::to_string(block_.engineStatus);
    if (!block_.detail.empty()) detail += ": " + block_.detail;
    qv::setError(errorOf(number), block_.path.empty() ? file_.name() : block_.path, detail);
    return false;
  }

  FileBlock block_;
  std::string answer_;
};

}  // namespace

void registerFoxProDriver(DriverServices services) {
  setHostServices(std::move(services));
  setMemoSideFactory([](FileBlock&) { return makeFileMemoSide(); });
  setIndexSideFactory([](FileBlock&) { return makeFileIndexSide(); });
  qv::registerDriver(FoxDrvReg.name, [](qv::File& f) { return std::make_unique<FoxDriver>(f); });
}

FileBlock* fileBlockOf(qv::File& f) {
  auto* d = dynamic_cast<FoxDriver*>(f.driver());
  return d ? &d->block() : nullptr;
}

std::string sendCommand(qv::File& f, const std::string& text) {
  auto* d = dynamic_cast<FoxDriver*>(f.driver());
  if (!d) return {};
  size_t eq = text.find('=');
  d->option(text.substr(0, eq), eq == std::string::npos ? std::string_view() : std::string_view(text).substr(eq + 1));
  return d->answer();
}

}  // namespace dbf
