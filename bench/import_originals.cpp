// bench_import --mode originals: what keeping originals costs.
//
// 1. Packing: every message of the generated mbox (and of the mbox files of
//    the sample corpus, when --corpus names it) packed one by one with zlib
//    and zstd at several levels: the packed size against the bytes, and the
//    speed of packing and unpacking.
// 2. Import: the same mbox imported with qvcli into a mailbox that keeps
//    originals and into one that does not, alternately, --rounds times each;
//    the best time of each, the cost in percent, and the size of the
//    Originals file against the mbox.

#include <zdict.h>
#include <zstd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench_run.h"
#include "corpus_gen.h"
#include "import_modes.h"
#include "originals/original_packing.h"

namespace fs = std::filesystem;

namespace qvbench {

namespace {

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The messages of an mbox: what stands between its "From " lines.
void splitMbox(const std::string& bytes, std::vector<std::string>& out) {
  size_t start = std::string::npos, pos = 0;
  while (pos < bytes.size()) {
    size_t eol = bytes.find('\n', pos);
    size_t next = eol == std::string::npos ? bytes.size() : eol + 1;
    if (bytes.compare(pos, 5, "From ") == 0) {
      if (start != std::string::npos) out.push_back(bytes.substr(start, pos - start));
      start = next;
    }
    pos = next;
  }
  if (start != std::string::npos && start < bytes.size()) out.push_back(bytes.substr(start));
}

struct Packer {
  const char* name;
  int packing;
  int level;
};

// zstd with a dictionary trained on the first messages (as a database could
// train one on its first import): what one message at a time would take
// then. Measured only; the store packs without a dictionary.
void measureDictionary(const std::vector<std::string>& messages, size_t samples, int level) {
  samples = std::min(samples, messages.size() / 2);
  if (samples < 10) return;
  std::string joined;
  std::vector<size_t> sizes;
  for (size_t i = 0; i < samples; ++i) {
    joined += messages[i];
    sizes.push_back(messages[i].size());
  }
  std::string dict(112640, '\0');
  size_t n = ZDICT_trainFromBuffer(dict.data(), dict.size(), joined.data(), sizes.data(), unsigned(sizes.size()));
  if (ZDICT_isError(n)) {
    std::printf("zstd %d + dictionary: training failed (%s)\n", level, ZDICT_getErrorName(n));
    return;
  }
  dict.resize(n);
  ZSTD_CDict* cdict = ZSTD_createCDict(dict.data(), dict.size(), level);
  ZSTD_CCtx* cctx = ZSTD_createCCtx();
  uint64_t bytes = 0, packed = 0;
  std::string out;
  auto t0 = Clock::now();
  for (size_t i = samples; i < messages.size(); ++i) {
    out.resize(ZSTD_compressBound(messages[i].size()));
    size_t r = ZSTD_compress_usingCDict(cctx, out.data(), out.size(), messages[i].data(), messages[i].size(), cdict);
    bytes += messages[i].size();
    packed += ZSTD_isError(r) ? messages[i].size() : std::min(r, messages[i].size());
  }
  double seconds = since(t0);
  std::printf("%-10s %12.2f %8.3f %12.0f   (dictionary of %zu KB from the first %zu messages; the rest packed)\n",
              ("zstd " + std::to_string(level) + "+d").c_str(), double(packed) / 1e6, double(packed) / double(bytes),
              double(bytes) / 1e6 / seconds, dict.size() / 1024, samples);
  ZSTD_freeCCtx(cctx);
  ZSTD_freeCDict(cdict);
}

void measurePacking(const char* what, const std::vector<std::string>& messages) {
  uint64_t bytes = 0;
  for (const std::string& m : messages) bytes += m.size();
  std::printf("\nPacking %s: %zu messages, %.1f MB\n", what, messages.size(), double(bytes) / 1e6);
  std::printf("%-10s %12s %8s %12s %12s\n", "packer", "packed MB", "ratio", "pack MB/s", "unpack MB/s");
  const Packer packers[] = {{"zlib 1", qv::PackZlib, 1},  {"zlib 6", qv::PackZlib, 6},  {"zlib 9", qv::PackZlib, 9},
                            {"zstd 1", qv::PackZstd, 1},  {"zstd 3", qv::PackZstd, 3},  {"zstd 9", qv::PackZstd, 9},
                            {"zstd 19", qv::PackZstd, 19}};
  for (const Packer& p : packers) {
    std::vector<std::string> packed;
    packed.reserve(messages.size());
    uint64_t size = 0;
    auto t0 = Clock::now();
    for (const std::string& m : messages) {
      packed.push_back(qv::packBytes(m, p.packing, p.level));
      // A message that packing does not make smaller is kept as it is.
      size += std::min(packed.back().size(), m.size());
    }
    double packSeconds = since(t0);
    t0 = Clock::now();
    std::string back;
    for (size_t i = 0; i < messages.size(); ++i) qv::unpackBytes(packed[i], p.packing, messages[i].size(), back);
    double unpackSeconds = since(t0);
    std::printf("%-10s %12.2f %8.3f %12.0f %12.0f\n", p.name, double(size) / 1e6, double(size) / double(bytes),
                double(bytes) / 1e6 / packSeconds, double(bytes) / 1e6 / unpackSeconds);
  }
  measureDictionary(messages, 1000, 1);
  measureDictionary(messages, 1000, 3);
}

struct ImportTime {
  double best = 1e30;     // wall-clock seconds
  double bestCpu = 1e30;  // user and system seconds: steadier on a shared machine
  bool ok = true;
};

void importInto(const ImportBench& b, const std::string& root, const std::string& mbox, bool keep, ImportTime& t) {
  fs::remove_all(root);
  const std::string box = "Bench Owner";
  Run add = run({b.qvcli, "--root", root, "mailbox", "add", "--owner", box, "--address", "owner@example.org"});
  Run set = run({b.qvcli, "--root", root, "originals", box, keep ? "on" : "off"});
  Run imp = run({b.qvcli, "--root", root, "import", "--format", "Unix Mail", "--mailbox", box, "--unattended", mbox});
  if (add.status != 0 || set.status != 0 || imp.status != 0) {
    t.ok = false;
    std::fprintf(stderr, "import %s originals failed:\n%s%s%s\n", keep ? "with" : "without", add.out.c_str(),
                 set.out.c_str(), imp.out.c_str());
  }
  t.best = std::min(t.best, imp.seconds);
  t.bestCpu = std::min(t.bestCpu, imp.cpuSeconds);
}

uint64_t originalsFileSize(const std::string& root) {
  uint64_t size = 0;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.path().filename() == "IDX036.ADF") size += fs::file_size(e.path());
  return size;
}

}  // namespace

int runOriginalsCost(const ImportBench& b) {
  fs::remove_all(b.dir);
  fs::create_directories(b.dir);
  std::string mbox = b.dir + "/corpus.mbox";
  auto t0 = Clock::now();
  CorpusGenerator gen({.messages = b.messages, .seed = b.seed});
  gen.writeAll(mbox, "");
  uint64_t mboxBytes = fs::file_size(mbox);
  std::printf("Corpus: %zu generated mails, mbox %.1f MB, generated in %.1f s\n", b.messages,
              double(mboxBytes) / 1e6, since(t0));

  std::vector<std::string> generated;
  splitMbox(readAll(mbox), generated);
  measurePacking("the generated mail", generated);
  if (!b.corpus.empty() && fs::is_directory(b.corpus + "/mbox")) {
    std::vector<std::string> real;
    for (const char* dir : {"/mbox", "/netscape-mail", "/eudora"})
      for (const auto& e : fs::recursive_directory_iterator(b.corpus + dir))
        if (e.is_regular_file()) splitMbox(readAll(e.path().string()), real);
    measurePacking("the sample corpus's mbox files", real);
  }

  ImportTime with, without;
  std::string rootWith = b.dir + "/with", rootWithout = b.dir + "/without";
  for (int round = 0; round < b.rounds; ++round) {
    importInto(b, rootWithout, mbox, false, without);
    importInto(b, rootWith, mbox, true, with);
  }
  if (!with.ok || !without.ok) return 1;
  uint64_t store = originalsFileSize(rootWith);
  std::printf("\nImport of %zu mails (qvcli, whole process, best of %d)\n", b.messages, b.rounds);
  std::printf("%-20s %10s %10s %12s\n", "mailbox", "seconds", "mails/s", "CPU seconds");
  std::printf("%-20s %10.2f %10.0f %12.2f\n", "without originals", without.best, double(b.messages) / without.best,
              without.bestCpu);
  std::printf("%-20s %10.2f %10.0f %12.2f\n", "with originals", with.best, double(b.messages) / with.best,
              with.bestCpu);
  std::printf("Cost of keeping originals: %+.1f%% in time, %+.1f%% in CPU time (aim: at most +15%%)\n",
              (with.best / without.best - 1) * 100, (with.bestCpu / without.bestCpu - 1) * 100);
  std::printf("Originals file: %.1f MB, %.3f of the mbox's %.1f MB (aim: at most 0.5)\n", double(store) / 1e6,
              double(store) / double(mboxBytes), double(mboxBytes) / 1e6);
  return 0;
}

}  // namespace qvbench
