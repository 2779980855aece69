// The tables read by the engine in the form of tests/scripts/dbf_dump.py,
// which reads them with python3-dbfread, and the way to run that script.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "driver/field_map.h"
#include "driver/memo_text.h"
#include "driver/ops.h"
#include "table/table.h"

namespace dbftest {

using namespace dbf;

// An open table read by the engine, closed at the end.
struct Reader {
  int handle = 0;
  int status = 0;
  explicit Reader(const std::string& path) { status = tableOpen(path, DialectFoxPro, OpenReadOnly, handle); }
  ~Reader() {
    if (handle) tableClose(handle);
  }
  const TableInfo& info() const { return *tableInfo(handle); }
  uint32_t count() const { return info().records; }
  // Values of record n (from 1) as readers show them; memo fields by block.
  std::vector<std::string> values(uint32_t n, bool* deleted = nullptr) const {
    std::string rec;
    int st = tableRead(handle, n, rec);
    EXPECT_GE(st, 0) << "record " << n;
    if (deleted) *deleted = st == CondDeleted;
    std::vector<std::string> out;
    for (const FieldDef& f : info().fields) {
      bool memo = false;
      uint32_t block = 0;
      out.push_back(fieldText(info(), f, rec.data() + f.offset, memo, block));
    }
    return out;
  }
  std::string value(uint32_t n, const std::string& field) const {
    const auto& fs = info().fields;
    for (size_t i = 0; i < fs.size(); ++i)
      if (fs[i].name == field) return values(n)[i];
    ADD_FAILURE() << "no field " << field;
    return {};
  }
};

// Escapes a value as the comparison script does: backslash doubled, bytes
// below 0x20 and from 0x7F up as \xHH.
inline std::string escaped(const std::string& s) {
  std::string out;
  char buf[8];
  for (unsigned char c : s) {
    if (c == '\\') out += "\\\\";
    else if (c < 0x20 || c >= 0x7F) {
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else out += char(c);
  }
  return out;
}

// The driver's reading in the script's form.
inline std::string ownDump(const std::string& path) {
  Reader r(path);
  if (r.status < 0) return "OPEN FAILED " + std::to_string(r.status);
  const TableInfo& info = r.info();
  bool vfp = info.version == 0x30 || info.version == 0x31 || info.version == 0x32;
  std::ostringstream out;
  for (const FieldDef& f : info.fields)
    out << "FIELD " << escaped(f.name) << " " << f.type << " " << f.length << " " << int(f.decimals) << "\n";
  std::string live, dead;
  MemoReader memos(path, info);
  for (uint32_t n = 1; n <= r.count(); ++n) {
    bool deleted = false;
    auto v = r.values(n, &deleted);
    // dbfread passes over records whose flag is neither blank nor "*"
    std::string rec;
    tableRead(r.handle, n, rec);
    if (rec[0] != ' ' && rec[0] != '*') continue;
    std::string line = deleted ? "DELETED " : "LIVE ";
    for (size_t i = 0; i < v.size(); ++i) {
      char t = info.fields[i].type;
      bool compared = std::string("CNFDL").find(t) != std::string::npos || (t == 'I' && vfp);
      if (i) line += "\t";
      if (t == 'M' && info.memo == TableMemo::Dbt4) {
        line += "-";  // see the script: dbfread misreads dBASE IV memo lengths
        continue;
      }
      if (t == 'M') {
        std::string text;
        bool raw = false;
        uint32_t block = memoBlockOf(rec, info.fields[i]);
        if (block && memos.read(block, text, raw) < 0) text.clear();
        line += raw ? "-" : escaped(text);
        continue;
      }
      line += compared ? escaped(v[i]) : "-";
    }
    (deleted ? dead : live) += line + "\n";
  }
  out << live << dead;
  return out.str();
}

inline std::string dbfreadPython() {
  for (const char* py : {"/usr/bin/python3", "python3"})
    if (std::system((std::string(py) + " -c 'import dbfread' >/dev/null 2>&1").c_str()) == 0) return py;
  return {};
}

inline std::string run(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

// The script's reading of a table ("SKIP ..." when it does not take it).
inline std::string dbfreadDump(const std::string& python, const std::string& path) {
  return run(python + " " QV_TEST_SCRIPTS "/dbf_dump.py '" + path + "'");
}

}  // namespace dbftest
