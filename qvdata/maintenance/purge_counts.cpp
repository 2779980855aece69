// The counting steps of a purge or count run: receivers of newsgroup
// articles, persons' message counts, threads' and sections' message counts
// and the database record's message count.
#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "maintenance/purge_impl.h"
#include "services/file_scope.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/persons.h"

namespace qv {

void PurgeRun::Impl::collectReceivers() {
  MsgNmbr.setFileOrder();
  while (MsgNmbr.next())
    if (MSG.REFNUMBER != 0) work.push_back(MSG.MSGNUMBER);
}

// An answer's receiver is the sender of the message it answers.
bool PurgeRun::Impl::setReceiver(uint32_t id) {
  MSG = MsgNmbrRec();
  MSG.MSGNUMBER = id;
  if (!MsgNmbr.get(MSG_IdKey) || MSG.REFNUMBER == 0) return true;
  uint32_t to = MSG.TOID;
  MSG.MSGNUMBER = MSG.REFNUMBER;
  if (!MsgNmbr.get(MSG_IdKey)) return true;
  uint32_t from = MSG.FROMID;
  std::string fromAlpha = MSG.FROMALPHA.str();
  if (from == to) return true;
  MSG = MsgNmbrRec();
  MSG.MSGNUMBER = id;
  if (!MsgNmbr.get(MSG_IdKey)) return true;
  if (!change()) return false;
  MSG.TOID = from;
  MSG.TOALPHA = fromAlpha;
  if (!MsgNmbr.put()) return fail("the receiver of message " + std::to_string(id) + " could not be stored: " + ErrorText());
  return done();
}

void PurgeRun::Impl::collectPersons(int status) {
  Person.set(PER_PersonKey);
  while (Person.next())
    if (status < 0 || PER.DUMMY == status) work.push_back(PER.PERSONID);
}

bool PurgeRun::Impl::countPerson(uint32_t id) {
  PER = PersonRec();
  PER.PERSONID = id;
  if (!Person.get(PER_PersonKey)) return true;
  int answer = mail() ? CFromToMail(id == ownerId ? RecountZeroNone : RecountReportNone) : RecountForumPerson();
  if (answer != RecountChanged && answer != RecountNoMessages) return true;
  if (!change()) return false;
  bool ok = answer == RecountChanged ? Person.put() : Person.remove();
  if (!ok) return fail("person " + std::to_string(id) + " could not be stored: " + ErrorText());
  return done();
}

void PurgeRun::Impl::collectThreads(int status) {
  THR = ThreadsRec();
  if (status < 0) {
    Threads.set(THR_ThreadKey);
  } else {
    THR.DUMMY = uint8_t(status);
    Threads.setPrefix(THR_StatusKey, 1);
  }
  while (Threads.next() && (status < 0 || THR.DUMMY == status)) work.push_back(THR.THREADNUMBER);
}

bool PurgeRun::Impl::countThread(uint32_t thread) {
  THR = ThreadsRec();
  THR.THREADNUMBER = thread;
  if (!Threads.get(THR_ThreadKey)) return true;
  uint32_t n = 0;
  MSG = MsgNmbrRec();
  MSG.THREADALPHA = THR.ALPHA.str();
  MSG.THREADNUMBER = thread;
  MsgNmbr.setPrefix(MSG_Threadkey, 2);
  while (MsgNmbr.next() && MSG.THREADNUMBER == thread) ++n;
  if (n != 0 && n == THR.MSGCOUNT) return true;
  if (!change()) return false;
  bool ok = true;
  if (n == 0) {
    ok = Threads.remove() && dropSubject(thread);
  } else {
    THR.MSGCOUNT = n;
    ok = Threads.put();
  }
  if (!ok) return stopped() ? false : fail("thread " + std::to_string(thread) + " could not be stored: " + ErrorText());
  return done();
}

// Counting: every section. Purging (the sections' step): the threads, not
// kept, of the sections of status delete (of every section not kept when the
// whole database has status delete).
void PurgeRun::Impl::collectSections() {
  std::vector<uint32_t> sections;
  Sections.set(SEC_SysIdKey);
  while (Sections.next()) {
    if (step != StepDeleteSections || SEC.DUMMY == 2 || (SEC.DUMMY != 1 && databaseStatus == 2))
      sections.push_back(SEC.SECSYSID);
  }
  if (step != StepDeleteSections) {
    work.assign(sections.begin(), sections.end());
    return;
  }
  for (uint32_t section : sections) {
    THR = ThreadsRec();
    THR.SECSYSID = section;
    Threads.setPrefix(THR_SecKey, 1);
    while (Threads.next() && THR.SECSYSID == section)
      if (THR.DUMMY != 1) work.push_back(THR.THREADNUMBER);
  }
}

// A section's count is the number of messages that name it, as the
// section's view lists them. Summing the counts of the section's threads
// instead went wrong where a reply joined its parent's thread in another
// section (as the import places it): the reply counted for the thread's
// section, and a section whose messages all answered threads elsewhere was
// deleted under them.
bool PurgeRun::Impl::countSection(uint32_t section) {
  uint32_t sum = 0;
  MSG = MsgNmbrRec();
  MSG.SECSYSID = section;
  MsgNmbr.setPrefix(MSG_SECkey, 1);
  while (MsgNmbr.next() && MSG.SECSYSID == section) ++sum;
  SEC = SectionsRec();
  SEC.SECSYSID = section;
  if (!Sections.get(SEC_SysIdKey) || (sum != 0 && sum == SEC.MSGCOUNT)) return true;
  if (!change()) return false;
  SEC.MSGCOUNT = sum;
  if (!(sum == 0 ? Sections.remove() : Sections.put()))
    return fail("section " + std::to_string(section) + " could not be stored: " + ErrorText());
  return done();
}

bool PurgeRun::Impl::updateDatabaseRecord(const std::function<void()>& edit) {
  FileScope scope({FileForums});
  FOR = ForumsRec();
  FOR.ID = Mem.ForumNumber;
  bool ok = Forums.get(FOR_ForumKey) && Forums.hold(5);
  if (ok) {
    edit();
    ok = Forums.put();
    Forums.release();
  }
  scope.release();
  return ok || fail("the database record could not be stored: " + ErrorText());
}

bool PurgeRun::Impl::storeDatabaseCounts() {
  int64_t n = (mail() ? Mail : MsgNmbr).records();
  return updateDatabaseRecord([n] {
    FOR.MSGCOUNT = uint32_t(n);
    FOR.COUNTFLAG = 0;
  });
}

void PurgeRun::Impl::countersAtEnd() {
  if (mode == PurgePurging) {
    view.counters[2] = view.counters[0] - view.counters[1];
    return;
  }
  int64_t persons = Person.records();
  if (mail()) {
    view.counters[0] = Mail.records();
    view.counters[1] = persons > 0 ? persons - 1 : 0;
  } else {
    view.counters[0] = MsgNmbr.records();
    view.counters[1] = Threads.records();
  }
  view.counters[2] = persons;
}

}  // namespace qv
