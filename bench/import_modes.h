// The runs bench_import can make, one function each, chosen by --mode.
// A run gets the options of the command line and returns the program's exit
// status (0 when its work succeeded).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qvbench {

struct ImportBench {
  size_t messages = 100000;  // mails (or messages) to generate
  uint32_t seed = 1;
  double gigabytes = 1;      // size of the large mbox of the memory run
  std::string dir;           // work directory, emptied first
  std::string self;          // this program, for its child runs
  std::string qvcli;         // the command-line program
  std::string corpus;        // the sample corpus folder, for the originals run; empty: none
  int rounds = 3;            // imports of each kind in the originals run
};

// Import plus word indexing of a generated mbox with qvcli, as a user runs
// them, against notmuch and mu over a Maildir of the same mails.
int runMailComparison(const ImportBench& b);
// Import, then import again, of a generated TAPCIS 6.x forum capture of
// b.messages messages with qvcli (import_forum.cpp).
int runForumImport(const ImportBench& b);
// The peak resident size of importing an mbox of b.gigabytes.
int runLargeMbox(const ImportBench& b);
// The cost of keeping originals: packing measured with zlib and zstd, and
// the import with and without originals (import_originals.cpp).
int runOriginalsCost(const ImportBench& b);
// The child of the memory run: one import in-process, counts printed.
int importOnly(const std::string& mbox, const std::string& root);

}  // namespace qvbench
