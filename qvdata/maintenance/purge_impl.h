// The inside of a purge or count run, shared by the files of its steps:
// purge_run.cpp (the driver and the order of the steps), purge_deletes.cpp,
// purge_orphans.cpp, purge_counts.cpp and purge_marks.cpp.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "maintenance/purge_run.h"
#include "services/engine_run.h"
#include "services/db_kind.h"

namespace qv {

class File;

// The steps, under the numbers they have always had. Forum and newsgroup
// databases and mail share some numbers for different work; each kind's
// table in purge_run.cpp says which runs.
enum PurgeStepNumber : int {
  StepAgeThreads = 99,      // forum: collect aged threads
  StepMarkAged = 100,       // forum: give them status delete
  StepPrepareTimes = 98,    // mail: shown before the duplicates; no work (times are compared to the minute there)
  StepDuplicates = 99,      // mail: mark later copies of a mail
  StepDeleteThreads = 1,    // forum: threads of status delete / mail: partners of status delete
  StepDeleteMessages = 2,   // messages (mail) of status delete
  StepDeleteSections = 23,  // forum: threads of sections of status delete
  StepSearchOrphans = 3,    // forum: SIndex entries of gone messages and topics
  StepTopicCounts = 4,      // forum: COD.COUNT
  StepWordList = 26,        // the word list's count key
  StepPersonLinks = 8,      // forum: PLINK of gone persons
  StepReceivers = 10,       // newsgroup: receivers from the answered messages
  StepPersons = 5,          // person counts
  StepThreadCounts = 6,     // forum: THR.MSGCOUNT
  StepSectionCounts = 7,    // forum: SEC.MSGCOUNT, then the database record
  StepCarbonCopies = 33,    // mail: CCR of gone mail (the mail's step 3)
  StepMailLinks = 37,       // mail: PLINK of gone persons (the mail's step 7)
  StepMailSearchOrphans = 39,  // mail: as StepSearchOrphans (the mail's step 9)
  StepMailTopicCounts = 40,    // mail: as StepTopicCounts (the mail's step 10)
  StepExtras = 41,          // the Extras rows whose record is gone, last
  StepDone = -1,
};

struct PurgeRun::Impl : EngineRun {
  using Work = std::vector<int64_t>;

  Impl();
  ~Impl() override { close(); }

  int mode = PurgeCounting;
  int kind = 0;
  uint16_t ageWeeks = 0;
  PurgeView view;

  bool wordIndex = false;       // WordList and MasIdx exist
  bool originals = false;       // the Originals file exists
  bool subjects = false;        // the Subjects file exists
  // The Extras file exists. Its rows of deleted records go in a last step of
  // transactions of their own: with every other file the run holds, a
  // transaction would pass the 11 files one may hold.
  bool extras = false;
  bool wordsChanged = false;    // word counts changed in this run
  // Word ID -> index entries removed in the open transaction, applied to
  // the word list in the same commit.
  std::map<uint32_t, int32_t> wordLoss;
  Work aged;                    // forum: threads found aged
  uint8_t databaseStatus = 0;  // FOR.DUMMY at the start
  uint32_t ownerId = 0;         // mail: the mailbox owner's person

  bool mail() const { return kind == KindMailDb; }
  bool news() const { return kind == KindNewsDb; }

  // Opens the files and begins at the first step; false (Failed) when the
  // database cannot be had.
  bool start();
  int currentStep() const { return step; }
  // After a batch of steps 1 and 2: short of kPurgeReopenSpace, commits and
  // closes and reopens the files; the walk goes on where it was.
  bool reopenWhenShort();

  // The steps (EngineRun walks them): each collects its records once, then
  // works them one by one; nextStep() gives the next step.
  std::string stepLabel() const override;
  void collect() override;
  bool item(int64_t record) override;
  int nextStep() override;
  bool sliceEnded() override;
  void finished() override;
  // Every commit takes the word list's losses with it.
  bool beforeCommit() override { return applyWordLoss(); }
  void rolledBack() override { wordLoss.clear(); }

  // purge_deletes.cpp
  bool deleteMessage(uint32_t id);      // forum and newsgroup
  bool purgeThread(uint32_t thread);    // its messages but the kept; the thread when none was kept
  bool deleteMail(uint32_t id);
  bool purgePartner(uint32_t person);   // its mail but the kept; the partner when none was kept
  bool dropMessageParts(File& records, uint32_t id, int& ops);
  bool dropWords(uint32_t id);
  bool applyWordLoss();
  bool dropSubject(uint32_t id);
  void collectExtras();
  bool dropExtra(int64_t position);
  // purge_marks.cpp
  void collectAgedThreads();
  bool qualifyAged(uint32_t thread);
  bool markAged(uint32_t thread);
  void collectDuplicates();
  bool markDuplicate(uint32_t id);
  // purge_orphans.cpp
  void collectSearchMessages();
  bool dropSearchOrphans(int64_t messageOrTopic);
  void collectTopics();
  bool countTopic(int64_t position);
  void collectLinks();
  bool dropLinkOrphan(int64_t position);
  void collectCarbonCopies();
  bool dropCarbonCopies(uint32_t mailId);
  bool rebuildWordList();
  bool messageExists(uint32_t id);
  // purge_counts.cpp
  void collectReceivers();
  bool setReceiver(uint32_t id);
  void collectPersons(int status);     // status < 0: every person
  bool countPerson(uint32_t id);
  void collectThreads(int status);       // status < 0: every thread
  bool countThread(uint32_t thread);
  void collectSections();
  bool countSection(uint32_t section);
  bool storeDatabaseCounts();
  // Changes the database record (Forums) through `edit`, on its own.
  bool updateDatabaseRecord(const std::function<void()>& edit);
  bool has(int file) const;
  void countersAtEnd();
};

}  // namespace qv
