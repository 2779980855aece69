// Tags of a DBF table's compound index, records in a tag's order, and the
// check of the index against the records.
#include "cmd_dbf_tags.h"

#include <memory>

#include "commands.h"
#include "driver/dbf_record.h"
#include "index/index_check.h"
#include "table/engine_status.h"
#include "table/table.h"

namespace qvcli {
namespace {

class TableRecords : public dbf::RecordSource {
 public:
  explicit TableRecords(int handle) : handle_(handle), info_(*dbf::tableInfo(handle)) {}
  uint32_t count() const override { return info_.records; }
  int read(uint32_t n, const dbf::RecordAccess*& out) override {
    int st = dbf::tableRead(handle_, n, image_);
    if (st < 0) return st;
    record_ = std::make_unique<dbf::DbfRecord>(info_.fields, image_, n);
    out = record_.get();
    return dbf::StatusOk;
  }

 private:
  int handle_;
  const dbf::TableInfo& info_;
  std::string image_;
  std::unique_ptr<dbf::DbfRecord> record_;
};

}  // namespace

int showDbfTags(const std::string& tablePath) {
  std::string cdx = dbf::structuralIndexPath(tablePath);
  if (cdx.empty()) {
    say("%s: no compound index\n", tablePath.c_str());
    return 0;
  }
  std::vector<dbf::TagReport> tags;
  if (int st = dbf::describeIndexFile(cdx, tags); st) return fail(cdx + ": " + dbf::statusText(st));
  say("Index: %s\n", cdx.c_str());
  say("Tags: %zu\n", tags.size());
  for (const dbf::TagReport& t : tags) {
    say("  %-10s keys %llu, key length %d%s%s\n", t.name.c_str(), static_cast<unsigned long long>(t.keys),
        t.keyLength, t.unique ? ", unique" : "", t.descending ? ", descending" : "");
    say("    key: ");
    sayText(t.keyExpression);
    say("\n");
    if (!t.forExpression.empty()) {
      say("    for: ");
      sayText(t.forExpression);
      say("\n");
    }
  }
  return 0;
}

bool dbfTagOrder(const std::string& tablePath, const std::string& tag, std::vector<uint32_t>& order) {
  std::string cdx = dbf::structuralIndexPath(tablePath);
  if (cdx.empty()) {
    fail(tablePath + ": no compound index");
    return false;
  }
  if (int st = dbf::tagRecordOrder(cdx, tag, order); st) {
    fail(cdx + " tag " + tag + ": " + dbf::statusText(st));
    return false;
  }
  return true;
}

int checkDbfIndexes(const std::string& tablePath, int handle) {
  std::string cdx = dbf::structuralIndexPath(tablePath);
  if (cdx.empty() || !handle) return 0;
  TableRecords records(handle);
  std::vector<std::string> faults, notes;
  if (int st = dbf::checkIndexFile(cdx, records, faults, notes); st) {
    sayError("%s: %s\n", cdx.c_str(), dbf::statusText(st));
    return 1;
  }
  for (const std::string& n : notes) say("%s: %s\n", tablePath.c_str(), n.c_str());
  for (const std::string& f : faults) sayError("%s: %s\n", tablePath.c_str(), f.c_str());
  return static_cast<int>(faults.size());
}

}  // namespace qvcli
