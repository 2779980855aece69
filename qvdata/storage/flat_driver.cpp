// The flat-file driver: any file read or written as raw blocks of bytes, at
// most the record field's width (10000 bytes as the system uses it) at a time.
#include <cerrno>
#include <cstring>

#include "storage/text_file.h"

namespace qv {

namespace {

class FlatDriver : public Driver {
 public:
  explicit FlatDriver(File& f) : Driver(f) {}

  bool open(Share share, const std::string&) override {
    if (!pf_.open(file_.name(), share != Share::ReadOnly)) return false;
    pos_ = 0;
    return true;
  }
  void close() override { pf_.close(); }
  bool create() override {
    if (!pf_.create(file_.name())) return false;
    pf_.close();
    return true;
  }
  int64_t records() override {
    int64_t width = blockWidth();
    clearError();
    return (pf_.size() + width - 1) / width;
  }
  bool empty() override {
    if (!pf_.truncate()) return false;
    pos_ = 0;
    clearError();
    return true;
  }
  void setStart(int) override {
    pos_ = 0;
    clearError();
  }
  void setPosition(int, int64_t pos) override {
    pos_ = pos;
    clearError();
  }
  bool next() override { return read(pos_, blockWidth()); }
  bool getPosition(int64_t pos) override { return read(pos, blockWidth()); }
  bool getBlock(int64_t pos, int64_t length) override { return read(pos, length); }
  bool add() override { return addBlock(blockWidth()); }
  bool addBlock(int64_t length) override {
    if (length < 0 || length > blockWidth()) {
      setError(ErrOther, file_.name(), "block length out of range");
      return false;
    }
    std::FILE* f = pf_.handle();
    std::fseek(f, 0, SEEK_END);
    if (std::fwrite(block(), 1, size_t(length), f) != size_t(length) || std::fflush(f) != 0) {
      setErrnoError(errno, file_.name());
      return false;
    }
    clearError();
    return true;
  }
  int64_t position() override { return curPos_; }
  int64_t bytes() override { return bytes_; }

 private:
  int64_t blockWidth() const { return file_.decl().fields[0].size; }
  char* block() { return static_cast<char*>(file_.decl().buffer) + file_.decl().fields[0].offset; }
  bool read(int64_t pos, int64_t length) {
    if (pos < 0 || length <= 0) {
      setError(ErrNotAvailable, file_.name());
      return false;
    }
    if (length > blockWidth()) length = blockWidth();
    std::FILE* f = pf_.handle();
    if (std::fseek(f, pos, SEEK_SET) != 0) {
      setError(ErrNotAvailable, file_.name());
      return false;
    }
    size_t n = std::fread(block(), 1, size_t(length), f);
    if (n == 0) {
      bytes_ = 0;
      setError(ErrNotAvailable, file_.name());
      return false;
    }
    std::memset(block() + n, ' ', size_t(blockWidth()) - n);
    curPos_ = pos;
    bytes_ = int64_t(n);
    pos_ = pos + int64_t(n);
    clearError();
    return true;
  }
  PlainFile pf_;
  int64_t pos_ = 0;
  int64_t curPos_ = 0;
  int64_t bytes_ = 0;
};

}  // namespace

std::unique_ptr<Driver> makeFlatDriver(File& f) { return std::make_unique<FlatDriver>(f); }

}  // namespace qv
