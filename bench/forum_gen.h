// A generator of CompuServe forum captures for benchmarks and tests.
//
// It writes N forum messages the way the TAPCIS 6.x and OzWin II readers
// keep them (five header lines, a blank line, the text):
//   #: 100042 S3/Hardware                 (OzWin II: "... (Bench Forum)")
//       05-Mar-96  14:22
//   Sb: #100017-Disk drives and cables    (a reply names its parent)
//   Fm: Ann Lee 71234,567
//   To: All                               (or the parent's sender)
// Messages are numbered from a first number upwards. Threads start in one of
// a dozen sections and go on for a while, so that many threads are open at
// once; a reply answers a message of its own thread, at most a few thousand
// numbers back, and names it (all but one reply in ten, which its subject
// must place). Subjects are made of a small vocabulary, so that many
// subjects share their first ten characters, as they do in real forums
// ("Problems with ...", "Question about ..."). Each thread's subject is
// different from every other's.
//
// The sequence is deterministic for a given seed and count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace qvbench {

enum class ForumLayout { Tapcis6, OzWin2 };

struct ForumOptions {
  size_t messages = 100000;
  ForumLayout layout = ForumLayout::Tapcis6;
  uint32_t seed = 1;
  uint32_t firstNumber = 100000;
  std::string forum = "Bench Forum";  // named on line 1 by OzWin II only
};

// What a generated capture holds, for the checks of a test or benchmark.
struct ForumSummary {
  size_t messages = 0;
  size_t threads = 0;             // distinct (section, subject) pairs
  size_t replies = 0;             // messages that name a parent
  std::vector<uint32_t> threadOf;  // by message index: the index of its thread
  std::vector<uint32_t> numbers;   // by message index: its number
  std::vector<std::string> sectionNames;  // by section number - 1
};

class ForumGenerator {
 public:
  explicit ForumGenerator(const ForumOptions& options);
  // Appends the next message to `out`; false after the last.
  bool next(std::string& out);
  const ForumSummary& summary() const { return summary_; }

 private:
  struct Thread {
    int section;
    std::string subject;
    std::vector<size_t> messages;  // indices of its messages
  };
  std::string person(size_t p) const;
  std::string newSubject();

  ForumOptions opt_;
  std::mt19937 rng_;
  std::vector<Thread> threads_;
  std::vector<size_t> open_;  // threads that may still get replies
  std::vector<size_t> sender_;  // by message index: its sender
  std::set<std::string> usedSubjects_;
  ForumSummary summary_;
  size_t index_ = 0;
  int64_t minute_ = 0;
};

// The whole capture as one text.
std::string forumCapture(const ForumOptions& options, ForumSummary* summary = nullptr);
// Writes the capture to a file; false when it cannot be written.
bool writeForumCapture(const std::string& path, const ForumOptions& options, ForumSummary* summary = nullptr);

}  // namespace qvbench
