#include "wordindex/index_fixup.h"

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/file_scope.h"
#include "services/file_service.h"

namespace qv {

namespace {

// MsgText records after a stored position, in file order.
int64_t textsAfter(int64_t pos) {
  int64_t n = 0;
  MsgText.setFileOrder(pos);
  while (MsgText.next())
    if (MsgText.position() > pos) ++n;
  return n;
}

int advise(uint32_t& lastMsgId, uint32_t& recsLastTime) {
  int64_t texts = MsgText.records();
  if (texts == 0) {
    lastMsgId = recsLastTime = 0;
    return AdviseNothing;
  }
  if (!MasIdx.hasRecords()) {
    lastMsgId = recsLastTime = 0;
    return AdviseFull;
  }
  if (lastMsgId == 0) {
    // The last occurrence record whose message still has a text gives the position.
    MasIdx.setFileOrder();
    uint32_t last = 0;
    while (MasIdx.previous()) {
      if (MAS.SYSID == last) continue;
      last = MAS.SYSID;
      TXT = MsgTextRec();
      TXT.MSGNUMBER = last;
      if (MsgText.get(TXT_IdKey)) {
        lastMsgId = uint32_t(MsgText.position());
        recsLastTime = uint32_t(texts - textsAfter(MsgText.position()));
        break;
      }
    }
    if (lastMsgId == 0) {
      recsLastTime = 0;
      return AdviseFull;
    }
  }
  if (int64_t(recsLastTime) * 2 < texts) return AdviseFull;
  if (textsAfter(lastMsgId) == 0) return PurgeList.hasRecords() ? AdvisePartial : AdviseNothing;
  return AdvisePartial;
}

}  // namespace

int WSIndexFixup(uint32_t& lastMsgId, uint32_t& recsLastTime) {
  FileScope scope({FileMsgText, FileMasIdx, FilePurgeList});
  int r = advise(lastMsgId, recsLastTime);
  return r;
}

}  // namespace qv
