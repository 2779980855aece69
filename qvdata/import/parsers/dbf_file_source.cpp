// A reader's table read through its declaration (dictionary/reader_stores.h)
// and the DBF driver, as the store reader's record source.
#include <memory>
#include <string>
#include <variant>

#include <cmath>
#include <cstdio>

#include "dictionary/external_files.h"
#include "services/datetime.h"
#include "import/parsers/dbf_store_reader.h"
#include "storage/errors.h"

namespace qv::dbfstore {

namespace {

File& tableOf(Store store) {
  switch (store) {
    case Store::CisCommForum: return CcoStore;
    case Store::CisCommMail: return CmaStore;
    case Store::NavCis: return HreStore;
    case Store::Oui: return OuiStore;
  }
  return HreStore;
}

// A declared field's value as the table's column holds it: numbers as their
// digits, dates (day numbers) as "YYYYMMDD" (blank when none).
std::string textOf(const FieldDesc& f, const FieldValue& v) {
  if (const std::string* s = std::get_if<std::string>(&v)) return *s;
  if (const int64_t* i = std::get_if<int64_t>(&v)) {
    if (f.type != FieldType::Long) return std::to_string(*i);
    if (*i == 0) return std::string(8, ' ');
    int y = 0, m = 0, d = 0;
    ymdFromDate(int32_t(*i), y, m, d);
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02d%02d", y, m, d);
    return text;
  }
  double d = std::get<double>(v);
  char text[64];
  if (std::fabs(d) < 1e18 && d == std::floor(d))
    std::snprintf(text, sizeof text, "%.0f", d);
  else
    std::snprintf(text, sizeof text, "%.6f", d);
  return text;
}

class FileRecordSource : public RecordSource {
 public:
  explicit FileRecordSource(File& file) : file_(file) {}
  ~FileRecordSource() override { file_.close(); }

  bool open(const std::string& path, std::string& error) {
    file_.close();
    file_.setName(path);
    if (!file_.open(Share::ReadOnly)) {
      error = ErrorText();
      return false;
    }
    count_ = file_.records();
    file_.setFileOrder();
    return true;
  }

  int64_t recordCount() override { return count_; }

  Read next(DbfRow& row) override {
    failedAt_ = 0;
    if (!file_.next()) {
      if (ErrorCode() == ErrNotAvailable) return Read::End;
      // The driver stands on the record it could not read (its memo, say);
      // deleted records before it were passed over and are not bad.
      failedAt_ = file_.position();
      return Read::Error;
    }
    position_ = file_.position();
    const FileDecl& d = file_.decl();
    row.columns.clear();
    for (int i = 0; i < int(d.fields.size()); ++i) row.columns[d.fields[size_t(i)].name] = textOf(d.fields[size_t(i)], getField(d, i));
    return Read::Record;
  }

  int64_t position() override { return position_; }

  void passBad() override {
    position_ = failedAt_ > position_ ? failedAt_ : position_ + 1;
    failedAt_ = 0;
    file_.setFileOrder(position_ + 1);
  }

 private:
  File& file_;
  int64_t count_ = 0;
  int64_t position_ = 0;
  int64_t failedAt_ = 0;  // the record the last read failed on; 0 when not known
};

}  // namespace

std::unique_ptr<RecordSource> openStoreTable(Store store, const std::string& path, std::string& error) {
  auto source = std::make_unique<FileRecordSource>(tableOf(store));
  if (!source->open(path, error)) return nullptr;
  return source;
}

}  // namespace qv::dbfstore
