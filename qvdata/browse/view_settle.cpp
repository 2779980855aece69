// A browser's view brought in step with the records (see view_settle.h).
#include "browse/view_settle.h"

#include "browse/browse_items.h"
#include "browse/browse_view.h"

namespace qv {

namespace {

// What the chosen item of a view is.
enum class Subject { None, Thread, Section, Sender, Receiver, Partner, Word, Topic };

Subject subjectOf(const BrowseState& s) {
  if (s.kind == KindMailDb) {
    switch (s.mode) {
      case MmPartner: return Subject::Partner;
      case MmSender: return Subject::Sender;
      case MmReceiver: return Subject::Receiver;
      case MmWord: return Subject::Word;
      case MmTopic: return Subject::Topic;
      default: return Subject::None;
    }
  }
  switch (s.mode) {
    case FmThread: return Subject::Thread;
    case FmSection: return Subject::Section;
    case FmSender: return Subject::Sender;
    case FmReceiver: return Subject::Receiver;
    case FmWord: return Subject::Word;
    case FmTopic: return Subject::Topic;
    default: return Subject::None;
  }
}

BrowsePerson& personOf(BrowseState& s, Subject k) {
  return k == Subject::Sender ? s.sender : k == Subject::Receiver ? s.receiver : s.partner;
}

bool& personLimit(BrowseState& s, Subject k) {
  return k == Subject::Sender ? s.limitSender : k == Subject::Receiver ? s.limitReceiver : s.limitPartner;
}

// A person read again keeps the key's alpha the state has (the one its
// messages hold); its name and count are taken from the record.
bool refreshPerson(BrowseState& s, Subject k) {
  BrowsePerson& p = personOf(s, k);
  if (p.id == 0) return false;
  BrowseState read = s;
  if (choosePerson(read, s.mode, p.id)) {
    const BrowsePerson& now = personOf(read, k);
    p.name = now.name;
    p.count = now.count;
    return false;
  }
  p = BrowsePerson();
  personLimit(s, k) = false;
  return true;
}

}  // namespace

int numberView(int kind) { return kind == KindMailDb ? int(MmDate) : int(FmNumber); }

bool refreshSubject(BrowseState& s) {
  Subject k = subjectOf(s);
  switch (k) {
    case Subject::Thread:
      if (s.threadNumber == 0 || chooseThread(s, s.threadNumber)) return false;
      s.threadNumber = 0;
      s.threadAlpha.clear();
      s.threadHeading.clear();
      s.threadCount = 0;
      s.limitThread = false;
      return true;
    case Subject::Section:
      if (s.sectionId == 0 || chooseSection(s, s.sectionId)) return false;
      s.sectionId = 0;
      s.sectionLabel.clear();
      s.sectionCount = 0;
      return true;
    case Subject::Sender:
    case Subject::Receiver:
    case Subject::Partner: return refreshPerson(s, k);
    case Subject::Word:
      if (s.wordId == 0 || chooseWord(s, s.wordId)) return false;
      s.wordId = 0;
      s.word.clear();
      return true;
    case Subject::Topic: {
      if (s.topicId == 0) return false;
      BrowseState read = s;
      if (chooseTopic(read, s.topicId)) return false;
      s.topicId = 0;
      return true;
    }
    case Subject::None: return false;
  }
  return false;
}

bool settleView(BrowseState& s) {
  bool selection = isSelection(s);
  bool lost = refreshSubject(s);
  if (!selection || s.mode == numberView(s.kind)) return false;
  if (!lost) {
    BrowseView view(s);
    if (view.toFirst()) return false;
  }
  s.mode = numberView(s.kind);
  return true;
}

}  // namespace qv
