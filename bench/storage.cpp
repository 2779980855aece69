// bench/storage: the keyed-file layer against raw SQLite on the same work.
//
// For N records (default 1,000,000) of the MsgNmbr layout it measures, for
// the keyed-file layer and for raw SQLite through prepared statements over an
// identical table and indexes:
//   - adds per second inside transactions committed every 400 records,
//   - gets by the primary key per second (random IDs),
//   - a full walk in MSG:Threadkey order, records per second.
// Usage: bench_storage --help
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench_options.h"
#include "dictionary/dictionary.h"
#include "storage/collation.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct Sample {
  uint32_t id, sec, ref, thread, from, to;
  std::string threadAlpha, fromAlpha, toAlpha;
  int32_t date;
};

std::vector<Sample> makeSamples(size_t n) {
  static const char* words[] = {"Printer", "modem", "Windows", "help", "Re: upload", "Library", "forum",
                                "Ärger mit", "question", "Sysop", "Zmodem", "conference", "WinCIM", "files"};
  static const char* names[] = {"Smith", "Jones", "Müller", "Andersson", "Brown", "Nguyen", "Rossi", "Dubois"};
  std::mt19937 rng(42);
  std::vector<Sample> v(n);
  for (size_t i = 0; i < n; ++i) {
    Sample& s = v[i];
    s.id = uint32_t(250000 + i);
    s.sec = 1 + rng() % 20;
    s.thread = 300000 + rng() % (n / 8 + 1);
    s.ref = rng() % 3 ? s.id - 1 : 0;
    s.from = 400000 + rng() % 5000;
    s.to = 400000 + rng() % 5000;
    s.threadAlpha = std::string(words[s.thread % 14]).substr(0, 10);
    s.fromAlpha = names[s.from % 8];
    s.toAlpha = names[s.to % 8];
    s.date = int32_t(70000 + rng() % 9000);
  }
  return v;
}

double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

struct Result {
  double adds, gets, walk;
};

Result benchLayer(const std::string& dir, const std::vector<Sample>& samples, const std::vector<uint32_t>& probes) {
  using namespace qv;
  MsgNmbr.setName(dir + "/IDX003.ADF");
  if (!MsgNmbr.create() || !MsgNmbr.open()) {
    std::fprintf(stderr, "cannot create %s: %s\n", MsgNmbr.name().c_str(), ErrorText().c_str());
    std::exit(1);
  }
  auto t0 = Clock::now();
  size_t i = 0;
  while (i < samples.size()) {
    beginTransaction({&MsgNmbr}, 5);
    for (size_t k = 0; k < 400 && i < samples.size(); ++k, ++i) {
      const Sample& s = samples[i];
      MSG.MSGNUMBER = s.id;
      MSG.SECSYSID = s.sec;
      MSG.REFNUMBER = s.ref;
      MSG.THREADNUMBER = s.thread;
      MSG.THREADALPHA = s.threadAlpha;
      MSG.FROMID = s.from;
      MSG.FROMALPHA = s.fromAlpha;
      MSG.TOID = s.to;
      MSG.TOALPHA = s.toAlpha;
      MSG.DATE = s.date;
      MSG.DUMMY = 0;
      MSG.FG = 0;
      if (!MsgNmbr.add()) {
        std::fprintf(stderr, "add failed: %s\n", ErrorText().c_str());
        std::exit(1);
      }
    }
    if (!commitTransaction()) {
      std::fprintf(stderr, "commit failed: %s\n", ErrorText().c_str());
      std::exit(1);
    }
  }
  auto t1 = Clock::now();
  size_t found = 0;
  for (uint32_t id : probes) {
    MSG.MSGNUMBER = id;
    if (MsgNmbr.get(MSG_IdKey)) ++found;
  }
  auto t2 = Clock::now();
  size_t walked = 0;
  uint64_t check = 0;
  MsgNmbr.set(MSG_Threadkey);
  while (MsgNmbr.next()) {
    ++walked;
    check += MSG.MSGNUMBER;
  }
  auto t3 = Clock::now();
  MsgNmbr.close();
  if (found != probes.size() || walked != samples.size()) {
    std::fprintf(stderr, "layer: found %zu of %zu, walked %zu\n", found, probes.size(), walked);
    std::exit(1);
  }
  return {samples.size() / seconds(t0, t1), probes.size() / seconds(t1, t2), walked / seconds(t2, t3)};
}

void must(int rc, sqlite3* db, const char* what) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
    std::exit(1);
  }
}

Result benchRaw(const std::string& dir, const std::vector<Sample>& samples, const std::vector<uint32_t>& probes) {
  std::string path = dir + "/raw.db";
  fs::remove(path);
  sqlite3* db;
  must(sqlite3_open(path.c_str(), &db), db, "open");
  qv::registerCollations(db);
  must(sqlite3_exec(db,
                    "CREATE TABLE MsgNmbr(qv_pos INTEGER PRIMARY KEY AUTOINCREMENT, MSGNUMBER INTEGER NOT NULL, "
                    "SECSYSID INTEGER NOT NULL, REFNUMBER INTEGER NOT NULL, THREADNUMBER INTEGER NOT NULL, "
                    "THREADALPHA TEXT NOT NULL, FROMID INTEGER NOT NULL, FROMALPHA TEXT NOT NULL, TOID INTEGER NOT NULL, "
                    "TOALPHA TEXT NOT NULL, DATE INTEGER NOT NULL, DUMMY INTEGER NOT NULL, FG INTEGER NOT NULL);"
                    "CREATE UNIQUE INDEX IdKey ON MsgNmbr(MSGNUMBER DESC);"
                    "CREATE INDEX Threadkey ON MsgNmbr(THREADALPHA COLLATE QVNOCASE, THREADNUMBER, MSGNUMBER);"
                    "CREATE INDEX SECkey ON MsgNmbr(SECSYSID, THREADALPHA COLLATE QVNOCASE, THREADNUMBER, MSGNUMBER);"
                    "CREATE INDEX FromKey ON MsgNmbr(FROMALPHA COLLATE QVNOCASE, FROMID, MSGNUMBER DESC);"
                    "CREATE INDEX ToKey ON MsgNmbr(TOALPHA COLLATE QVNOCASE, TOID, MSGNUMBER DESC);"
                    "CREATE INDEX DateKey ON MsgNmbr(DATE DESC, MSGNUMBER DESC);"
                    "CREATE INDEX StatusKey ON MsgNmbr(DUMMY);",
                    nullptr, nullptr, nullptr),
       db, "schema");
  sqlite3_stmt *ins, *get, *walk;
  must(sqlite3_prepare_v2(db,
                          "INSERT INTO MsgNmbr(MSGNUMBER, SECSYSID, REFNUMBER, THREADNUMBER, THREADALPHA, FROMID, "
                          "FROMALPHA, TOID, TOALPHA, DATE, DUMMY, FG) VALUES(?,?,?,?,?,?,?,?,?,?,?,?)",
                          -1, &ins, nullptr),
       db, "prepare insert");
  auto t0 = Clock::now();
  size_t i = 0;
  while (i < samples.size()) {
    sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    for (size_t k = 0; k < 400 && i < samples.size(); ++k, ++i) {
      const Sample& s = samples[i];
      sqlite3_bind_int64(ins, 1, s.id);
      sqlite3_bind_int64(ins, 2, s.sec);
      sqlite3_bind_int64(ins, 3, s.ref);
      sqlite3_bind_int64(ins, 4, s.thread);
      sqlite3_bind_text(ins, 5, s.threadAlpha.c_str(), -1, SQLITE_STATIC);
      sqlite3_bind_int64(ins, 6, s.from);
      sqlite3_bind_text(ins, 7, s.fromAlpha.c_str(), -1, SQLITE_STATIC);
      sqlite3_bind_int64(ins, 8, s.to);
      sqlite3_bind_text(ins, 9, s.toAlpha.c_str(), -1, SQLITE_STATIC);
      sqlite3_bind_int64(ins, 10, s.date);
      sqlite3_bind_int64(ins, 11, 0);
      sqlite3_bind_int64(ins, 12, 0);
      must(sqlite3_step(ins), db, "insert");
      sqlite3_reset(ins);
    }
    must(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
  }
  auto t1 = Clock::now();
  must(sqlite3_prepare_v2(db, "SELECT * FROM MsgNmbr WHERE MSGNUMBER = ?", -1, &get, nullptr), db, "prepare get");
  size_t found = 0;
  for (uint32_t id : probes) {
    sqlite3_bind_int64(get, 1, id);
    if (sqlite3_step(get) == SQLITE_ROW) {
      ++found;
      volatile int64_t x = sqlite3_column_int64(get, 1);
      (void)x;
    }
    sqlite3_reset(get);
  }
  auto t2 = Clock::now();
  must(sqlite3_prepare_v2(db,
                          "SELECT * FROM MsgNmbr ORDER BY THREADALPHA COLLATE QVNOCASE, THREADNUMBER, MSGNUMBER, qv_pos",
                          -1, &walk, nullptr),
       db, "prepare walk");
  size_t walked = 0;
  uint64_t check = 0;
  while (sqlite3_step(walk) == SQLITE_ROW) {
    // Read every column, as the layer does into its record buffer.
    for (int c = 1; c <= 12; ++c) {
      if (c == 5 || c == 7 || c == 9)
        check += sqlite3_column_bytes(walk, c) + (sqlite3_column_text(walk, c) ? 1 : 0);
      else
        check += uint64_t(sqlite3_column_int64(walk, c));
    }
    ++walked;
  }
  auto t3 = Clock::now();
  sqlite3_finalize(ins);
  sqlite3_finalize(get);
  sqlite3_finalize(walk);
  sqlite3_close(db);
  if (found != probes.size() || walked != samples.size()) {
    std::fprintf(stderr, "raw: found %zu, walked %zu\n", found, walked);
    std::exit(1);
  }
  return {samples.size() / seconds(t0, t1), probes.size() / seconds(t1, t2), walked / seconds(t2, t3)};
}

}  // namespace

int main(int argc, char** argv) {
  size_t n = 1000000;
  std::string dir;
  qvbench::Options o("bench_storage",
                     "Times the keyed-file layer against raw SQLite on the same records of the MsgNmbr layout:\n"
                     "adds committed every 400 records, gets by the primary key, a walk in key order.");
  o.value("--records", "N", "records to write (default 1,000,000)", n);
  o.value("--dir", "DIR", "work directory (default: a new one in the temporary directory, removed after)", dir);
  o.flag("--quick", "20,000 records", [&] { n = 20000; });
  if (int rc = o.parse(argc, argv); rc >= 0) return rc;
  if (n == 0) n = 1;
  bool ownDir = dir.empty();
  if (ownDir) {
    std::string tmpl = (fs::temp_directory_path() / "qvbench-XXXXXX").string();
    dir = mkdtemp(tmpl.data());
  }
  std::vector<Sample> samples = makeSamples(n);
  std::vector<uint32_t> probes;
  std::mt19937 rng(7);
  size_t nprobes = std::min<size_t>(n, 200000);
  for (size_t i = 0; i < nprobes; ++i) probes.push_back(samples[rng() % n].id);
  // Shuffle the insertion order so the keys do not arrive sorted.
  std::shuffle(samples.begin(), samples.end(), std::mt19937(3));

  std::printf("bench/storage: %zu records of the MsgNmbr layout in %s\n", n, dir.c_str());
  Result raw = benchRaw(dir, samples, probes);
  Result layer = benchLayer(dir, samples, probes);
  std::printf("%-34s %14s %14s %8s\n", "", "keyed layer", "raw SQLite", "ratio");
  auto row = [](const char* what, double a, double b) { std::printf("%-34s %14.0f %14.0f %8.2f\n", what, a, b, a / b); };
  row("adds/s (commit every 400)", layer.adds, raw.adds);
  row("gets by key/s", layer.gets, raw.gets);
  row("walk in Threadkey order, recs/s", layer.walk, raw.walk);
  if (ownDir) fs::remove_all(dir);
  return 0;
}
