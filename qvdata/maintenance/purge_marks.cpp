// The marks a purge sets before it deletes: aged threads of forum and
// newsgroup databases, and the later copies of a mail stored twice.
#include <algorithm>
#include <set>
#include <tuple>

#include "dictionary/dictionary.h"
#include "maintenance/purge_impl.h"
#include "services/datetime.h"
#include "services/text_match.h"
#include "storage/collation.h"

namespace qv {

namespace {

int32_t ageCutOff(uint16_t weeks) { return today() - 7 * int32_t(weeks); }

std::string textOf(uint32_t id) {
  TXT = MsgTextRec();
  TXT.MSGNUMBER = id;
  return MsgText.get(TXT_IdKey) ? TXT.MsgText : std::string();
}

// The start of a text the duplicate queue is sorted by: 30 characters.
std::string textStart(const std::string& text) {
  size_t n = 0, chars = 0;
  while (n < text.size() && chars < 30) {
    ++n;
    while (n < text.size() && (uint8_t(text[n]) & 0xC0) == 0x80) ++n;
    ++chars;
  }
  return text.substr(0, n);
}

struct Candidate {
  uint32_t id = 0;
  std::string subject;
  int32_t date = 0;
  int32_t time = 0;  // cut to its minute
  uint32_t from = 0;
  uint32_t to = 0;
  uint8_t status = 0;
  std::string start;
};

// Equal in everything the queue compares but the text beyond its start.
bool sameHeading(const Candidate& a, const Candidate& b) {
  return compareNoCase(a.subject, b.subject) == 0 && a.date == b.date && a.time == b.time && a.from == b.from &&
         a.to == b.to && a.start == b.start;
}

}  // namespace

void PurgeRun::Impl::collectAgedThreads() {
  std::set<uint32_t> threads;
  MSG = MsgNmbrRec();
  MSG.DATE = ageCutOff(ageWeeks);
  MSG.MSGNUMBER = UINT32_MAX;
  MsgNmbr.set(MSG_DateKey, MSG_DateKey);
  while (MsgNmbr.next()) threads.insert(MSG.THREADNUMBER);
  work.assign(threads.begin(), threads.end());
  aged.clear();
}

// A thread is aged when it is of status normal and none of its messages is
// dated after the cut-off.
bool PurgeRun::Impl::qualifyAged(uint32_t thread) {
  THR = ThreadsRec();
  THR.THREADNUMBER = thread;
  if (!Threads.get(THR_ThreadKey) || THR.DUMMY != 0) return true;
  int32_t cutOff = ageCutOff(ageWeeks);
  MSG = MsgNmbrRec();
  MSG.THREADALPHA = THR.ALPHA.str();
  MSG.THREADNUMBER = thread;
  MsgNmbr.setPrefix(MSG_Threadkey, 2);
  while (MsgNmbr.next() && MSG.THREADNUMBER == thread)
    if (MSG.DATE > cutOff) return true;
  aged.push_back(thread);
  return true;
}

bool PurgeRun::Impl::markAged(uint32_t thread) {
  THR = ThreadsRec();
  THR.THREADNUMBER = thread;
  if (!Threads.get(THR_ThreadKey) || THR.DUMMY != 0) return true;
  if (!change()) return false;
  THR.DUMMY = 2;
  if (!Threads.put()) return fail("thread " + std::to_string(thread) + " could not be marked: " + ErrorText());
  return done();
}

// Mails sharing subject, date and time (compared to the minute) are
// candidates; of the candidates equal in sender, receiver and text, the
// first (lowest ID) stays as the reference and the others are marked. The
// records keep their seconds: the key orders the times of one minute next
// to each other.
void PurgeRun::Impl::collectDuplicates() {
  std::vector<Candidate> queue;
  Candidate previous;
  bool havePrevious = false, previousQueued = false;
  Mail.set(MAI_SubjectKey);
  while (Mail.next()) {
    Candidate c{MAI.MAILID, MAI.SUBJECT.str(), MAI.DATE, minuteStart(MAI.TIME), MAI.FROMID, MAI.TOID, MAI.DUMMY, {}};
    bool equal = havePrevious && compareNoCase(c.subject, previous.subject) == 0 && c.date == previous.date &&
                 c.time == previous.time;
    if (equal) {
      if (!previousQueued) queue.push_back(previous);
      queue.push_back(c);
    }
    previousQueued = equal;
    previous = c;
    havePrevious = true;
  }
  for (Candidate& c : queue) c.start = textStart(textOf(c.id));
  std::sort(queue.begin(), queue.end(), [](const Candidate& a, const Candidate& b) {
    int s = compareNoCase(a.subject, b.subject);
    if (s != 0) return s < 0;
    return std::tie(a.date, a.time, a.from, a.to, a.start, a.id) < std::tie(b.date, b.time, b.from, b.to, b.start, b.id);
  });
  const Candidate* reference = nullptr;
  std::string referenceText;
  for (const Candidate& c : queue) {
    if (c.status == 2) continue;
    if (reference && sameHeading(*reference, c)) {
      std::string text = textOf(c.id);
      if (DupString(referenceText, text)) {
        work.push_back(c.id);
        continue;
      }
    }
    reference = &c;
    referenceText = textOf(c.id);
  }
}

bool PurgeRun::Impl::markDuplicate(uint32_t id) {
  MAI = MailRec();
  MAI.MAILID = id;
  if (!Mail.get(MAI_IdKey) || MAI.DUMMY != 0) return true;
  if (!change()) return false;
  MAI.DUMMY = 2;
  if (!Mail.put()) return fail("mail " + std::to_string(id) + " could not be marked: " + ErrorText());
  return done();
}

}  // namespace qv
