// DBF index speed: building a compound index tag over generated records and
// reading records by key at random, in records per second.
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "bench_options.h"
#include "index/index_rebuild.h"
#include "table/engine_status.h"

namespace {

// Record n of the generated table: a 20-character name, an amount and a
// date, derived from n alone.
class GeneratedRecord : public dbf::RecordAccess {
 public:
  void load(uint32_t n) {
    number_ = n;
    uint64_t h = (n + 0x9E3779B97F4A7C15ull) * 0xBF58476D1CE4E5B9ull;
    h ^= h >> 31;
    std::snprintf(name_, sizeof name_, "NAME%016llu", static_cast<unsigned long long>(h % 10000000000000000ull));
    std::snprintf(amount_, sizeof amount_, "%10.2f", static_cast<double>(h % 2000000) / 100.0 - 10000.0);
    std::snprintf(date_, sizeof date_, "%04u%02u%02u", 1900 + static_cast<unsigned>(h % 120),
                  1 + static_cast<unsigned>(h / 7 % 12), 1 + static_cast<unsigned>(h / 13 % 28));
  }
  bool field(std::string_view name, dbf::FieldView& out) const override {
    if (name == "NAME") out = dbf::FieldView{'C', 20, 0, std::string_view(name_, 20)};
    else if (name == "AMOUNT") out = dbf::FieldView{'N', 10, 2, std::string_view(amount_, 10)};
    else if (name == "BORN") out = dbf::FieldView{'D', 8, 0, std::string_view(date_, 8)};
    else return false;
    return true;
  }
  uint32_t recordNumber() const override { return number_; }
  bool deleted() const override { return false; }

 private:
  uint32_t number_ = 0;
  char name_[24] = {};
  char amount_[24] = {};
  char date_[16] = {};
};

class GeneratedTable : public dbf::RecordSource {
 public:
  explicit GeneratedTable(uint32_t n) : n_(n) {}
  uint32_t count() const override { return n_; }
  int read(uint32_t number, const dbf::RecordAccess*& out) override {
    record_.load(number);
    out = &record_;
    return dbf::StatusOk;
  }

 private:
  uint32_t n_;
  GeneratedRecord record_;
};

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
  uint32_t records = 1000000;
  uint32_t reads = 100000;
  std::string dir;
  qvbench::Options o("bench_dbf_index",
                     "Builds compound index tags (C, N and D keys) over generated records and reads by key at random.");
  o.value("--records", "N", "records in the generated table (default 1,000,000)", records);
  o.value("--reads", "N", "random reads by key (default 100,000)", reads);
  o.value("--dir", "DIR", "folder for the index file (default: a new temporary folder)", dir);
  if (int rc = o.parse(argc, argv); rc >= 0) return rc;

  std::string made;
  if (dir.empty()) {
    char tmpl[] = "/tmp/bench_dbf_index_XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    dir = made = tmpl;
  }
  GeneratedTable table(records);
  dbf::CompoundIndex cdx;
  if (int st = cdx.create(dir + "/BENCH.CDX", {}); st) {
    std::fprintf(stderr, "cannot create the index: %s\n", dbf::statusText(st));
    return 1;
  }
  struct Tag { const char* name; char type; const char* expression; };
  GeneratedRecord sample;
  sample.load(1);
  std::printf("records: %u\n", records);
  dbf::IndexTree nameTag;
  dbf::KeyDefinition nameDef;
  for (const Tag& t : {Tag{"NAME", 'C', "NAME"}, Tag{"AMOUNT", 'N', "AMOUNT"}, Tag{"BORN", 'D', "BORN"}}) {
    dbf::KeyDefinition def;
    if (dbf::defineKey(t.type, t.expression, "", 0, sample, def)) return 1;
    dbf::TreeHeader h;
    h.keyLength = def.length;
    h.keyExpression = t.expression;
    dbf::IndexTree tag;
    if (cdx.createTag(t.name, h, def.type, tag)) return 1;
    auto start = std::chrono::steady_clock::now();
    if (int st = dbf::rebuildTree(tag, def, table, dir); st) {
      std::fprintf(stderr, "building %s failed: %s\n", t.name, dbf::statusText(st));
      return 1;
    }
    if (cdx.flush()) return 1;
    double s = seconds(start);
    std::printf("build tag %-6s (%c key of %2d bytes): %8.2f s, %10.0f records/s\n", t.name, t.type, def.length, s,
                records / s);
    if (t.type == 'C') {
      nameTag = tag;
      nameDef = std::move(def);
    }
  }
  std::printf("index file: %llu bytes\n", static_cast<unsigned long long>(std::filesystem::file_size(dir + "/BENCH.CDX")));

  std::mt19937 rng(1);
  std::uniform_int_distribution<uint32_t> pick(1, records);
  uint32_t misses = 0;
  auto start = std::chrono::steady_clock::now();
  for (uint32_t i = 0; i < reads; ++i) {
    const dbf::RecordAccess* r = nullptr;
    uint32_t n = pick(rng);
    table.read(n, r);
    std::string key;
    bool in = false;
    dbf::buildKey(nameDef, *r, key, in);
    bool found = false;
    if (nameTag.find(key, dbf::FindMode::Exact, n, found) || !found) ++misses;
  }
  double s = seconds(start);
  std::printf("random reads by key: %u in %.2f s, %.0f reads/s%s\n", reads, s, reads / s,
              misses ? " (some keys not found!)" : "");
  cdx.close();
  if (!made.empty()) std::filesystem::remove_all(made);
  return misses ? 1 : 0;
}
