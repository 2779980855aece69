// bench_maintenance: the purge and the count over generated forum and mail
// databases of two sizes (100,000 and 1,000,000 messages by default), a
// tenth of the messages marked for deletion. Prints purge seconds, count
// seconds and deleted messages per second for each, and the ratio of the
// large to the small (aim: within 12 times for ten times the messages, and a
// count of 1,000,000 messages within a minute). Then duplicate elimination
// over databases of the same sizes with a person to every ten messages, a
// tenth of them duplicates: seconds and the ratio (aim: linear). With
// --merge N, the merge of generated databases instead (maintenance_merge.h).
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench_options.h"
#include "bench_run.h"
#include "maintenance_dedup.h"
#include "maintenance_merge.h"
#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "maintenance/purge_run.h"
#include "services/databases.h"
#include "services/db_kind.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/startup.h"

using qvbench::Clock;
using qvbench::since;

namespace {

constexpr uint32_t kFirstMessage = 1000000;
constexpr uint32_t kPersonBase = 100;
constexpr uint32_t kThreadBase = 200000;
constexpr uint32_t kSectionBase = 100;
constexpr uint32_t kWords = 500;       // distinct words of the index
constexpr uint32_t kWordsPerText = 8;  // index entries of a message
constexpr uint32_t kDeleteEvery = 10;  // a tenth of the messages are marked

std::string nameOf(uint32_t p) { return "Name" + std::to_string(p); }

bool flushAll(const std::vector<qv::File*>& files) {
  for (qv::File* f : files)
    if (!f->flush() || !f->stream()) return false;
  return true;
}

// The parts of a message every kind has: its text and its index entries.
bool addTextAndWords(uint32_t id, std::mt19937& rng) {
  using namespace qv;
  TXT = MsgTextRec();
  TXT.MSGNUMBER = id;
  TXT.MsgText = "Generated text of message " + std::to_string(id) + ".\r\n";
  if (!MsgText.append()) return false;
  uint32_t first = rng() % kWords;
  for (uint32_t w = 0; w < kWordsPerText; ++w) {
    MAS = MasIdxRec();
    MAS.SYSID = id;
    MAS.WORDID = 1 + (first + w * 37) % kWords;
    if (!MasIdx.append()) return false;
  }
  return true;
}

bool addWordList(uint32_t messages) {
  using namespace qv;
  for (uint32_t w = 1; w <= kWords; ++w) {
    WOR = WordListRec();
    WOR.WORDID = int32_t(w);
    WOR.THEWORD = "WORD" + std::to_string(w);
    WOR.WORDCOUNT = int32_t(uint64_t(messages) * kWordsPerText / kWords);
    if (!WordList.append()) return false;
  }
  return true;
}

uint32_t generate(int kind, uint32_t messages) {
  using namespace qv;
  std::mt19937 rng(messages + uint32_t(kind));
  std::string name = std::string(kind == KindMailDb ? "Mail " : "Forum ") + std::to_string(messages);
  uint32_t id = 0;
  if (kind == KindMailDb) {
    MailboxSpec spec;
    spec.owner = name;
    spec.address = "owner@bench.example";
    id = AddMailbox(spec, false, 0);
  } else {
    id = AddForumDatabase(name, kind, 0);
  }
  if (!id || !selectDatabase(id)) return 0;
  uint32_t owner = Mem.PersonID;
  const uint32_t persons = std::max<uint32_t>(20, messages / 100), threads = std::max<uint32_t>(1, messages / 20);
  std::vector<int> files = {FileMsgText, FilePerson, FileMasIdx, FileWordList};
  if (kind == KindMailDb) files.push_back(FileMail);
  else files.insert(files.end(), {FileMsgNmbr, FileThreads, FileSections});
  OP_CLOSE(OpShared, files);
  std::vector<File*> open;
  for (int f : files) open.push_back(&declaredFile(f));
  bool ok = flushAll(open) && addWordList(messages);
  for (uint32_t p = 0; ok && p < persons; ++p) {
    PER = PersonRec();
    PER.PERSONID = kPersonBase + p;
    PER.LASTNAME = nameOf(p);
    PER.FIRSTNAME = "Bench";
    PER.PERSONSTRING = "BENCH " + nameOf(p) + " " + std::to_string(p);
    ok = Person.append();
  }
  if (kind != KindMailDb) {
    for (uint32_t s = 0; ok && s < 20; ++s) {
      SEC = SectionsRec();
      SEC.SECSYSID = kSectionBase + s;
      SEC.SECTIONNUMBER = uint8_t(s + 1);
      SEC.DESCRIPTION = "Section " + std::to_string(s);
      ok = Sections.append();
    }
    for (uint32_t t = 0; ok && t < threads; ++t) {
      THR = ThreadsRec();
      THR.THREADNUMBER = kThreadBase + t;
      THR.SECSYSID = kSectionBase + t % 20;
      THR.ALPHA = "Thread" + std::to_string(t % 1000);
      ok = Threads.append();
    }
  }
  for (uint32_t i = 0; ok && i < messages; ++i) {
    uint32_t mid = kFirstMessage + i, from = rng() % persons, to = rng() % persons;
    uint8_t status = i % kDeleteEvery == 3 ? 2 : 0;
    if (kind == KindMailDb) {
      MAI = MailRec();
      MAI.MAILID = mid;
      MAI.DATE = 80000 + int32_t(i / 50);
      MAI.TIME = 1 + int32_t(rng() % 8640000);
      MAI.SUBJECT = "Subject " + std::to_string(i);
      bool sent = i % 2 == 0;
      MAI.FROMID = sent ? owner : kPersonBase + from;
      MAI.TOID = sent ? kPersonBase + from : owner;
      MAI.PAIRID = kPersonBase + from;
      MAI.PAIRALPHA = nameOf(from);
      MAI.FROMALPHA = sent ? std::string() : nameOf(from).substr(0, 10);
      MAI.TOALPHA = sent ? nameOf(from).substr(0, 10) : std::string();
      MAI.DUMMY = status;
      ok = Mail.append();
    } else {
      uint32_t t = std::min<uint32_t>(threads - 1, i / 20);
      MSG = MsgNmbrRec();
      MSG.MSGNUMBER = mid;
      MSG.SECSYSID = kSectionBase + t % 20;
      MSG.THREADNUMBER = kThreadBase + t;
      MSG.THREADALPHA = "Thread" + std::to_string(t % 1000);
      MSG.FROMID = kPersonBase + from;
      MSG.FROMALPHA = nameOf(from).substr(0, 10);
      MSG.TOID = kPersonBase + to;
      MSG.TOALPHA = nameOf(to).substr(0, 10);
      MSG.DATE = 80000 + int32_t(i / 50);
      MSG.DUMMY = status;
      ok = MsgNmbr.append();
    }
    ok = ok && addTextAndWords(mid, rng);
    if (ok && i % 50000 == 49999) ok = flushAll(open);
  }
  for (File* f : open) ok = f->flush() && f->buildKeys() && ok;
  OP_CLOSE(OpRelease, files);
  if (!ok) {
    std::fprintf(stderr, "generating failed: %s\n", ErrorText().c_str());
    return 0;
  }
  return id;
}

struct Result {
  double purge = 0;
  double count = 0;
  int64_t deleted = 0;
};

// Seconds by step label of the last run, for --steps.
std::map<std::string, double> stepSeconds;

bool runOne(int mode, double& seconds, int64_t* deleted) {
  qv::PurgeRun run(mode);
  auto t0 = Clock::now();
  stepSeconds.clear();
  bool started = run.start();
  while (started) {
    std::string label = run.view().label;
    auto s0 = Clock::now();
    bool more = run.tick(std::chrono::milliseconds(200));
    stepSeconds[label] += since(s0);
    if (!more) break;
  }
  if (!started || run.state() != qv::PurgeState::Finished) {
    std::fprintf(stderr, "run failed: %s\n", run.view().failure.c_str());
    return false;
  }
  seconds = since(t0);
  if (deleted) *deleted = run.view().counters[1];
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  uint32_t small = 100000, large = 1000000;
  std::string dir;
  qvbench::Options o("bench_maintenance",
                     "Purge and count over generated forum and mail databases of two sizes, a tenth marked for "
                     "deletion.");
  o.value("--small", "N", "messages of the smaller databases (default 100,000)", small);
  o.value("--large", "N", "messages of the larger databases (default 1,000,000)", large);
  o.value("--dir", "DIR", "installation directory to use (default: a new one under /tmp)", dir);
  o.flag("--quick", "10,000 and 100,000 messages", [&] {
    small = 10000;
    large = 100000;
  });
  bool steps = false;
  std::string kinds = "forum,mail,dedup";
  o.flag("--steps", "print the seconds of each step of every run", [&] { steps = true; });
  o.value("--kinds", "LIST",
          "forum, mail (purge and count) and dedup (duplicate elimination of both kinds); default forum,mail,dedup",
          kinds);
  uint32_t mergeSize = 0;
  o.value("--merge", "N",
          "instead of the purge and count: merge a database of N generated messages into an empty one, then one "
          "of N more, half of them the same messages, into the result (N = 100,000 for the measure asked)",
          mergeSize);
  if (int rc = o.parse(argc, argv); rc >= 0) return rc;
  if (dir.empty()) {
    char tmpl[] = "/tmp/bench_maintenance.XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    dir = tmpl;
  }
  static qvbench::QuietPrompter prompter;
  qv::setPrompter(&prompter);
  qv::Mem.DoTask = qv::RunUnattended;
  std::string error;
  if (qv::StartupChecks(dir, error) == qv::StartupStop) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  if (mergeSize > 0) return qvbench::runMergeBench(mergeSize, kinds);
  bool purgeKinds = kinds.find("forum") != std::string::npos || kinds.find("mail") != std::string::npos;
  if (purgeKinds)
    std::printf("%-6s %10s %10s %10s %10s %14s\n", "kind", "messages", "generate", "purge s", "count s", "deleted/s");
  for (int kind : {qv::KindForumDb, qv::KindMailDb}) {
    if (kinds.find(kind == qv::KindMailDb ? "mail" : "forum") == std::string::npos) continue;
    Result r[2];
    uint32_t sizes[2] = {small, large};
    for (int k = 0; k < 2; ++k) {
      auto t0 = Clock::now();
      if (!generate(kind, sizes[k])) return 1;
      double gen = since(t0);
      auto show = [&](const char* what) {
        if (!steps) return;
        for (const auto& [label, sec] : stepSeconds)
          std::printf("    %s %-48s %8.2f s\n", what, label.empty() ? "(end)" : label.c_str(), sec);
      };
      if (!runOne(qv::PurgePurging, r[k].purge, &r[k].deleted)) return 1;
      show("purge");
      if (!runOne(qv::PurgeCounting, r[k].count, nullptr)) return 1;
      show("count");
      std::printf("%-6s %10u %10.1f %10.1f %10.1f %14.0f\n", kind == qv::KindMailDb ? "mail" : "forum", sizes[k], gen,
                  r[k].purge, r[k].count, double(r[k].deleted) / std::max(r[k].purge, 1e-9));
      std::fflush(stdout);
    }
    std::printf("%-6s ratio large/small: purge %.1f, count %.1f (aim: within 12)\n",
                kind == qv::KindMailDb ? "mail" : "forum", r[1].purge / std::max(r[0].purge, 1e-9),
                r[1].count / std::max(r[0].count, 1e-9));
  }
  if (kinds.find("dedup") == std::string::npos) return 0;
  std::printf("\nduplicate elimination (a person to every ten messages, a tenth of them duplicates)\n");
  std::printf("%-6s %10s %10s %10s %10s %10s\n", "kind", "messages", "persons", "generate", "dedup s", "merged");
  for (int kind : {qv::KindForumDb, qv::KindMailDb}) {
    qvbench::DedupResult d[2];
    uint32_t sizes[2] = {small, large};
    for (int k = 0; k < 2; ++k) {
      if (!qvbench::benchDedup(kind, sizes[k], d[k])) return 1;
      std::printf("%-6s %10u %10lld %10.1f %10.1f %10lld\n", kind == qv::KindMailDb ? "mail" : "forum", sizes[k],
                  static_cast<long long>(d[k].persons), d[k].generate, d[k].seconds,
                  static_cast<long long>(d[k].merged));
      std::fflush(stdout);
    }
    std::printf("%-6s ratio large/small: dedup %.1f (aim: linear, %.0f)\n", kind == qv::KindMailDb ? "mail" : "forum",
                d[1].seconds / std::max(d[0].seconds, 1e-9), double(large) / std::max<uint32_t>(small, 1));
  }
  return 0;
}
