#include "forum_gen.h"

#include <cstdio>
#include <fstream>
#include <set>

namespace qvbench {

namespace {

const char* kSections[] = {"General",  "Hardware", "Software", "Modems",    "Printers", "Networks",
                           "Graphics", "Games",    "Help",     "Libraries", "Sales",    "Off Topic"};
constexpr int kSectionCount = sizeof kSections / sizeof kSections[0];

const char* kOpenings[] = {"Problems with", "Question about", "Help with", "Looking for", "New version of",
                           "Trouble with",  "Using",          "About the", "Anyone using", "Cannot get"};
const char* kFirst[] = {"Ann", "Bob", "Cai", "Dora", "Emil", "Fay", "Gus", "Hana", "Ivo", "Jan", "Kim", "Lea"};
const char* kLast[] = {"Archer", "Baker", "Chen", "Dahl", "Evans", "Frost", "Gray", "Holm", "Ito", "Jones",
                       "Kurz",   "Lund",  "Moss", "Nagy", "Olsen", "Park",  "Quinn", "Ross", "Sato", "Tran"};
const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

constexpr size_t kPeople = 2400;
constexpr size_t kOpenThreads = 400;   // threads that may get replies at one time
constexpr double kNewThreadShare = 0.15;

// A made-up word of two or three syllables.
std::string word(std::mt19937& rng) {
  static const char* syllables[] = {"ka", "to", "ri", "mon", "dex", "lu", "vor", "sa", "tel", "qui",
                                    "bra", "no", "fen", "zo", "pi", "gar", "hu", "wes", "ly", "cor"};
  int n = 2 + int(rng() % 2);
  std::string w;
  for (int i = 0; i < n; ++i) w += syllables[rng() % 20];
  return w;
}

}  // namespace

ForumGenerator::ForumGenerator(const ForumOptions& options) : opt_(options), rng_(options.seed) {
  for (const char* s : kSections) summary_.sectionNames.push_back(s);
}

std::string ForumGenerator::person(size_t p) const {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%s %s %u,%u", kFirst[p % 12], kLast[(p / 12) % 20], unsigned(70000 + p * 7),
                unsigned(100 + p % 900));
  return buf;
}

std::string ForumGenerator::newSubject() {
  for (;;) {
    std::string s = kOpenings[rng_() % 10];
    int words = 1 + int(rng_() % 3);
    for (int i = 0; i < words; ++i) s += " " + word(rng_);
    if (rng_() % 8 == 0) s += " and what the manual says about it";
    if (usedSubjects_.insert(s).second) return s;
  }
}

bool ForumGenerator::next(std::string& out) {
  if (index_ >= opt_.messages) return false;
  size_t thread;
  size_t parent = size_t(-1);
  if (open_.empty() || std::uniform_real_distribution<double>(0, 1)(rng_) < kNewThreadShare) {
    thread = threads_.size();
    threads_.push_back({int(rng_() % kSectionCount) + 1, newSubject(), {}});
    if (open_.size() >= kOpenThreads) open_.erase(open_.begin());
    open_.push_back(thread);
  } else {
    thread = open_[rng_() % open_.size()];
    const auto& m = threads_[thread].messages;
    parent = m[rng_() % m.size()];
  }
  Thread& t = threads_[thread];
  uint32_t number = opt_.firstNumber + uint32_t(index_);
  size_t from = rng_() % kPeople;
  sender_.push_back(from);
  minute_ += 1 + rng_() % 9;
  int64_t day = minute_ / (24 * 60);
  int dd = 1 + int(day % 28), mm = int((day / 28) % 12), yy = 90 + int(day / (28 * 12)) % 10;
  int hh = int(minute_ / 60 % 24), mi = int(minute_ % 60);

  char line[160];
  out += "#: " + std::to_string(number) + " S" + std::to_string(t.section) + "/" + kSections[t.section - 1];
  if (opt_.layout == ForumLayout::OzWin2) out += " (" + opt_.forum + ")";
  std::snprintf(line, sizeof line, "\n    %02d-%s-%02d  %02d:%02d\n", dd, kMonths[mm], yy, hh, mi);
  out += line;
  out += "Sb: ";
  // Some replies do not name their parent (a capture that starts in the
  // middle of a thread shows them so): their subject finds the thread.
  bool named = parent != size_t(-1) && rng_() % 10 != 0;
  if (named) out += "#" + std::to_string(opt_.firstNumber + parent) + "-";
  out += t.subject + "\n";
  out += "Fm: " + person(from) + "\n";
  out += "To: " + (parent == size_t(-1) ? std::string("All") : person(sender_[parent])) + "\n\n";
  int lines = 2 + int(rng_() % 5);
  for (int l = 0; l < lines; ++l) {
    int words = 4 + int(rng_() % 8);
    for (int w = 0; w < words; ++w) out += (w ? " " : "") + word(rng_);
    out += ".\n";
  }
  out += "\n";

  t.messages.push_back(index_);
  summary_.messages = index_ + 1;
  summary_.threads = threads_.size();
  if (named) ++summary_.replies;
  summary_.threadOf.push_back(uint32_t(thread));
  summary_.numbers.push_back(number);
  ++index_;
  return true;
}

std::string forumCapture(const ForumOptions& options, ForumSummary* summary) {
  ForumGenerator gen(options);
  std::string out = "Captured from the forum.\n";
  while (gen.next(out)) {
  }
  if (summary) *summary = gen.summary();
  return out;
}

bool writeForumCapture(const std::string& path, const ForumOptions& options, ForumSummary* summary) {
  ForumGenerator gen(options);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  std::string block = "Captured from the forum.\n";
  while (gen.next(block)) {
    if (block.size() > (1u << 20)) {
      file << block;
      block.clear();
    }
  }
  file << block;
  if (summary) *summary = gen.summary();
  return bool(file);
}

}  // namespace qvbench
