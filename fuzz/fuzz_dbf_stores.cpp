// Fuzzes the conversions of the DBF-based reader stores (CISCOMM, NavCIS,
// OUI) and the reading of their tables. The first input byte chooses the
// store and the import settings; the rest is a table: records separated by
// 0x1D, column values by 0x1E in the order the store's table declares its
// columns; a record that begins with 0x1F cannot be read. Besides crashes and
// sanitizer reports, every record written must keep the promises of all
// temporary records, and a table is finished within as many calls as it has
// records.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "import/parsers/dbf_store_reader.h"

namespace {

using namespace qvfuzz;
using qv::dbfstore::DbfRow;
using qv::dbfstore::RecordSource;
using qv::dbfstore::Store;

const std::vector<std::string> kCisCommColumns = {"MSG_NUMBER", "MSG_DATE",   "MSG_TIME",   "MSG_SUBJEC",
                                                  "MSG_SENDER", "MSG_SENDID", "MSG_RECVR",  "MSG_RECVID",
                                                  "MSG_PARENT", "MSG_SECTNO", "MSG_SECT",   "MSG_TEXT"};
const std::vector<std::string> kNavCisColumns = {
    "INTERNAL", "FORUM_NAME", "SEC_NUMBER", "SEC_NAME",  "SUBJECT",  "SEND_ID",  "SEND_NAME", "RECV_ID",
    "RECV_NAME", "MSG_NUMBER", "MSG_PARENT", "KEEP",     "IS_DELETE", "MSG_DATE", "MSG_TIME", "MSG_TEXT"};
const std::vector<std::string> kOuiColumns = {"MSG_EXTRA", "MSG_BODY"};

class StoreContext : public FuzzContext {
 public:
  using FuzzContext::FuzzContext;
  bool emit() override {
    checkRecord(qv::NHR);
    check(!creationOnly());
    if (qv::NHR.MAILTYPE != qv::DirectionUndecided) lastMail_ = qv::NHR.MSGNUMBER;
    return true;
  }
};

class InputSource : public RecordSource {
 public:
  InputSource(std::vector<std::string_view> records, const std::vector<std::string>& columns)
      : records_(std::move(records)), columns_(columns) {}
  int64_t recordCount() override { return int64_t(records_.size()); }
  Read next(DbfRow& row) override {
    if (position_ >= recordCount()) return Read::End;
    std::string_view r = records_[size_t(position_)];
    if (!r.empty() && r[0] == '\x1F') return Read::Error;
    ++position_;
    row.columns.clear();
    for (size_t c = 0; c < columns_.size() && !r.empty(); ++c) {
      size_t end = r.find('\x1E');
      row.columns[columns_[c]] = std::string(r.substr(0, end));
      r = end == std::string_view::npos ? std::string_view() : r.substr(end + 1);
    }
    return Read::Record;
  }
  int64_t position() override { return position_; }
  void passBad() override { ++position_; }

 private:
  std::vector<std::string_view> records_;
  const std::vector<std::string>& columns_;
  int64_t position_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const unsigned choice = data[0];
  static const char* kFormats[] = {"CISCOMM", "CISCOMM", "NavCIS 1.7x-", "OUI"};
  const Store stores[] = {Store::CisCommForum, Store::CisCommMail, Store::NavCis, Store::Oui};
  const std::vector<std::string>* columns[] = {&kCisCommColumns, &kCisCommColumns, &kNavCisColumns, &kOuiColumns};
  const unsigned which = choice % 4;
  const qv::FormatInfo* f = qv::formatByName(kFormats[which]);
  check(f != nullptr);

  StoreContext ctx(*f, "MESSAGE.DBF");
  ctx.slice_ = 3;
  ctx.copies_ = true;  // OUI mail may have further recipients
  ctx.settings_.importForum = (choice & 0x10) == 0;
  ctx.settings_.importMail = (choice & 0x20) == 0;
  ctx.settings_.importNews = (choice & 0x40) == 0;
  ctx.imported_ = (choice & 0x80) != 0;

  std::string_view table(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::vector<std::string_view> records;
  while (!table.empty()) {
    size_t end = table.find('\x1D');
    records.push_back(table.substr(0, end));
    table = end == std::string_view::npos ? std::string_view() : table.substr(end + 1);
  }
  const size_t count = records.size();
  qv::dbfstore::StoreReader reader(stores[which], std::make_unique<InputSource>(std::move(records), *columns[which]));
  bool failed = false;
  size_t calls = 0;
  while (!reader.convert(ctx, ctx.slice_, failed)) check(++calls <= count + 1);
  check(!failed);
  check(reader.badRecords() <= qv::dbfstore::kBadRecordLimit);
  return 0;
}
