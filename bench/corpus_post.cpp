#include "corpus_post.h"

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "mime/mime_message.h"
#include "services/databases.h"
#include "services/file_service.h"
#include "services/installation.h"

namespace qvbench {

namespace {
// Reserves `count` IDs of the installation's counter; returns the first.
uint32_t reserveIds(uint32_t count) {
  using namespace qv;
  OP_CLOSE(OpShared, {FileControl});
  CTL = ControlRec();
  CTL.ID = 1;
  uint32_t first = 0;
  if (Control.get(CTL_IdKey)) {
    first = CTL.NEXTNUMBER;
    CTL.NEXTNUMBER += count;
    if (!Control.put()) first = 0;
  }
  OP_CLOSE(OpRelease, {FileControl});
  return first;
}
}  // namespace

bool postCorpus(CorpusGenerator& gen, const std::string& owner, PostedCorpus& out, std::string& error) {
  using namespace qv;
  MailboxSpec spec;
  spec.owner = owner;
  spec.address = "owner@example.org";
  out.database = AddMailbox(spec, false, 0);
  if (!out.database || !selectDatabase(out.database)) {
    error = "the mailbox cannot be created";
    return false;
  }
  size_t remaining = gen.options().messages;
  uint32_t next = reserveIds(uint32_t(remaining));
  if (!next) {
    error = "no IDs could be drawn";
    return false;
  }
  OP_CLOSE(OpShared, {FileMail, FileMsgText});
  bool ok = Mail.stream() && MsgText.stream();
  GeneratedMail m;
  size_t inSlice = 0;
  while (ok && gen.next(m)) {
    mime::DecodedMessage d = mime::decodeMessage(m.raw);
    uint32_t id = next++;
    out.ids.push_back(id);
    MAI = MailRec();
    MAI.DATE = d.date;
    MAI.TIME = d.time;
    MAI.SUBJECT = d.subject;
    MAI.MAILID = id;
    MAI.RECIPTYPE = "TO";
    TXT = MsgTextRec();
    TXT.MSGNUMBER = id;
    TXT.DATE = d.date;
    TXT.TIME = d.time;
    TXT.MsgText = std::move(d.text);
    ok = Mail.append() && MsgText.append();
    if (ok && ++inSlice == 5000) {
      // Commit in slices, as the import does.
      ok = Mail.flush() && MsgText.flush() && Mail.stream() && MsgText.stream();
      inSlice = 0;
    }
  }
  if (!ok) error = "writing the mail failed: " + ErrorText();
  ok = Mail.flush() && MsgText.flush() && ok;
  ok = Mail.buildKeys() && MsgText.buildKeys() && ok;
  OP_CLOSE(OpRelease, {FileMail, FileMsgText});
  if (ok) {
    OP_CLOSE(OpShared, {FileForums});
    FOR = ForumsRec();
    FOR.ID = out.database;
    if (Forums.get(FOR_ForumKey)) {
      FOR.MSGCOUNT = uint32_t(out.ids.size());
      Forums.put();
    }
    OP_CLOSE(OpRelease, {FileForums});
  }
  return ok;
}

}  // namespace qvbench
