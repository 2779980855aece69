// bench_import --mode memory: the peak resident size of importing a large
// mbox, and the in-process import its child runs.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_run.h"
#include "corpus_gen.h"
#include "import/import_run.h"
#include "import_modes.h"
#include "services/databases.h"
#include "services/installation.h"
#include "services/prompt.h"

namespace fs = std::filesystem;

namespace qvbench {

namespace {

struct Imported {
  long long imported = -1, converted = -1;
  double seconds = 0;
};

Imported parseChild(const std::string& out) {
  Imported i;
  size_t at = out.find("imported ");
  if (at != std::string::npos)
    std::sscanf(out.c_str() + at, "imported %lld converted %lld seconds %lf", &i.imported, &i.converted, &i.seconds);
  return i;
}

// Writes mails to an mbox until it holds at least `bytes`; returns the count.
size_t writeLargeMbox(const std::string& path, uint64_t bytes, uint32_t seed) {
  CorpusGenerator gen({.messages = size_t(-1) / 2, .seed = seed});
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  GeneratedMail m;
  size_t n = 0;
  uint64_t written = 0;
  while (written < bytes && gen.next(m)) {
    std::string block = "From " + m.envelope + "\n" + m.raw + "\n";
    out << block;
    written += block.size();
    ++n;
  }
  return n;
}

}  // namespace

// Imports one mbox into a new mailbox of a new installation and prints
// "imported <messages> converted <records> seconds <s>".
int importOnly(const std::string& mbox, const std::string& root) {
  static QuietPrompter prompter;
  qv::setPrompter(&prompter);
  std::string error;
  if (!qv::openInstallation(root, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  qv::MailboxSpec spec;
  spec.owner = "Bench Owner";
  spec.address = "owner@example.org";
  uint32_t box = qv::AddMailbox(spec, false);
  if (box == 0) return 1;
  qv::ImportSettings s;
  s.format = "Unix Mail";
  s.method = qv::SelectFiles;
  s.path = fs::path(mbox).parent_path().string();
  s.masks = {mbox};
  s.importMail = true;
  s.mailbox = box;
  auto t0 = Clock::now();
  qv::ImportRun r(s);
  while (r.step()) {
  }
  r.close();
  double seconds = since(t0);
  std::printf("imported %lld converted %lld seconds %.3f\n", (long long)r.view().imported,
              (long long)r.view().tempRecords, seconds);
  qv::closeInstallation();
  return r.result() == 1 ? 0 : 1;
}

int runLargeMbox(const ImportBench& b) {
  fs::remove_all(b.dir);
  fs::create_directories(b.dir);
  std::string mbox = b.dir + "/corpus.mbox", root = b.dir + "/quorvane";
  auto t0 = Clock::now();
  size_t n = writeLargeMbox(mbox, uint64_t(b.gigabytes * 1e9), b.seed);
  std::printf("Large mbox: %zu mails, %.2f GB, generated in %.0f s\n", n, double(fs::file_size(mbox)) / 1e9,
              since(t0));
  std::vector<std::string> cmd = {b.self, "--import-only", mbox, "--root", root};
  bool timeV = onPath("time");
  if (timeV) cmd.insert(cmd.begin(), {"/usr/bin/time", "-v"});
  Run r = run(cmd);
  Imported i = parseChild(r.out);
  long peakKb = r.maxRssKb;
  size_t at = r.out.find("Maximum resident set size (kbytes): ");
  if (at != std::string::npos) peakKb = std::atol(r.out.c_str() + at + 36);
  std::printf("Import of the large mbox: %lld of %zu mails converted, %lld posted, %.0f s, %.0f mails/s\n",
              i.converted, n, i.imported, i.seconds, double(i.converted) / i.seconds);
  std::printf("Peak resident size (%s): %.1f MB\n", timeV ? "/usr/bin/time -v" : "wait4", double(peakKb) / 1024.0);
  if (r.status != 0) std::fprintf(stderr, "the import failed:\n%s\n", r.out.c_str());
  fs::remove(mbox);
  return r.status == 0 && i.converted == (long long)n && peakKb < 300 * 1024 ? 0 : 1;
}

}  // namespace qvbench
