#include "browse/status_marks.h"

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/file_scope.h"
#include "services/globals.h"
#include "services/messages.h"

namespace qv {

namespace {

// Reads the record whose key value is in the buffer, holds it (at most 5
// seconds; the hold reads it again as stored) and writes it back with its
// status byte changed.
bool rewriteStatus(File& f, const Key& k, uint8_t& status, int value) {
  if (!f.get(k) || !f.hold(5)) return false;
  status = uint8_t(value);
  bool ok = f.put();
  f.release();
  return ok;
}

}  // namespace

bool setStatus(int kind, StatusLevel level, uint32_t id, int status) {
  if (status < 0 || status > 2) return false;
  bool mail = kind == KindMailDb;
  if (level == LevelDatabase) {
    FileScope use({FileForums});
    FOR = ForumsRec();
    FOR.ID = Mem.ForumNumber;
    return rewriteStatus(Forums, FOR_ForumKey, FOR.DUMMY, status);
  }
  if (mail ? (level == LevelThread || level == LevelSection) : level == LevelPartner) return false;
  if (kind == KindNewsDb && level == LevelSection) return false;
  FileScope use(mail ? std::vector<int>{FileMail, FilePerson}
                     : std::vector<int>{FileMsgNmbr, FileSections, FileThreads});
  if (!readMessage(kind, id)) return false;
  switch (level) {
    case LevelMessage:
      return mail ? rewriteStatus(Mail, MAI_IdKey, MAI.DUMMY, status) : rewriteStatus(MsgNmbr, MSG_IdKey, MSG.DUMMY, status);
    case LevelThread: {
      uint32_t thread = MSG.THREADNUMBER;
      THR = ThreadsRec();
      THR.THREADNUMBER = thread;
      return rewriteStatus(Threads, THR_ThreadKey, THR.DUMMY, status);
    }
    case LevelSection: {
      uint32_t section = MSG.SECSYSID;
      SEC = SectionsRec();
      SEC.SECSYSID = section;
      return rewriteStatus(Sections, SEC_SysIdKey, SEC.DUMMY, status);
    }
    case LevelPartner: {
      uint32_t partner = MAI.PAIRID;
      PER = PersonRec();
      PER.PERSONID = partner;
      return partner != 0 && rewriteStatus(Person, PER_PersonKey, PER.DUMMY, status);
    }
    default: return false;
  }
}

bool setItemStatus(int kind, StatusLevel level, uint32_t id, int status) {
  if (status < 0 || status > 2) return false;
  bool mail = kind == KindMailDb;
  switch (level) {
    case LevelMessage:
    case LevelDatabase: return setStatus(kind, level, id, status);
    case LevelThread: {
      if (mail) return false;
      FileScope use({FileThreads});
      THR = ThreadsRec();
      THR.THREADNUMBER = id;
      return rewriteStatus(Threads, THR_ThreadKey, THR.DUMMY, status);
    }
    case LevelSection: {
      if (kind != KindForumDb) return false;
      FileScope use({FileSections});
      SEC = SectionsRec();
      SEC.SECSYSID = id;
      return rewriteStatus(Sections, SEC_SysIdKey, SEC.DUMMY, status);
    }
    case LevelPartner: {
      if (!mail) return false;
      FileScope use({FilePerson});
      PER = PersonRec();
      PER.PERSONID = id;
      return rewriteStatus(Person, PER_PersonKey, PER.DUMMY, status);
    }
  }
  return false;
}

}  // namespace qv
