#include "support/reader_stores.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "services/datetime.h"
#include "storage/errors.h"
#include "storage/record.h"
#include "support/raw_dbf.h"

namespace qvtest {

namespace {

// The numeric columns' widths as the readers write them (all without decimals).
int numericWidth(const std::string& column) {
  static const std::map<std::string, int> widths = {
      {"INTERNAL", 8}, {"SEC_NUMBER", 3}, {"FROMNET", 2}, {"MSG_NUMBER", 8}, {"MSG_PARENT", 8},
      {"SESSION", 8},  {"GROUP_CNT", 4},  {"INSTANCE", 4}, {"REPLY_NUM", 4}};
  auto it = widths.find(column);
  return it == widths.end() ? 10 : it->second;
}

// The logical flags the declarations of the CISCOMM tables add at their end.
bool logicalFlag(const std::string& column) {
  return column == "MSG_ISFROM" || column == "MSG_ISTO" || column == "MSG_TAGGED" || column == "MSG_MARKED" ||
         column == "MSG_UNREAD" || column == "MSG_ISROOT";
}

void setColumn(const qv::FileDecl& d, int field, const std::string& text) {
  switch (d.fields[size_t(field)].type) {
    case qv::FieldType::String:
    case qv::FieldType::Memo: qv::setField(d, field, 0, text); break;
    case qv::FieldType::Real: qv::setField(d, field, 0, std::strtod(text.c_str(), nullptr)); break;
    case qv::FieldType::Byte: qv::setField(d, field, 0, int64_t(text.empty() ? 0 : uint8_t(text[0]))); break;
    case qv::FieldType::Long:
    case qv::FieldType::ULong: {
      int y = 0, m = 0, day = 0;
      int64_t v = std::sscanf(text.c_str(), "%4d%2d%2d", &y, &m, &day) == 3 ? qv::dateFromYMD(y, m, day) : 0;
      qv::setField(d, field, 0, v);
      break;
    }
  }
}

uint32_t le(const std::string& b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | uint8_t(b[at + size_t(i)]);
  return v;
}

// Points the first memo field of record n (1-based) at a block far past the
// memo file's end.
void breakMemo(const std::string& path, const qv::FileDecl& d, uint32_t n) {
  RawDbf raw;
  raw.load(path);
  const RawDbfField* memo = nullptr;
  for (const qv::FieldDesc& fd : d.fields)
    if (!memo && fd.type == qv::FieldType::Memo) memo = raw.field(fd.name);
  if (!memo) return;
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  std::string head(32, '\0');
  f.read(head.data(), 32);
  uint32_t headerLength = le(head, 8, 2), recordLength = le(head, 10, 2);
  f.seekp(std::streamoff(headerLength) + std::streamoff(n - 1) * recordLength + memo->offset);
  f.write("  99999999", 10);
}

}  // namespace

bool writeStoreTable(qv::File& store, const std::string& path, const std::vector<StoreRecord>& records,
                     size_t columns) {
  qv::FileDecl decl = store.decl();
  decl.number = 0;
  if (columns > 0 && columns < decl.fields.size()) decl.fields.resize(columns);
  for (qv::FieldDesc& f : decl.fields) {
    if (f.type == qv::FieldType::Real) f.external = f.name + "=N(" + std::to_string(numericWidth(f.name)) + ",0)";
    else if (logicalFlag(f.name)) f.external = f.name + "=L";
    else f.external = f.name;
  }
  qv::File table(decl);
  table.setName(path);
  if (!table.create() || !table.open(qv::Share::Exclusive)) return false;
  for (const StoreRecord& r : records) {
    qv::clearRecord(decl);
    for (const auto& [name, text] : r.columns) {
      int field = decl.fieldIndex(name);
      if (field >= 0) setColumn(decl, field, text);
    }
    if (!table.add()) return false;
  }
  for (size_t i = 0; i < records.size(); ++i)
    if (records[i].deleted && !(table.getPosition(int64_t(i + 1)) && table.remove())) return false;
  table.close();
  for (size_t i = 0; i < records.size(); ++i)
    if (records[i].memoGone) breakMemo(path, decl, uint32_t(i + 1));
  return true;
}

}  // namespace qvtest
