// bench_dbf: reading speed of the DBF driver. Generates a FoxPro table with a
// memo per record through the driver, then reads it in record order three
// ways, records per second each: the table engine alone (fields as text),
// the keyed-file layer's File with its memos, and python3-dbfread (when it
// is installed) over the same files.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "bench_options.h"
#include "driver/field_map.h"
#include "driver/file_block.h"
#include "services/fox_driver_host.h"
#include "services/datetime.h"
#include "storage/file.h"
#include "table/table.h"

namespace {

struct Rec {
  qv::Str<20> NAME;
  double AMOUNT = 0;
  int32_t SENT = 0;  // day number
  std::string TEXT;
};

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void report(const char* what, int64_t records, double secs) {
  std::printf("%-34s %10lld records %8.2f s %12.0f records/s\n", what, static_cast<long long>(records), secs,
              secs > 0 ? double(records) / secs : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
  int64_t records = 1000000;
  std::string dir;
  bool keep = false;
  qvbench::Options o("bench_dbf", "Records per second reading a generated DBF table with memos: the engine, the "
                                  "driver through the keyed-file layer, and python3-dbfread.");
  o.value("--records", "N", "records to generate (default 1,000,000)", records);
  o.value("--dir", "DIR", "directory for the table (default: a new one under the temporary directory)", dir);
  o.flag("--keep", "leave the table behind", keep);
  if (int rc = o.parse(argc, argv); rc >= 0) return rc;

  namespace fs = std::filesystem;
  if (dir.empty()) {
    dir = (fs::temp_directory_path() / ("bench_dbf_" + std::to_string(::getpid()))).string();
    fs::create_directories(dir);
  }
  const std::string path = dir + "/BENCH.DBF";
  qv::registerFoxProDriver();
  Rec rec;
  qv::FileDecl decl{0, "Bench", "BEN", "FoxPro"};
  qv::DeclBuilder<Rec>(decl, rec)
      .field("NAME", &Rec::NAME)
      .field("AMOUNT", &Rec::AMOUNT)
      .external("AMOUNT=N(12,2)")
      .field("SENT", &Rec::SENT)
      .memo("TEXT", &Rec::TEXT, 65280);
  decl.driverString = "BUFFERS=64";
  qv::File file(decl);
  file.setName(path);

  auto start = std::chrono::steady_clock::now();
  if (!file.create() || !file.open(qv::Share::Exclusive)) {
    std::fprintf(stderr, "bench_dbf: %s\n", qv::ErrorText().c_str());
    return 1;
  }
  for (int64_t i = 0; i < records; ++i) {
    rec.NAME = "Person " + std::to_string(i);
    rec.AMOUNT = double(i % 100000) / 4;
    rec.SENT = qv::dateFromYMD(1995 + int(i % 20), 1 + int(i % 12), 1 + int(i % 28));
    rec.TEXT = "Message " + std::to_string(i) + " with a text of a few lines.\r\nSecond line.\r\n";
    if (!file.append()) {
      std::fprintf(stderr, "bench_dbf: %s\n", qv::ErrorText().c_str());
      return 1;
    }
  }
  file.close();
  report("generated through the driver", records, seconds(start));

  // the engine: every field of every record as text
  start = std::chrono::steady_clock::now();
  int handle = 0;
  if (dbf::tableOpen(path, dbf::DialectFoxPro, dbf::OpenReadOnly, handle) < 0) return 1;
  const dbf::TableInfo& info = *dbf::tableInfo(handle);
  std::string r;
  size_t bytes = 0;
  for (uint32_t n = 1; n <= info.records; ++n) {
    dbf::tableRead(handle, n, r);
    for (const dbf::FieldDef& f : info.fields) {
      bool memo = false;
      uint32_t block = 0;
      bytes += dbf::fieldText(info, f, r.data() + f.offset, memo, block).size();
    }
  }
  int64_t read = info.records;
  dbf::tableClose(handle);
  report("engine, fields as text", read, seconds(start));

  // the keyed-file layer: fields converted and memos loaded
  start = std::chrono::steady_clock::now();
  if (!file.open(qv::Share::ReadOnly)) return 1;
  file.setFileOrder();
  read = 0;
  while (file.next()) {
    ++read;
    bytes += rec.TEXT.size();
  }
  file.close();
  report("driver File::next with memos", read, seconds(start));

  // python3-dbfread over the same files
  for (const char* py : {"/usr/bin/python3", "python3"}) {
    std::string probe = std::string(py) + " -c 'import dbfread' >/dev/null 2>&1";
    if (std::system(probe.c_str()) != 0) continue;
    std::string command = std::string(py) +
                          " -c 'import sys; from dbfread import DBF\n"
                          "n = sum(1 for r in DBF(sys.argv[1], encoding=\"latin-1\"))\nprint(n)' '" +
                          path + "' >/dev/null";
    start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) == 0) report("python3-dbfread with memos", records, seconds(start));
    break;
  }
  std::printf("(%zu bytes of field text read)\n", bytes);
  if (!keep) fs::remove_all(dir);
  return 0;
}
