// bench_import --mode originals: what keeping originals costs.
//
// 1. Packing: every message of the generated mbox (and of the mbox files of
//    the sample corpus, when --corpus names it) packed one by one with zlib
//    and zstd at several levels, and with the dictionary the store trains on
//    the first of them: the packed size against the bytes, and the speed of
//    packing and unpacking.
// 2. Import: the same mbox imported with qvcli into a mailbox that keeps
//    originals and into one that does not, alternately, --rounds times each;
//    the best time of each, the cost in percent, and the size of the
//    Originals file against the mbox. With --corpus, the corpus's own
//    mailbox files (real mail, into one mailbox) the same way, and their
//    messages joined into one mbox (enough for a dictionary).

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
#include "originals/original_dictionary.h"
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

// zstd with the dictionary the store trains on a database's first
// originals (originals/original_dictionary.h): the training time, and what
// the other messages take packed one by one with it.
void measureDictionary(const std::vector<std::string>& messages, int level) {
  size_t samples = std::min(qv::kDictionarySamples, messages.size() / 2);
  if (samples < qv::kDictionaryMinSamples) {
    std::printf("zstd %d+d: too few messages for a dictionary\n", level);
    return;
  }
  std::vector<std::string> first(messages.begin(), messages.begin() + long(samples));
  auto t0 = Clock::now();
  auto d = qv::OriginalDictionary::train(first);
  double trainSeconds = since(t0);
  if (!d) {
    std::printf("zstd %d+d: training failed\n", level);
    return;
  }
  uint64_t bytes = 0, packed = 0;
  std::vector<std::string> frames;
  t0 = Clock::now();
  for (size_t i = samples; i < messages.size(); ++i) {
    frames.push_back(d->pack(messages[i], level));
    bytes += messages[i].size();
    packed += frames.back().empty() ? messages[i].size() : std::min(frames.back().size(), messages[i].size());
  }
  double seconds = since(t0);
  t0 = Clock::now();
  std::string back;
  for (size_t i = samples; i < messages.size(); ++i) d->unpack(frames[i - samples], messages[i].size(), back);
  double unpackSeconds = since(t0);
  std::printf("%-10s %12.2f %8.3f %12.0f %12.0f   (dictionary of %zu KB from the first %zu messages in %.2f s; "
              "the rest packed)\n",
              ("zstd " + std::to_string(level) + "+d").c_str(), double(packed) / 1e6, double(packed) / double(bytes),
              double(bytes) / 1e6 / seconds, double(bytes) / 1e6 / unpackSeconds, d->bytes().size() / 1024, samples,
              trainSeconds);
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
  measureDictionary(messages, 1);
  measureDictionary(messages, 3);
}

struct ImportTime {
  double best = 1e30;     // wall-clock seconds
  double bestCpu = 1e30;  // user and system seconds: steadier on a shared machine
  bool ok = true;
};

void importInto(const ImportBench& b, const std::string& root, const std::vector<std::string>& mboxes, bool keep,
                ImportTime& t) {
  fs::remove_all(root);
  const std::string box = "Bench Owner";
  Run add = run({b.qvcli, "--root", root, "mailbox", "add", "--owner", box, "--address", "owner@example.org"});
  Run set = run({b.qvcli, "--root", root, "originals", box, keep ? "on" : "off"});
  std::vector<std::string> argv = {b.qvcli, "--root", root, "import", "--format", "Unix Mail", "--mailbox", box,
                                   "--unattended"};
  argv.insert(argv.end(), mboxes.begin(), mboxes.end());
  Run imp = run(argv);
  if (add.status != 0 || set.status != 0 || imp.status != 0) {
    t.ok = false;
    std::fprintf(stderr, "import %s originals failed:\n%s%s%s\n", keep ? "with" : "without", add.out.c_str(),
                 set.out.c_str(), imp.out.c_str());
  }
  t.best = std::min(t.best, imp.seconds);
  t.bestCpu = std::min(t.bestCpu, imp.cpuSeconds);
}

// The mailbox files of the sample corpus: real mail of many senders and
// programs, each file a mailbox of its own.
std::vector<std::string> corpusMailboxes(const std::string& corpus, uint64_t& bytes) {
  std::vector<std::string> files;
  bytes = 0;
  for (const char* dir : {"/mbox", "/netscape-mail"})
    for (const auto& e : fs::directory_iterator(corpus + dir))
      if (e.is_regular_file()) {
        files.push_back(e.path().string());
        bytes += e.file_size();
      }
  std::sort(files.begin(), files.end());
  return files;
}

uint64_t originalsFileSize(const std::string& root) {
  uint64_t size = 0;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.path().filename() == "IDX036.ADF") size += fs::file_size(e.path());
  return size;
}

// Imports `files` into a mailbox that keeps originals and into one that does
// not, alternately, b.rounds times each; prints the best times and the size
// of the Originals file against the files'.
bool compareImports(const ImportBench& b, const std::string& what, const std::vector<std::string>& files,
                    uint64_t sourceBytes) {
  ImportTime with, without;
  std::string rootWith = b.dir + "/with", rootWithout = b.dir + "/without";
  for (int round = 0; round < b.rounds; ++round) {
    importInto(b, rootWithout, files, false, without);
    importInto(b, rootWith, files, true, with);
  }
  if (!with.ok || !without.ok) return false;
  uint64_t store = originalsFileSize(rootWith);
  std::printf("\nImport of %s, %.2f MB (qvcli, whole process, best of %d)\n", what.c_str(),
              double(sourceBytes) / 1e6, b.rounds);
  std::printf("%-20s %10s %12s\n", "mailbox", "seconds", "CPU seconds");
  std::printf("%-20s %10.2f %12.2f\n", "without originals", without.best, without.bestCpu);
  std::printf("%-20s %10.2f %12.2f\n", "with originals", with.best, with.bestCpu);
  std::printf("Cost of keeping originals: %+.1f%% in time, %+.1f%% in CPU time (aim: at most +15%%)\n",
              (with.best / without.best - 1) * 100, (with.bestCpu / without.bestCpu - 1) * 100);
  std::printf("Originals file: %.2f MB, %.3f of the source's %.2f MB (aim: at most 0.5)\n", double(store) / 1e6,
              double(store) / double(sourceBytes), double(sourceBytes) / 1e6);
  return true;
}

}  // namespace

// The messages of the corpus as one mbox (mboxrd quoting), so that one
// import brings enough real mail to a mailbox for it to train a dictionary.
// Messages of CR line ends only (a classic Mac store's) are left out.
uint64_t writeConcatenated(const std::vector<std::string>& messages, const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  for (const std::string& m : messages) {
    if (m.find('\n') == std::string::npos) continue;
    out << "From corpus@example.org Thu Jan  1 00:00:00 1970\n";
    size_t pos = 0;
    while (pos < m.size()) {
      size_t eol = m.find('\n', pos);
      size_t next = eol == std::string::npos ? m.size() : eol + 1;
      size_t quotes = pos;
      while (quotes < next && m[quotes] == '>') ++quotes;
      if (m.compare(quotes, 5, "From ") == 0) out << '>';
      out.write(m.data() + pos, std::streamsize(next - pos));
      pos = next;
    }
    if (m.empty() || m.back() != '\n') out << '\n';
    out << '\n';
  }
  out.close();
  return fs::file_size(path);
}

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
  std::vector<std::string> real;
  if (!b.corpus.empty() && fs::is_directory(b.corpus + "/mbox")) {
    for (const char* dir : {"/mbox", "/netscape-mail", "/eudora"})
      for (const auto& e : fs::recursive_directory_iterator(b.corpus + dir))
        if (e.is_regular_file()) splitMbox(readAll(e.path().string()), real);
    measurePacking("the sample corpus's mbox files", real);
  }

  if (!compareImports(b, "the generated mail", {mbox}, mboxBytes)) return 1;
  if (!b.corpus.empty() && fs::is_directory(b.corpus + "/mbox")) {
    uint64_t bytes = 0;
    std::vector<std::string> files = corpusMailboxes(b.corpus, bytes);
    if (!compareImports(b, "the sample corpus's mailbox files (one mailbox)", files, bytes)) return 1;
    std::string joined = b.dir + "/real.mbox";
    uint64_t joinedBytes = writeConcatenated(real, joined);
    if (!compareImports(b, "the sample corpus's mail as one mbox", {joined}, joinedBytes)) return 1;
  }
  return 0;
}

}  // namespace qvbench
