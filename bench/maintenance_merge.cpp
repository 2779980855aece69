#include "maintenance_merge.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench_run.h"
#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "maintenance/merge_run.h"
#include "services/databases.h"
#include "services/db_kind.h"
#include "services/file_service.h"
#include "services/globals.h"

using qvbench::Clock;
using qvbench::since;

namespace qvbench {

namespace {

constexpr uint32_t kFirstMessage = 1000000;
constexpr uint32_t kPersonBase = 100;
constexpr uint32_t kThreadBase = 200000;
constexpr uint32_t kSectionBase = 100;
constexpr uint32_t kPersons = 500;
constexpr uint32_t kSections = 20;
constexpr uint32_t kPerThread = 20;

std::string nameOf(uint32_t p) { return "Name" + std::to_string(p); }

// A database whose messages are the generated messages first..first+count-1:
// message i is the same message in every database that holds it.
uint32_t generate(int kind, const std::string& name, uint32_t first, uint32_t count) {
  using namespace qv;
  uint32_t id = 0;
  if (kind == KindMailDb) {
    MailboxSpec spec;
    spec.owner = name;
    spec.address = "owner@bench.example";
    id = AddMailbox(spec, false, 0);
  } else {
    id = AddForumDatabase(name, kind, 0);
  }
  if (!id || !selectDatabase(id) || count == 0) return id;
  uint32_t owner = Mem.PersonID;
  std::vector<int> files = {FileMsgText, FilePerson};
  if (kind == KindMailDb) files.push_back(FileMail);
  else files.insert(files.end(), {FileMsgNmbr, FileThreads, FileSections});
  OP_CLOSE(OpShared, files);
  std::vector<File*> open;
  for (int f : files) open.push_back(&declaredFile(f));
  bool ok = true;
  for (File* f : open) ok = f->stream() && ok;
  for (uint32_t p = 0; ok && p < kPersons; ++p) {
    PER = PersonRec();
    PER.PERSONID = kPersonBase + p;
    PER.FIRSTNAME = "Bench";
    PER.LASTNAME = nameOf(p);
    PER.ADDRESS = nameOf(p) + "@bench.example";
    PER.PERSONSTRING = "BENCH " + nameOf(p) + " " + nameOf(p) + "@bench.example";
    ok = Person.append();
  }
  uint32_t firstThread = first / kPerThread, lastThread = (first + count - 1) / kPerThread;
  if (kind != KindMailDb) {
    for (uint32_t s = 0; ok && s < kSections; ++s) {
      SEC = SectionsRec();
      SEC.SECSYSID = kSectionBase + s;
      SEC.SECTIONNUMBER = uint8_t(s + 1);
      SEC.DESCRIPTION = "Section " + std::to_string(s);
      ok = Sections.append();
    }
    for (uint32_t t = firstThread; ok && t <= lastThread; ++t) {
      THR = ThreadsRec();
      THR.THREADNUMBER = kThreadBase + t;
      THR.SECSYSID = kSectionBase + t % kSections;
      THR.ALPHA = "Thread" + std::to_string(t);
      ok = Threads.append();
    }
  }
  for (uint32_t i = first; ok && i < first + count; ++i) {
    uint32_t mid = kFirstMessage + i, from = i % kPersons, to = (i * 7 + 3) % kPersons;
    if (kind == KindMailDb) {
      MAI = MailRec();
      MAI.MAILID = mid;
      MAI.DATE = 80000 + int32_t(i / 50);
      MAI.TIME = 1 + int32_t((i * 7919) % 1440) * 6000;
      MAI.SUBJECT = "Subject " + std::to_string(i);
      bool sent = i % 2 == 0;
      MAI.FROMID = sent ? owner : kPersonBase + from;
      MAI.TOID = sent ? kPersonBase + from : owner;
      MAI.PAIRID = kPersonBase + from;
      MAI.PAIRALPHA = nameOf(from);
      MAI.RECIPTYPE = "TO";
      ok = Mail.append();
    } else {
      uint32_t t = i / kPerThread;
      MSG = MsgNmbrRec();
      MSG.MSGNUMBER = mid;
      MSG.SECSYSID = kSectionBase + t % kSections;
      MSG.THREADNUMBER = kThreadBase + t;
      MSG.THREADALPHA = "Thread" + std::to_string(t);
      MSG.FROMID = kPersonBase + from;
      MSG.FROMALPHA = nameOf(from).substr(0, 10);
      MSG.TOID = kPersonBase + to;
      MSG.TOALPHA = nameOf(to).substr(0, 10);
      MSG.DATE = 80000 + int32_t(i / 50);
      MSG.REFNUMBER = i % kPerThread ? mid - 1 : 0;
      ok = MsgNmbr.append();
    }
    TXT = MsgTextRec();
    TXT.MSGNUMBER = mid;
    TXT.DATE = 90000;
    TXT.MsgText = "Generated text of message " + std::to_string(i) + ".\r\nA second line of words.\r\n";
    ok = ok && MsgText.append();
    if (ok && i % 50000 == 49999)
      for (File* f : open) ok = f->flush() && f->stream() && ok;
  }
  for (File* f : open) ok = f->flush() && f->buildKeys() && ok;
  OP_CLOSE(OpRelease, files);
  if (!ok) {
    std::fprintf(stderr, "generating failed: %s\n", ErrorText().c_str());
    return 0;
  }
  return id;
}

bool merge(uint32_t source, uint32_t target, double& seconds, qv::MergeView& view) {
  qv::MergeRun run(source, target);
  auto t0 = Clock::now();
  if (!run.start()) {
    std::fprintf(stderr, "merge refused: %s\n", run.failure().c_str());
    return false;
  }
  int result = qv::runToEnd(run);
  seconds = since(t0);
  view = run.view();
  if (result != 1) {
    std::fprintf(stderr, "merge failed: %s\n", view.status.c_str());
    return false;
  }
  return true;
}

}  // namespace

int runMergeBench(uint32_t messages, const std::string& kinds) {
  std::printf("%-6s %-28s %10s %10s %10s %10s %12s\n", "kind", "merge", "source", "merged", "skipped", "seconds",
              "messages/s");
  for (int kind : {qv::KindForumDb, qv::KindMailDb}) {
    const char* word = kind == qv::KindMailDb ? "mail" : "forum";
    if (kinds.find(word) == std::string::npos) continue;
    std::string base = std::string(word) + " " + std::to_string(messages);
    uint32_t a = generate(kind, base + " A", 0, messages);
    uint32_t b = generate(kind, base + " B", messages / 2, messages);
    uint32_t target = generate(kind, base + " Merged", 0, 0);
    if (!a || !b || !target) return 1;
    struct Step {
      uint32_t source;
      const char* what;
    };
    for (Step s : {Step{a, "into an empty database"}, Step{b, "into it, half of them shared"}}) {
      double seconds = 0;
      qv::MergeView v;
      if (!merge(s.source, target, seconds, v)) return 1;
      std::printf("%-6s %-28s %10lld %10lld %10lld %10.1f %12.0f\n", word, s.what,
                  static_cast<long long>(v.sourceRecords), static_cast<long long>(v.merged),
                  static_cast<long long>(v.skipped), seconds, double(v.sourceRecords) / std::max(seconds, 1e-9));
      std::fflush(stdout);
    }
  }
  return 0;
}

}  // namespace qvbench
