#include "services/topics.h"

#include "dictionary/dictionary.h"
#include "services/datetime.h"
#include "services/file_scope.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/ids.h"
#include "services/record_helpers.h"
#include "services/prompt.h"
#include "storage/buffer_guard.h"

namespace qv {

namespace {

Topic fromBuffer() {
  return Topic{COD.ID, COD.INDEX.str(), COD.COUNT, COD.CHARCASE == 1, COD.WORDONLY == 1, COD.DATE};
}

// Finds the topic of an ID (the key is by type and text) and leaves it in the buffer.
bool findTopic(uint32_t id) {
  COD = CodesRec();
  COD.TYPE = kTopicType;
  Codes.setPrefix(COD_ClassKey, 1);
  while (Codes.next() && COD.TYPE == kTopicType)
    if (COD.ID == id) return true;
  return false;
}

}  // namespace

std::vector<Topic> listTopics(uint32_t dirNumber) {
  std::vector<Topic> out;
  std::string saved = Mem.Dirnamn;
  std::string wanted = dirNumber ? "F" + std::to_string(dirNumber) : saved;
  if (wanted.empty() || (wanted != saved && useCount(FileCodes) > 0)) return out;
  Mem.Dirnamn = wanted;
  FileScope scope({FileCodes});
  COD = CodesRec();
  COD.TYPE = kTopicType;
  Codes.setPrefix(COD_ClassKey, 1);
  while (Codes.next() && COD.TYPE == kTopicType) out.push_back(fromBuffer());
  scope.release();
  Mem.Dirnamn = saved;
  return out;
}

uint32_t addTopic(const Topic& t) {
  FileScope scope({FileCodes, FileControl});
  uint32_t id = NextNr();
  if (id != 0) {
    COD = CodesRec();
    COD.TYPE = kTopicType;
    COD.INDEX = t.text;
    COD.ID = id;
    COD.DATE = today();
    COD.TIME = clockNow();
    COD.CHARCASE = t.matchCase ? 1 : 0;
    COD.WORDONLY = t.matchWord ? 1 : 0;
    if (!UppDat(Codes, OpAdd, ReportShow)) id = 0;
  }
  return id;
}

bool updateTopic(const Topic& t) {
  FileScope scope({FileCodes});
  bool ok = findTopic(t.id);
  if (ok) {
    int64_t pos = Codes.position();
    ok = HoldRec(Codes, nullptr, false, pos);
    if (ok) {
      COD.INDEX = t.text;
      COD.CHARCASE = t.matchCase ? 1 : 0;
      COD.WORDONLY = t.matchWord ? 1 : 0;
      COD.DATE = today();
      COD.TIME = clockNow();
      ok = UppDat(Codes, OpChange, ReportShow);
      Codes.release();
    }
  }
  return ok;
}

bool deleteTopic(uint32_t id) {
  FileScope scope({FileCodes});
  bool ok = findTopic(id);
  if (ok) {
    int64_t pos = Codes.position();
    ok = HoldRec(Codes, nullptr, false, pos) && UppDat(Codes, OpRemove, ReportShow);
  }
  return ok;
}

std::vector<uint32_t> topicsOfMessage(uint32_t messageNumber) {
  std::vector<uint32_t> out;
  BufferGuard guard({&SIndex});
  FileScope scope({FileSIndex});
  SIN = SIndexRec();
  SIN.MSGNUMBER = messageNumber;
  SIndex.setPrefix(SIN_MsgKey, 1);
  while (SIndex.next() && SIN.MSGNUMBER == messageNumber) out.push_back(SIN.ID);
  return out;
}

bool addToTopicCount(uint32_t topicId, int64_t delta) {
  if (delta == 0) return true;
  if (!findTopic(topicId)) return false;
  int64_t pos = Codes.position();
  if (!HoldRec(Codes, nullptr, false, pos)) return false;
  int64_t count = int64_t(COD.COUNT) + delta;
  COD.COUNT = uint32_t(count < 0 ? 0 : count);
  bool ok = UppDat(Codes, OpChange, ReportShow);
  Codes.release();
  return ok;
}

bool setTopicLink(uint32_t topicId, uint32_t messageNumber, bool attached) {
  BufferGuard guard({&SIndex, &Codes});
  FileScope scope({FileSIndex, FileCodes});
  bool ok = BeginTransaction({&SIndex, &Codes}, 5);
  if (ok) {
    SIN = SIndexRec();
    SIN.ID = topicId;
    SIN.MSGNUMBER = messageNumber;
    bool linked = SIndex.get(SIN_IdKey);
    if (linked != attached) {
      SIN.ID = topicId;
      SIN.MSGNUMBER = messageNumber;
      ok = UppDat(SIndex, attached ? OpAdd : OpRemove, ReportShow) && addToTopicCount(topicId, attached ? 1 : -1);
    }
    if (!ok)
      rollbackTransaction();
    else if (!commitTransaction())
      ok = !TransactionCheck();
  }
  return ok;
}

}  // namespace qv
