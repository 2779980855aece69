// qvcli dbf FILE [--fields] [--tags] [--records [--deleted] [--tag NAME]]
// [--check]: a DBF table as the driver reads it. Without options the header
// and the fields are shown.
#include <cstdio>

#include "cmd_dbf_tags.h"
#include "commands.h"
#include "driver/field_map.h"
#include "driver/memo_text.h"
#include "driver/table_check.h"
#include "table/table.h"

namespace qvcli {

namespace {

const char* memoName(dbf::TableMemo m) {
  switch (m) {
    case dbf::TableMemo::Fpt: return "FPT";
    case dbf::TableMemo::Dbt3: return "DBT (dBASE III)";
    case dbf::TableMemo::Dbt4: return "DBT (dBASE IV)";
    default: return "none";
  }
}

void showHeader(const dbf::TableInfo& info) {
  say("Version: 0x%02X\n", info.version);
  say("Last update: %04d-%02d-%02d\n", info.year, info.month, info.day);
  say("Records: %u\n", info.records);
  say("Header length: %u\n", info.headerLength);
  say("Record length: %u\n", info.recordLength);
  say("Table flags: 0x%02X\n", info.tableFlags);
  say("Code page mark: 0x%02X\n", info.codePage);
  say("Memo file: %s\n", memoName(info.memo));
}

void showFields(const dbf::TableInfo& info) {
  say("Fields: %zu\n", info.fields.size());
  for (const dbf::FieldDef& f : info.fields)
    say("  %-11s %c %5u %3u\n", f.name.c_str(), f.type, f.length, unsigned(f.decimals));
}

int showRecords(int handle, const std::string& path, bool withDeleted, const std::vector<uint32_t>* order) {
  const dbf::TableInfo& info = *dbf::tableInfo(handle);
  dbf::MemoReader memos(path, info);
  std::string rec;
  std::size_t count = order ? order->size() : info.records;
  for (std::size_t i = 0; i < count; ++i) {
    uint32_t n = order ? (*order)[i] : static_cast<uint32_t>(i + 1);
    int st = dbf::tableRead(handle, n, rec);
    if (st < 0) return fail("record " + std::to_string(n) + ": " + dbf::statusText(st));
    bool deleted = st == dbf::CondDeleted;
    if (deleted && !withDeleted) continue;
    say("Record %u%s\n", n, deleted ? " (deleted)" : "");
    for (const dbf::FieldDef& f : info.fields) {
      bool isMemo = false;
      uint32_t block = 0;
      std::string text = dbf::fieldText(info, f, rec.data() + f.offset, isMemo, block);
      if (isMemo && block) text = memos.text(f, block);
      say("  %-11s ", f.name.c_str());
      sayText(text);
      say("\n");
    }
  }
  return 0;
}

}  // namespace

int cmdDbf(const Args& argsIn) {
  Args args = argsIn;
  bool fields = takeFlag(args, "--fields");
  bool records = takeFlag(args, "--records");
  bool deleted = takeFlag(args, "--deleted");
  bool check = takeFlag(args, "--check");
  bool tags = takeFlag(args, "--tags");
  std::string tag;
  bool byTag = takeOption(args, "--tag", tag);
  if (args.size() != 1 || ((deleted || byTag) && !records))
    return fail("usage: dbf FILE [--fields] [--tags] [--records [--deleted] [--tag NAME]] [--check]");
  const std::string& path = args[0];
  int handle = 0;
  int st = dbf::tableOpen(path, dbf::DialectFoxPro, dbf::OpenReadOnly, handle);
  if (st < 0) {
    if (!check) return fail(path + ": " + dbf::statusText(st));
  }
  int rc = 0;
  if (handle) {
    const dbf::TableInfo& info = *dbf::tableInfo(handle);
    if (!fields && !records && !check && !tags) showHeader(info);
    if (fields || (!records && !check && !tags)) showFields(info);
    if (tags) rc = showDbfTags(path);
    std::vector<uint32_t> order;
    if (records && byTag && !dbfTagOrder(path, tag, order)) rc = 1;
    else if (records) rc = showRecords(handle, path, deleted, byTag ? &order : nullptr);
  }
  int indexFaults = check && handle ? checkDbfIndexes(path, handle) : 0;
  if (handle) dbf::tableClose(handle);
  if (check) {
    dbf::TableCheck result = dbf::checkTable(path);
    for (const std::string& note : result.notes) say("%s: read beyond the written rules: %s\n", path.c_str(), note.c_str());
    for (const std::string& fault : result.faults) sayError("%s: %s\n", path.c_str(), fault.c_str());
    std::size_t total = result.faults.size() + static_cast<std::size_t>(indexFaults);
    if (total) {
      sayError("%s: %zu fault%s found\n", path.c_str(), total, total == 1 ? "" : "s");
      return 1;
    }
    say("%s: no fault found\n", path.c_str());
  }
  return rc;
}

}  // namespace qvcli
