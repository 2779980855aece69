// The line driver: a text file read and written one line per record. A line
// ends with CR LF (a lone LF ends one too, and its CR is not part of the
// line); a line longer than the record's field is returned in pieces of the
// field's width. Added records are written with CR LF.
#include <cerrno>
#include <cstring>

#include "storage/text_file.h"

namespace qv {

namespace {

class LineDriver : public Driver {
 public:
  explicit LineDriver(File& f) : Driver(f) {}

  bool open(Share share, const std::string&) override {
    if (!pf_.open(file_.name(), share != Share::ReadOnly)) return false;
    pos_ = 0;
    curPos_ = -1;
    return true;
  }
  void close() override { pf_.close(); }
  bool create() override {
    if (!pf_.create(file_.name())) return false;
    pf_.close();
    return true;
  }
  int64_t records() override {
    // Counting lines means reading the file once.
    std::FILE* f = pf_.handle();
    long saved = std::ftell(f);
    std::rewind(f);
    int64_t n = 0;
    int last = '\n';
    for (int c; (c = std::getc(f)) != EOF; last = c)
      if (c == '\n') ++n;
    if (last != '\n') ++n;
    std::fseek(f, saved, SEEK_SET);
    clearError();
    return n;
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
  bool next() override {
    std::FILE* f = pf_.handle();
    if (std::fseek(f, pos_, SEEK_SET) != 0) {
      setError(ErrNotAvailable, file_.name());
      return false;
    }
    std::string& line = buffer();
    line.clear();
    size_t max = file_.decl().fields[0].size;
    int c;
    int64_t consumed = 0;
    bool any = false;
    while ((c = std::getc(f)) != EOF) {
      any = true;
      ++consumed;
      if (c == '\n') break;
      line.push_back(static_cast<char>(c));
      if (line.size() >= max + 1) {  // one byte more than fits: give back and stop
        line.pop_back();
        --consumed;
        break;
      }
    }
    if (!any) {
      setError(ErrNotAvailable, file_.name());
      return false;
    }
    if (!line.empty() && line.back() == '\r' && c == '\n') line.pop_back();
    curPos_ = pos_;
    bytes_ = consumed;
    pos_ += consumed;
    clearError();
    return true;
  }
  bool getPosition(int64_t pos) override {
    pos_ = pos;
    return next();
  }
  bool add() override {
    std::FILE* f = pf_.handle();
    std::fseek(f, 0, SEEK_END);
    const std::string& line = buffer();
    if (std::fwrite(line.data(), 1, line.size(), f) != line.size() || std::fwrite("\r\n", 1, 2, f) != 2 ||
        std::fflush(f) != 0) {
      setErrnoError(errno, file_.name());
      return false;
    }
    clearError();
    return true;
  }
  int64_t position() override { return curPos_; }
  int64_t bytes() override { return bytes_; }

 private:
  std::string& buffer() {
    const FieldDesc& fd = file_.decl().fields[0];
    return *reinterpret_cast<std::string*>(static_cast<char*>(file_.decl().buffer) + fd.offset);
  }
  PlainFile pf_;
  int64_t pos_ = 0;
  int64_t curPos_ = -1;
  int64_t bytes_ = 0;
};

}  // namespace

std::unique_ptr<Driver> makeLineDriver(File& f) { return std::make_unique<LineDriver>(f); }

}  // namespace qv
