#include "services/topics.h"

#include "dictionary/dictionary.h"
#include "services/datetime.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/ids.h"
#include "services/record_helpers.h"

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
  OP_CLOSE(OpShared, {FileCodes});
  COD = CodesRec();
  COD.TYPE = kTopicType;
  Codes.setPrefix(COD_ClassKey, 1);
  while (Codes.next() && COD.TYPE == kTopicType) out.push_back(fromBuffer());
  OP_CLOSE(OpRelease, {FileCodes});
  Mem.Dirnamn = saved;
  return out;
}

uint32_t addTopic(const Topic& t) {
  OP_CLOSE(OpShared, {FileCodes, FileControl});
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
  OP_CLOSE(OpRelease, {FileCodes, FileControl});
  return id;
}

bool updateTopic(const Topic& t) {
  OP_CLOSE(OpShared, {FileCodes});
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
  OP_CLOSE(OpRelease, {FileCodes});
  return ok;
}

bool deleteTopic(uint32_t id) {
  OP_CLOSE(OpShared, {FileCodes});
  bool ok = findTopic(id);
  if (ok) {
    int64_t pos = Codes.position();
    ok = HoldRec(Codes, nullptr, false, pos) && UppDat(Codes, OpRemove, ReportShow);
  }
  OP_CLOSE(OpRelease, {FileCodes});
  return ok;
}

}  // namespace qv
