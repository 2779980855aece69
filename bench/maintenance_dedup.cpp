#include "maintenance_dedup.h"

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "bench_run.h"
#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "maintenance/dup_run.h"
#include "services/databases.h"
#include "services/db_kind.h"
#include "services/file_service.h"
#include "services/globals.h"

namespace qvbench {

namespace {

constexpr uint32_t kFirstMessage = 3000000;
constexpr uint32_t kPersonBase = 5000000;
constexpr uint32_t kMessagesPerPerson = 10;
constexpr uint32_t kDuplicateEvery = 10;  // person p with p % 10 == 9 duplicates p - 1
constexpr uint32_t kThreads = 1000;

std::string lastName(uint32_t p) { return "Last" + std::to_string(p); }

// The address of person p: a duplicate writes its original's address in
// another form that means the same.
std::string addressOf(int kind, uint32_t p) {
  bool duplicate = p % kDuplicateEvery == kDuplicateEvery - 1;
  uint32_t q = duplicate ? p - 1 : p;
  if (kind == qv::KindMailDb) return (duplicate ? "PERSON" : "person") + std::to_string(q) + "@bench.example";
  return std::to_string(70000 + q) + (duplicate ? "." : ",") + std::to_string(100 + q % 900);
}

bool flushAll(const std::vector<qv::File*>& files) {
  for (qv::File* f : files)
    if (!f->flush() || !f->stream()) return false;
  return true;
}

uint32_t generate(int kind, uint32_t messages) {
  using namespace qv;
  std::mt19937 rng(messages * 7 + uint32_t(kind));
  std::string name = std::string(kind == KindMailDb ? "Dup Mail " : "Dup Forum ") + std::to_string(messages);
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
  const uint32_t persons = std::max<uint32_t>(20, messages / kMessagesPerPerson);
  std::vector<int> files = {FilePerson};
  if (kind == KindMailDb) files.push_back(FileMail);
  else files.insert(files.end(), {FileMsgNmbr, FileThreads, FileSections});
  OP_CLOSE(OpShared, files);
  std::vector<File*> open;
  for (int f : files) open.push_back(&declaredFile(f));
  bool ok = flushAll(open);
  for (uint32_t p = 0; ok && p < persons; ++p) {
    PER = PersonRec();
    PER.PERSONID = kPersonBase + p;
    PER.LASTNAME = lastName(p);
    PER.FIRSTNAME = "Bench";
    PER.ADDRESS = addressOf(kind, p);
    PER.PERSONSTRING = "BENCH " + lastName(p) + " " + PER.ADDRESS.str();
    ok = Person.append();
  }
  if (kind != KindMailDb) {
    SEC = SectionsRec();
    SEC.SECSYSID = 1;
    SEC.SECTIONNUMBER = 1;
    SEC.DESCRIPTION = "General";
    ok = ok && Sections.append();
    for (uint32_t t = 0; ok && t < kThreads; ++t) {
      THR = ThreadsRec();
      THR.THREADNUMBER = t + 1;
      THR.SECSYSID = 1;
      THR.ALPHA = "Thread" + std::to_string(t);
      ok = Threads.append();
    }
  }
  for (uint32_t i = 0; ok && i < messages; ++i) {
    uint32_t mid = kFirstMessage + i, from = rng() % persons, to = rng() % persons;
    int32_t date = 80000 + int32_t(i / 50);
    if (kind == KindMailDb) {
      MAI = MailRec();
      MAI.MAILID = mid;
      MAI.DATE = date;
      MAI.TIME = 1 + int32_t(rng() % 8640000);
      MAI.SUBJECT = "Subject " + std::to_string(i);
      bool sent = i % 2 == 0;
      MAI.FROMID = sent ? owner : kPersonBase + from;
      MAI.TOID = sent ? kPersonBase + from : owner;
      MAI.PAIRID = kPersonBase + from;
      MAI.PAIRALPHA = lastName(from);
      MAI.FROMALPHA = sent ? std::string() : lastName(from).substr(0, 10);
      MAI.TOALPHA = sent ? lastName(from).substr(0, 10) : std::string();
      ok = Mail.append();
    } else {
      MSG = MsgNmbrRec();
      MSG.MSGNUMBER = mid;
      MSG.SECSYSID = 1;
      MSG.THREADNUMBER = 1 + i % kThreads;
      MSG.THREADALPHA = "Thread" + std::to_string(i % kThreads);
      MSG.FROMID = kPersonBase + from;
      MSG.FROMALPHA = lastName(from).substr(0, 10);
      MSG.TOID = kPersonBase + to;
      MSG.TOALPHA = lastName(to).substr(0, 10);
      MSG.DATE = date;
      ok = MsgNmbr.append();
    }
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

}  // namespace

bool benchDedup(int kind, uint32_t messages, DedupResult& result) {
  auto t0 = Clock::now();
  if (!generate(kind, messages)) return false;
  result.generate = since(t0);
  qv::DupRun run;
  t0 = Clock::now();
  if (run.start()) qv::runToEnd(run);
  result.seconds = since(t0);
  if (run.state() != qv::PurgeState::Finished) {
    std::fprintf(stderr, "duplicate elimination failed: %s\n", run.view().failure.c_str());
    return false;
  }
  result.persons = run.view().counters[qv::DupBefore];
  result.merged = run.view().counters[qv::DupMerged];
  int64_t generated = std::max<int64_t>(20, messages / kMessagesPerPerson);
  if (result.merged != generated / kDuplicateEvery) {
    std::fprintf(stderr, "duplicate elimination merged %lld of %lld duplicates\n", static_cast<long long>(result.merged),
                 static_cast<long long>(generated / kDuplicateEvery));
    return false;
  }
  return true;
}

}  // namespace qvbench
