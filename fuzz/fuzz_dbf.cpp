// Fuzzes the DBF table engine and the driver's reading: the input is a table
// file, opened for reading as the import opens another reader's store, every
// record read and every field shown, the table checked as "qvcli dbf --check"
// does; a table that also opens for writing is appended to and packed. No
// input may crash or read outside the file, every field value fits its
// field, and a record count never exceeds what the file holds.
#include <cstdint>
#include <string>
#include <string_view>

#include "driver/field_map.h"
#include "driver/table_check.h"
#include "fuzz_support.h"
#include "table/table.h"

using namespace qvfuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = tempFile("fuzz_dbf", "T.DBF");
  writeFile(path, std::string_view(reinterpret_cast<const char*>(data), size));
  int handle = 0;
  int st = dbf::tableOpen(path, dbf::DialectFoxPro, dbf::OpenReadOnly, handle);
  if (st >= 0) {
    const dbf::TableInfo& info = *dbf::tableInfo(handle);
    check(int64_t(info.headerLength) + int64_t(info.records) * info.recordLength <= int64_t(size));
    std::string rec;
    for (uint32_t n = 1; n <= info.records; ++n) {
      st = dbf::tableRead(handle, n, rec);
      check(st >= 0);
      check(rec.size() == info.recordLength);
      for (const dbf::FieldDef& f : info.fields) {
        check(f.offset + f.length <= info.recordLength);
        bool memo = false;
        uint32_t block = 0;
        std::string text = dbf::fieldText(info, f, rec.data() + f.offset, memo, block);
        check(text.size() <= 2 * size_t(f.length) + 40);
      }
    }
    dbf::tableClose(handle);
  }
  dbf::checkTable(path);
  // a table the written rules take is also changed
  if (dbf::tableOpen(path, dbf::DialectFoxPro, dbf::OpenReadWrite, handle) >= 0) {
    const dbf::TableInfo& info = *dbf::tableInfo(handle);
    uint32_t recno = 0;
    if (info.records < 1000 && dbf::tableAppend(handle, std::string(info.recordLength, ' '), recno) >= 0)
      check(recno == dbf::tableInfo(handle)->records);
    dbf::tableSetDeleted(handle, 1, true);
    if (info.records < 1000) dbf::tablePack(handle);
    dbf::tableClose(handle);
  }
  return 0;
}
