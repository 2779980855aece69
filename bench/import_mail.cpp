// bench_import --mode mail: import plus word index of the same mails with
// qvcli, notmuch and mu, each timed as the whole processes a user runs.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_run.h"
#include "corpus_gen.h"
#include "import_modes.h"

namespace fs = std::filesystem;

namespace qvbench {

namespace {

// The steps of one engine: processes run one after the other.
struct Engine {
  std::string name;
  bool present = false;
  bool ok = true;
  double seconds = 0;
  long peakKb = 0;
  long long indexed = -1;  // messages the engine reports, -1 unknown
  std::vector<std::pair<std::string, double>> steps;
};

void step(Engine& e, const std::string& what, const std::vector<std::string>& argv, const std::string& cwd = {}) {
  Run r = run(argv, cwd);
  e.seconds += r.seconds;
  e.peakKb = std::max(e.peakKb, r.maxRssKb);
  e.steps.push_back({what, r.seconds});
  if (r.status != 0) {
    e.ok = false;
    std::fprintf(stderr, "%s: \"%s\" failed:\n%s\n", e.name.c_str(), what.c_str(), r.out.c_str());
  }
}

long long numberAfter(const std::string& out, const std::string& label) {
  size_t at = out.find(label);
  return at == std::string::npos ? -1 : std::atoll(out.c_str() + at + label.size());
}

// Ours: the mailbox made and the mbox imported, its words indexed in the
// import's pass (`import --index`) or by `qvcli index` after it.
Engine ours(const ImportBench& b, const std::string& root, const std::string& mbox, bool onePass) {
  Engine e;
  e.name = onePass ? "quorvane" : "qv 2 steps";
  e.present = true;
  const std::string box = "Bench Owner";
  step(e, "qvcli mailbox add", {b.qvcli, "--root", root, "mailbox", "add", "--owner", box, "--address",
                                "owner@example.org"});
  std::vector<std::string> argv = {b.qvcli, "--root", root, "import", "--format", "Unix Mail", "--mailbox", box,
                                   "--unattended"};
  if (onePass) argv.push_back("--index");
  argv.push_back(mbox);
  Run imp = run(argv);
  e.seconds += imp.seconds;
  e.peakKb = std::max(e.peakKb, imp.maxRssKb);
  e.steps.push_back({onePass ? "qvcli import --index" : "qvcli import", imp.seconds});
  long long imported = numberAfter(imp.out, "Messages imported:");
  if (imp.status != 0 || imported != (long long)b.messages) {
    e.ok = false;
    std::fprintf(stderr, "qvcli import stored %lld of %zu mails:\n%s\n", imported, b.messages, imp.out.c_str());
  }
  if (onePass) {
    e.indexed = numberAfter(imp.out, "Messages indexed:");
    return e;
  }
  Run idx = run({b.qvcli, "--root", root, "index", box, "--unattended"});
  e.seconds += idx.seconds;
  e.peakKb = std::max(e.peakKb, idx.maxRssKb);
  e.steps.push_back({"qvcli index", idx.seconds});
  e.indexed = numberAfter(idx.out, "Messages indexed:");
  if (idx.status != 0) {
    e.ok = false;
    std::fprintf(stderr, "qvcli index failed:\n%s\n", idx.out.c_str());
  }
  return e;
}

}  // namespace

int runMailComparison(const ImportBench& b) {
  fs::remove_all(b.dir);
  fs::create_directories(b.dir);
  std::string mbox = b.dir + "/corpus.mbox", maildir = b.dir + "/maildir", root = b.dir + "/quorvane";

  auto t0 = Clock::now();
  CorpusGenerator gen({.messages = b.messages, .seed = b.seed});
  gen.writeAll(mbox, maildir);
  std::printf("Corpus: %zu mails, mbox %.1f MB, generated in %.1f s\n", b.messages,
              double(fs::file_size(mbox)) / 1e6, since(t0));

  std::vector<Engine> engines;
  // Ours: the words indexed in the import's pass, and by an indexing run after it.
  engines.push_back(ours(b, root, mbox, true));
  engines.push_back(ours(b, root + "-after", mbox, false));

  ensurePeers({{"notmuch", "notmuch"}, {"mu", "maildir-utils"}});
  {
    Engine e;
    e.name = "notmuch";
    if (onPath("notmuch")) {
      e.present = true;
      std::string cfg = b.dir + "/notmuch-config";
      std::ofstream(cfg) << "[database]\npath=" << maildir
                         << "\n[user]\nname=Bench\nprimary_email=bench@example.org\n[new]\ntags=\nignore=\n"
                            "[search]\nexclude_tags=\n[maildir]\nsynchronize_flags=false\n";
      step(e, "notmuch new", {"notmuch", "--config=" + cfg, "new", "--quiet"});
      e.indexed = std::atoll(run({"notmuch", "--config=" + cfg, "count", "*"}, {}, false).out.c_str());
    }
    engines.push_back(e);
  }
  {
    Engine e;
    e.name = "mu";
    if (onPath("mu")) {
      e.present = true;
      std::string home = b.dir + "/mu";
      step(e, "mu init", {"mu", "init", "--muhome=" + home, "--maildir=" + maildir});
      step(e, "mu index", {"mu", "index", "--muhome=" + home, "--quiet"});
      Run found = run({"mu", "find", "--muhome=" + home, "--fields=i", "--skip-dups", ""}, {}, false);
      if (found.status == 0) {
        e.indexed = 0;
        for (char c : found.out) e.indexed += c == '\n';
      }
    }
    engines.push_back(e);
  }

  const Engine& ours = engines[0];
  std::printf("\nImport plus word index, whole processes, %zu mails\n", b.messages);
  std::printf("%-12s %10s %10s %10s %10s %12s\n", "engine", "seconds", "mails/s", "peak MB", "indexed", "peer / ours");
  for (const Engine& e : engines) {
    if (!e.present) {
      std::printf("%-12s (not installed: skipped)\n", e.name.c_str());
      continue;
    }
    std::printf("%-12s %10.1f %10.0f %10.1f %10s %12.2f\n", e.name.c_str(), e.seconds,
                double(b.messages) / e.seconds, double(e.peakKb) / 1024.0,
                e.indexed < 0 ? "-" : std::to_string(e.indexed).c_str(), e.seconds / ours.seconds);
    for (const auto& [what, seconds] : e.steps) std::printf("  %-22s %8.2f s\n", what.c_str(), seconds);
  }
  std::printf(
      "\nWhere the work differs:\n"
      "  quorvane copies every mail into its archive (headers, decoded text, threads, persons, carbon copies,\n"
      "    Message-IDs) and indexes the words of subject and decoded text in the same pass, one process\n"
      "    (\"qv 2 steps\": the import, then an indexing run that reads the texts back).\n"
      "  notmuch and mu leave the mails in the Maildir and index them where they are, headers (addresses,\n"
      "    subject, dates) as well as the text, in one pass; mu's time includes its init.\n"
      "  They read a Maildir (one file per mail), quorvane the same mails as one mbox.\n");
  bool ok = true;
  for (const Engine& e : engines) ok = ok && (!e.present || e.ok);
  return ok ? 0 : 1;
}

}  // namespace qvbench
