#include "persons/person_messages.h"

#include "browse/browse_items.h"
#include "browse/browse_state.h"
#include "dictionary/dictionary.h"
#include "persons/person_recode.h"
#include "services/db_kind.h"
#include "services/file_scope.h"
#include "services/globals.h"
#include "storage/buffer_guard.h"

namespace qv {

uint32_t preparePersonMessages(uint32_t personId) {
  const int kind = Mem.ForumType;
  const bool mail = kind == KindMailDb;
  uint32_t first = 0;
  {
    FileScope files({mail ? FileMail : FileMsgNmbr, FilePerson});
    BufferGuard guard({&Person});
    PER = PersonRec();
    PER.PERSONID = personId;
    if (personId == 0 || !Person.get(PER_PersonKey)) return 0;
    first = firstMessageFrom(kind, personId, PER.LASTNAME.view());
  }
  if (first == 0) return 0;
  BrowseState s = readBrowseContext(kind);
  s.kind = kind;
  s.mode = mail ? int(MmSender) : int(FmSender);
  if (!choosePerson(s, s.mode, personId)) return 0;
  s.limitSender = true;
  s.selected = first;
  writeBrowseContext(s);
  return first;
}

}  // namespace qv
