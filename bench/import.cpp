// bench/import: importing mail, end to end, against notmuch and mu, and the
// peak memory of importing a large mbox. One run per program start, chosen
// by --mode:
//
// mail (the default; import_mail.cpp)
//   generates N realistic mails (bench/corpus_gen.h) as an mbox and as a
//   Maildir; makes a mailbox, imports the mbox and builds its word index with
//   qvcli, one process each as a user runs them; times `notmuch new` and
//   `mu init` + `mu index` over the Maildir the same way (whole processes:
//   they index while they import, so our import and our indexing together
//   are the same work) and prints the times and ratios.
// memory
//   generates an mbox of at least --gigabytes G and imports it in a child
//   process run under /usr/bin/time -v, printing its peak resident size.
// originals (import_originals.cpp)
//   packs every message of a generated mbox (and the corpus's, with --corpus)
//   with zlib and zstd at several levels, then imports the mbox with qvcli
//   into a mailbox without and one with originals, and prints the cost and
//   the size of the originals against the mbox.
// forum (import_forum.cpp)
//   generates a TAPCIS 6.x forum capture of N messages (bench/forum_gen.h),
//   imports it with qvcli into a new forum and then imports it again, each
//   timed as a whole process with its messages/s and peak resident size.
//
// A new run is one more entry in the table of modes below, with its
// function in a file of its own.
//
// Usage: bench_import --help
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_options.h"
#include "import_modes.h"

namespace fs = std::filesystem;

namespace {

struct Mode {
  const char* name;
  const char* help;
  int (*run)(const qvbench::ImportBench&);
};

const std::vector<Mode>& modes() {
  static const std::vector<Mode> list = {
      {"mail", "mbox import and word index (qvcli) against notmuch and mu over the same mails",
       qvbench::runMailComparison},
      {"memory", "peak resident size of importing an mbox of --gigabytes G", qvbench::runLargeMbox},
      {"forum", "import, then reimport, of a TAPCIS 6.x forum capture of --messages N (qvcli)",
       qvbench::runForumImport},
      {"originals", "zlib against zstd over the messages, and the mbox import with and without originals (qvcli)",
       qvbench::runOriginalsCost},
  };
  return list;
}

}  // namespace

int main(int argc, char** argv) {
  qvbench::ImportBench b;
  b.dir = "/tmp/qv-bench-import";
  b.qvcli = fs::absolute(fs::path(argv[0]).parent_path() / ".." / "qvcli" / "qvcli").lexically_normal().string();
  std::string mode = "mail", importMbox, root;
  bool gigabytesGiven = false;
  qvbench::Options o("bench_import", "Times importing mail end to end against notmuch and mu, or the peak memory "
                                     "of a large import (see the modes).");
  o.value("--mode", "NAME", "the run to make (default mail)", mode);
  o.value("--messages", "N", "mails to generate (default 100,000)", b.messages);
  o.flag("--quick", "20,000 mails", [&] { b.messages = 20000; });
  o.value("--gigabytes", "G", "size of the mbox of the memory run (default 1; implies --mode memory)", b.gigabytes);
  o.value("--dir", "DIR", "work directory, emptied first (default /tmp/qv-bench-import)", b.dir);
  o.value("--seed", "S", "seed of the generated mail (default 1)", b.seed);
  o.value("--corpus", "DIR", "the sample corpus folder, packed too in the originals run (default: none)", b.corpus);
  o.value("--rounds", "N", "imports of each kind in the originals run (default 3)", b.rounds);
  o.value("--qvcli", "PATH", "the qvcli program (default: beside this one in the build tree)", b.qvcli);
  o.value("--import-only", "MBOX", "(the memory run's child) import MBOX into a new mailbox under --root", importMbox);
  o.value("--root", "DIR", "(the memory run's child) the installation to import into", root);
  std::string modeNotes = "Modes:";
  for (const Mode& m : modes()) modeNotes += std::string("\n  ") + m.name + ": " + m.help;
  o.note(modeNotes);
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]) == "--gigabytes") gigabytesGiven = true;
  if (int rc = o.parse(argc, argv); rc >= 0) return rc;
  if (!importMbox.empty()) return qvbench::importOnly(importMbox, root.empty() ? b.dir + "/quorvane" : root);
  if (gigabytesGiven) mode = "memory";
  if (b.messages == 0) b.messages = 1;
  b.self = fs::canonical("/proc/self/exe").string();
  for (const Mode& m : modes())
    if (mode == m.name) return m.run(b);
  std::fprintf(stderr, "bench_import: unknown mode \"%s\"\n", mode.c_str());
  o.usage(stderr);
  return 2;
}
