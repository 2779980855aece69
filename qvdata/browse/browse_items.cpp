#include "browse/browse_items.h"

#include "browse/browse_view.h"
#include "browse/display_names.h"
#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/file_scope.h"
#include "services/messages.h"
#include "services/topics.h"
#include "storage/fixedstr.h"

namespace qv {

namespace {

enum class Role { Sender, Receiver, Partner, None };

Role roleOf(const BrowseState& s, int mode) {
  if (s.kind == KindMailDb) {
    if (mode == MmSender) return Role::Sender;
    if (mode == MmReceiver) return Role::Receiver;
    if (mode == MmPartner) return Role::Partner;
    return Role::None;
  }
  if (mode == FmSender) return Role::Sender;
  if (mode == FmReceiver) return Role::Receiver;
  return Role::None;
}

BrowsePerson& personOf(BrowseState& s, Role r) {
  return r == Role::Sender ? s.sender : r == Role::Receiver ? s.receiver : s.partner;
}

// Reads person `id` as the chosen person of a role; `alpha` (the key's alpha
// as the messages hold it) replaces the one made from the last name when given.
bool readPerson(Role role, uint32_t id, const std::string& alpha, BrowsePerson& out) {
  if (id == 0) return false;
  FileScope use({FilePerson});
  PER = PersonRec();
  PER.PERSONID = id;
  if (!Person.get(PER_PersonKey)) return false;
  BrowsePerson p;
  p.id = id;
  if (!alpha.empty()) {
    p.alpha = alpha;
  } else if (role == Role::Partner) {
    Str<25> a;
    a = PER.LASTNAME.str();
    p.alpha = a.str();
  } else {
    Str<10> a;
    a = PER.LASTNAME.str();
    p.alpha = a.str();
  }
  p.name = personDisplayName();
  p.count = role == Role::Sender ? PER.FROMCOUNT : role == Role::Receiver ? PER.TOCOUNT : PER.FROMCOUNT + PER.TOCOUNT;
  out = p;
  return true;
}

void takeThread(BrowseState& s) {
  s.threadNumber = THR.THREADNUMBER;
  s.threadAlpha = THR.ALPHA.str();
  s.threadHeading = threadHeading();
  s.threadCount = THR.MSGCOUNT;
}

void takeSection(BrowseState& s) {
  s.sectionId = SEC.SECSYSID;
  s.sectionLabel = sectionDisplayLabel();
  s.sectionCount = SEC.MSGCOUNT;
}

// The first message of the state's view, as the list shows it after a new
// item became the limit.
uint32_t firstOfView(const BrowseState& s) {
  BrowseView v(s);
  return v.toFirst() ? v.current() : 0;
}

// The first message of the chosen thread inside the chosen section.
uint32_t firstOfThreadInSection(const BrowseState& s) {
  FileScope use({FileMsgNmbr});
  MSG = MsgNmbrRec();
  MSG.SECSYSID = s.sectionId;
  MSG.THREADALPHA = s.threadAlpha;
  MSG.THREADNUMBER = s.threadNumber;
  MsgNmbr.setPrefix(MSG_SECkey, 3);
  if (MsgNmbr.next() && MSG.SECSYSID == s.sectionId && MSG.THREADNUMBER == s.threadNumber) return MSG.MSGNUMBER;
  return 0;
}

bool neighbourThread(BrowseState& s, bool forward, bool inSection) {
  FileScope use({FileThreads});
  Key k = inSection ? THR_SecKey : THR_AlphaKey;
  bool placed = false;
  if (s.threadNumber != 0) {
    THR = ThreadsRec();
    THR.THREADNUMBER = s.threadNumber;
    if (Threads.get(THR_ThreadKey) && (!inSection || THR.SECSYSID == s.sectionId)) {
      Threads.setPosition(k, Threads.position());
      placed = forward ? Threads.next() : Threads.previous();  // the thread itself
    }
  }
  if (!placed) {
    // No thread of the walk chosen: the first (last) one is the neighbour.
    if (inSection) {
      THR = ThreadsRec();
      THR.SECSYSID = s.sectionId;
      Threads.setPrefix(k, 1);
      uint32_t pick = 0;
      while (Threads.next() && THR.SECSYSID == s.sectionId) {
        pick = THR.THREADNUMBER;
        if (forward) break;
      }
      return pick != 0 && chooseThread(s, pick);
    }
    Threads.set(k);
  }
  if (!(forward ? Threads.next() : Threads.previous())) return false;
  if (inSection && THR.SECSYSID != s.sectionId) return false;
  takeThread(s);
  return true;
}

bool neighbourPerson(BrowseState& s, Role role, bool forward) {
  bool mail = s.kind == KindMailDb;
  FileScope use({mail ? FileMail : FileMsgNmbr});
  File& f = mail ? static_cast<File&>(Mail) : static_cast<File&>(MsgNmbr);
  Key k = !mail ? (role == Role::Sender ? MSG_FromKey : MSG_ToKey)
                : role == Role::Sender ? MAI_FromKey : role == Role::Receiver ? MAI_ToKey : MAI_PairKey;
  BrowsePerson& current = personOf(s, role);
  f.clear();
  if (mail) {
    if (role == Role::Sender) {
      MAI.FROMALPHA = current.alpha;
      MAI.FROMID = current.id;
    } else if (role == Role::Receiver) {
      MAI.TOALPHA = current.alpha;
      MAI.TOID = current.id;
    } else {
      MAI.PAIRALPHA = current.alpha;
      MAI.PAIRID = current.id;
    }
  } else if (role == Role::Sender) {
    MSG.FROMALPHA = current.alpha;
    MSG.FROMID = current.id;
  } else {
    MSG.TOALPHA = current.alpha;
    MSG.TOID = current.id;
  }
  // Onto the last (first) message of the current person, or the one before
  // (after) where it would stand; then one message on. Without a chosen
  // person: the first (last) person of the key.
  f.setPrefix(k, 2);
  bool placed = current.id != 0 && (forward ? f.previous() : f.next());
  if (!placed) {
    f.set(k);
    if (!(forward ? f.next() : f.previous())) return false;
  } else if (!(forward ? f.next() : f.previous())) {
    return false;
  }
  uint32_t id;
  std::string alpha;
  if (mail) {
    id = role == Role::Sender ? MAI.FROMID : role == Role::Receiver ? MAI.TOID : MAI.PAIRID;
    alpha = (role == Role::Sender ? MAI.FROMALPHA.str() : role == Role::Receiver ? MAI.TOALPHA.str() : MAI.PAIRALPHA.str());
  } else {
    id = role == Role::Sender ? MSG.FROMID : MSG.TOID;
    alpha = role == Role::Sender ? MSG.FROMALPHA.str() : MSG.TOALPHA.str();
  }
  if (id == current.id) return false;  // the current person's own messages (a placement failed)
  BrowsePerson p;
  if (!readPerson(role, id, alpha, p)) return false;
  current = p;
  return true;
}

}  // namespace

bool chooseThread(BrowseState& s, uint32_t threadNumber) {
  FileScope use({FileThreads});
  THR = ThreadsRec();
  THR.THREADNUMBER = threadNumber;
  if (threadNumber == 0 || !Threads.get(THR_ThreadKey)) return false;
  takeThread(s);
  return true;
}

bool chooseSection(BrowseState& s, uint32_t sectionId) {
  FileScope use({FileSections});
  SEC = SectionsRec();
  SEC.SECSYSID = sectionId;
  if (sectionId == 0 || !Sections.get(SEC_SysIdKey)) return false;
  takeSection(s);
  return true;
}

bool chooseFirstSection(BrowseState& s) {
  FileScope use({FileSections});
  Sections.set(SEC_SectionKey);
  if (!Sections.next()) return false;
  takeSection(s);
  return true;
}

bool choosePerson(BrowseState& s, int mode, uint32_t personId) {
  Role role = roleOf(s, mode);
  if (role == Role::None) return false;
  BrowsePerson p;
  if (!readPerson(role, personId, {}, p)) return false;
  personOf(s, role) = p;
  return true;
}

bool chooseWord(BrowseState& s, uint32_t wordId) {
  FileScope use({FileWordList});
  WOR = WordListRec();
  WOR.WORDID = int32_t(wordId);
  if (wordId == 0 || !WordList.get(WOR_by_WordId)) return false;
  s.wordId = wordId;
  s.word = WOR.THEWORD.str();
  return true;
}

bool chooseTopic(BrowseState& s, uint32_t topicId) {
  if (topicId == 0) return false;
  for (const Topic& t : listTopics())
    if (t.id == topicId) {
      s.topicId = topicId;
      return true;
    }
  return false;
}

bool chooseFromMessage(BrowseState& s, uint32_t id) {
  bool mail = s.kind == KindMailDb;
  uint32_t from, to, pair = 0, thread = 0, section = 0;
  std::string fromAlpha, toAlpha, pairAlpha;
  {
    FileScope use({mail ? FileMail : FileMsgNmbr});
    if (!readMessage(s.kind, id)) return false;
    if (mail) {
      from = MAI.FROMID, to = MAI.TOID, pair = MAI.PAIRID;
      fromAlpha = MAI.FROMALPHA.str(), toAlpha = MAI.TOALPHA.str(), pairAlpha = MAI.PAIRALPHA.str();
    } else {
      from = MSG.FROMID, to = MSG.TOID, thread = MSG.THREADNUMBER, section = MSG.SECSYSID;
      fromAlpha = MSG.FROMALPHA.str(), toAlpha = MSG.TOALPHA.str();
    }
  }
  if (thread) chooseThread(s, thread);
  if (section) chooseSection(s, section);
  readPerson(Role::Sender, from, fromAlpha, s.sender);
  readPerson(Role::Receiver, to, toAlpha, s.receiver);
  if (mail) readPerson(Role::Partner, pair, pairAlpha, s.partner);
  s.selected = id;
  return true;
}

bool neighbourItem(BrowseState& s, bool forward) {
  BrowseState next = s;
  bool mail = s.kind == KindMailDb;
  if (!mail && s.mode == FmThread) {
    if (!neighbourThread(next, forward, false)) return false;
    next.limitThread = true;
    next.selected = firstOfView(next);
  } else if (!mail && s.mode == FmSection) {
    if (s.sectionId == 0 || !neighbourThread(next, forward, true)) return false;
    next.selected = firstOfThreadInSection(next);
  } else {
    Role role = roleOf(s, s.mode);
    if (role == Role::None || !neighbourPerson(next, role, forward)) return false;
    (role == Role::Sender ? next.limitSender : role == Role::Receiver ? next.limitReceiver : next.limitPartner) = true;
    next.selected = firstOfView(next);
  }
  s = next;
  return true;
}

}  // namespace qv
