// bench/import: importing a Unix mbox against notmuch and mu on the same mail,
// and the peak memory of importing a large mbox.
//
// Throughput (the default):
//   1. generates N realistic mails (bench/corpus_gen.h; default 100,000) as
//      an mbox and as a Maildir;
//   2. imports the mbox with format "Unix Mail" into a mailbox of a new
//      installation, in a child process (wall time, messages per second,
//      peak resident size);
//   3. times `notmuch new` and `mu index` over the Maildir (the Debian
//      packages notmuch and maildir-utils, installed when missing and run as
//      root; a peer that is still missing is skipped) and prints the ratios.
// Memory (--gigabytes G):
//   generates an mbox of at least G GB and imports it in a child process run
//   under /usr/bin/time -v, printing its "Maximum resident set size".
//
// Usage: bench_import [--messages N] [--gigabytes G] [--dir DIR] [--seed S]
//        bench_import --import-only MBOX --root DIR   (the child)
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_run.h"
#include "corpus_gen.h"
#include "dictionary/dictionary.h"
#include "import/import_run.h"
#include "services/databases.h"
#include "services/installation.h"
#include "services/prompt.h"

namespace fs = std::filesystem;
using qvbench::Clock;
using qvbench::onPath;
using qvbench::QuietPrompter;
using qvbench::Run;
using qvbench::run;
using qvbench::since;

namespace {

// Finds the peers, installing the Debian packages when they are missing and
// this runs as root.
void findPeers() {
  if (onPath("notmuch") && onPath("mu")) return;
  if (geteuid() != 0) return;
  std::printf("Installing the peers (notmuch, maildir-utils) ...\n");
  run({"apt-get", "install", "-y", "-q", "notmuch", "maildir-utils"});
}

// The child: imports one mbox into a new mailbox of a new installation and
// prints "imported <messages> converted <records> seconds <s>".
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
  qvbench::CorpusGenerator gen({.messages = size_t(-1) / 2, .seed = seed});
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  qvbench::GeneratedMail m;
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

int main(int argc, char** argv) {
  size_t messages = 100000;
  double gigabytes = 0;
  uint32_t seed = 1;
  std::string dir = "/tmp/qv-bench-import", importMbox, root;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string a = argv[i];
    if (a == "--messages") messages = size_t(std::atoll(argv[i + 1]));
    else if (a == "--gigabytes") gigabytes = std::atof(argv[i + 1]);
    else if (a == "--dir") dir = argv[i + 1];
    else if (a == "--seed") seed = uint32_t(std::atoi(argv[i + 1]));
    else if (a == "--import-only") importMbox = argv[i + 1];
    else if (a == "--root") root = argv[i + 1];
    else {
      std::fprintf(stderr, "usage: bench_import [--messages N] [--gigabytes G] [--dir DIR] [--seed S]\n");
      return 2;
    }
  }
  if (!importMbox.empty()) return importOnly(importMbox, root.empty() ? dir + "/quorvane" : root);

  std::string self = fs::canonical("/proc/self/exe").string();
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::string mbox = dir + "/corpus.mbox", maildir = dir + "/maildir";
  root = dir + "/quorvane";

  if (gigabytes > 0) {
    auto t0 = Clock::now();
    size_t n = writeLargeMbox(mbox, uint64_t(gigabytes * 1e9), seed);
    std::printf("Large mbox: %zu mails, %.2f GB, generated in %.0f s\n", n, double(fs::file_size(mbox)) / 1e9,
                since(t0));
    std::vector<std::string> cmd = {self, "--import-only", mbox, "--root", root};
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

  // 1. The corpus.
  auto t0 = Clock::now();
  qvbench::CorpusGenerator gen({.messages = messages, .seed = seed});
  gen.writeAll(mbox, maildir);
  std::printf("Corpus: %zu mails, mbox %.1f MB, generated in %.1f s\n", messages,
              double(fs::file_size(mbox)) / 1e6, since(t0));

  // 2. Ours.
  Run ours = run({self, "--import-only", mbox, "--root", root});
  Imported i = parseChild(ours.out);
  if (ours.status != 0 || i.converted != (long long)messages)
    std::fprintf(stderr, "the import did not convert every mail:\n%s\n", ours.out.c_str());
  std::printf("quorvane import: %lld converted, %lld posted, %.1f s (process %.1f s), %.0f mails/s, peak %.1f MB\n",
              i.converted, i.imported, i.seconds, ours.seconds, double(messages) / i.seconds,
              double(ours.maxRssKb) / 1024.0);

  // 3. The peers over the Maildir of the same mails.
  findPeers();
  struct Peer {
    std::string name;
    bool present = false;
    double seconds = 0;
    long rssKb = 0;
  };
  std::vector<Peer> peers;
  {
    Peer p{"notmuch new"};
    if (onPath("notmuch")) {
      std::string cfg = dir + "/notmuch-config";
      std::ofstream(cfg) << "[database]\npath=" << maildir
                         << "\n[user]\nname=Bench\nprimary_email=bench@example.org\n[new]\ntags=\nignore=\n"
                            "[search]\nexclude_tags=\n[maildir]\nsynchronize_flags=false\n";
      Run r = run({"notmuch", "--config=" + cfg, "new", "--quiet"});
      p = {p.name, r.status == 0, r.seconds, r.maxRssKb};
      if (r.status != 0) std::fprintf(stderr, "notmuch failed:\n%s\n", r.out.c_str());
    }
    peers.push_back(p);
  }
  {
    Peer p{"mu index"};
    if (onPath("mu")) {
      std::string home = dir + "/mu";
      run({"mu", "init", "--muhome=" + home, "--maildir=" + maildir});
      Run r = run({"mu", "index", "--muhome=" + home, "--quiet"});
      p = {p.name, r.status == 0, r.seconds, r.maxRssKb};
      if (r.status != 0) std::fprintf(stderr, "mu failed:\n%s\n", r.out.c_str());
    }
    peers.push_back(p);
  }

  std::printf("\n%-16s %10s %10s %10s %14s\n", "", "seconds", "mails/s", "peak MB", "peer / ours");
  std::printf("%-16s %10.1f %10.0f %10.1f %14s\n", "quorvane import", i.seconds, double(messages) / i.seconds,
              double(ours.maxRssKb) / 1024.0, "1.00");
  for (const Peer& p : peers) {
    if (!p.present) {
      std::printf("%-16s (not installed: skipped)\n", p.name.c_str());
      continue;
    }
    std::printf("%-16s %10.1f %10.0f %10.1f %14.2f\n", p.name.c_str(), p.seconds, double(messages) / p.seconds,
                double(p.rssKb) / 1024.0, p.seconds / i.seconds);
  }
  return ours.status == 0 && i.converted == (long long)messages ? 0 : 1;
}
