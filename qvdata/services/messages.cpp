#include "services/messages.h"

#include <unordered_map>

#include "dictionary/dictionary.h"
#include "services/file_service.h"
#include "services/record_helpers.h"
#include "storage/buffer_guard.h"

namespace qv {

namespace {

bool subjectsReadable() { return readableIfPresent(FileSubjects); }

}  // namespace

void splitSubject(std::string_view subject, Str<10>& alpha, Str<40>& beta) {
  size_t a = utf8CutLength(subject, Str<10>::capacity());
  alpha = subject.substr(0, a);
  beta = subject.substr(a);
}

std::string joinedHeading(const Str<10>& alpha, const Str<40>& beta) {
  std::string h(alpha.raw());
  h += beta.view();
  return std::string(trimRight(h));
}

bool keepWholeSubject(uint32_t id, std::string_view subject, std::string_view fromFields, int reportMode) {
  if (subject == fromFields) return true;
  SUB = SubjectsRec();
  SUB.ID = id;
  bool exists = Subjects.get(SUB_IdKey);
  SUB.ID = id;
  SUB.SUBJECT = std::string(subject.substr(0, utf8CutLength(subject, kSubjectMax)));
  return UppDat(Subjects, exists ? OpChange : OpAdd, reportMode);
}

bool forgetWholeSubject(uint32_t id, int reportMode) {
  SUB = SubjectsRec();
  SUB.ID = id;
  if (!Subjects.get(SUB_IdKey)) return true;
  return UppDat(Subjects, OpRemove, reportMode);
}

std::string wholeSubject(uint32_t id, std::string fromFields) {
  if (!subjectsReadable()) return fromFields;
  SUB = SubjectsRec();
  SUB.ID = id;
  return Subjects.get(SUB_IdKey) ? SUB.SUBJECT : fromFields;
}

bool keepMessageTime(uint32_t id, int32_t time, int reportMode) {
  BufferGuard keep({&Extras});
  EXT = ExtrasRec();
  EXT.ID = id;
  EXT.KIND = ExtraTime;
  bool exists = Extras.get(EXT_IdKey);
  if (time <= 0) return !exists || UppDat(Extras, OpRemove, reportMode);
  if (exists && EXT.TIME == time) return true;
  EXT.TIME = time;
  return UppDat(Extras, exists ? OpChange : OpAdd, reportMode);
}

int32_t messageTime(uint32_t id) {
  if (!readableIfPresent(FileExtras) || !Extras.hasRecords()) return 0;
  BufferGuard keep({&Extras});
  EXT = ExtrasRec();
  EXT.ID = id;
  EXT.KIND = ExtraTime;
  return Extras.get(EXT_IdKey) ? EXT.TIME : 0;
}

std::string threadHeading() { return wholeSubject(THR.THREADNUMBER, joinedHeading(THR.ALPHA, THR.BETA)); }

std::string mailSubject() { return wholeSubject(MAI.MAILID, MAI.SUBJECT.str()); }

std::string headingOfThread(uint32_t threadNumber) {
  ThreadsRec saved = THR;
  THR = ThreadsRec();
  THR.THREADNUMBER = threadNumber;
  std::string h = Threads.get(THR_ThreadKey) ? threadHeading() : std::string();
  THR = saved;
  return h;
}

bool readMessage(int kind, uint32_t id) {
  if (kind == KindMailDb) {
    MAI = MailRec();
    MAI.MAILID = id;
    return Mail.get(MAI_IdKey);
  }
  MSG = MsgNmbrRec();
  MSG.MSGNUMBER = id;
  return MsgNmbr.get(MSG_IdKey);
}

std::string subjectOfMessage(int kind) {
  return kind == KindMailDb ? mailSubject() : headingOfThread(MSG.THREADNUMBER);
}

bool readMessageHeader(int kind, uint32_t id, MessageHeader& out) {
  out = MessageHeader();
  if (!readMessage(kind, id)) return false;
  out.id = id;
  if (kind == KindMailDb) {
    out.fromId = MAI.FROMID;
    out.toId = MAI.TOID;
    out.date = MAI.DATE;
    out.time = MAI.TIME;
  } else {
    out.fromId = MSG.FROMID;
    out.toId = MSG.TOID;
    out.threadNumber = MSG.THREADNUMBER;
    out.date = MSG.DATE;
    out.time = messageTime(id);
  }
  out.subject = subjectOfMessage(kind);
  return true;
}

std::vector<MessageHeader> readMessageHeaders(int kind, const std::vector<uint32_t>& ids) {
  std::vector<MessageHeader> out(ids.size());
  std::unordered_map<uint32_t, size_t> at;  // an ID's first place in the list
  std::vector<int64_t> values;
  for (size_t i = 0; i < ids.size(); ++i)
    if (at.emplace(ids[i], i).second) values.push_back(ids[i]);
  // The subject kept whole for each of `numbers`, where there is one.
  // Most subjects fit their field: a file without whole subjects is not
  // asked about each number.
  auto wholeSubjects = [](const std::vector<int64_t>& numbers) {
    std::unordered_map<uint32_t, std::string> whole;
    if (!subjectsReadable() || !Subjects.hasRecords()) return whole;
    Subjects.getEach(SUB_IdKey, numbers, [&] {
      whole[SUB.ID] = SUB.SUBJECT;
      return true;
    });
    return whole;
  };
  // Only the fields of a header are read; the record buffer is left as it was.
  if (kind == KindMailDb) {
    MailRec saved = MAI;
    Mail.getEach(
        MAI_IdKey, values,
        [&] {
          MessageHeader& h = out[at[MAI.MAILID]];
          h.id = MAI.MAILID;
          h.fromId = MAI.FROMID;
          h.toId = MAI.TOID;
          h.date = MAI.DATE;
          h.time = MAI.TIME;
          h.subject = MAI.SUBJECT.str();
          return true;
        },
        {"MAILID", "FROMID", "TOID", "DATE", "TIME", "SUBJECT"});
    MAI = saved;
    for (auto& [id, subject] : wholeSubjects(values)) {
      MessageHeader& h = out[at[id]];
      if (h.id) h.subject = subject;
    }
  } else {
    MsgNmbrRec savedMsg = MSG;
    MsgNmbr.getEach(
        MSG_IdKey, values,
        [&] {
          MessageHeader& h = out[at[MSG.MSGNUMBER]];
          h.id = MSG.MSGNUMBER;
          h.fromId = MSG.FROMID;
          h.toId = MSG.TOID;
          h.threadNumber = MSG.THREADNUMBER;
          h.date = MSG.DATE;
          return true;
        },
        {"MSGNUMBER", "FROMID", "TOID", "THREADNUMBER", "DATE"});
    MSG = savedMsg;
    // Each thread's heading once, for the threads that are there.
    std::unordered_map<uint32_t, std::string> headings;
    std::vector<int64_t> threads;
    for (const MessageHeader& h : out)
      if (h.id && headings.emplace(h.threadNumber, std::string()).second) threads.push_back(h.threadNumber);
    headings.clear();
    ThreadsRec saved = THR;
    Threads.getEach(THR_ThreadKey, threads, [&] {
      headings[THR.THREADNUMBER] = joinedHeading(THR.ALPHA, THR.BETA);
      return true;
    });
    THR = saved;
    for (auto& [number, heading] : wholeSubjects(threads))
      if (headings.count(number)) headings[number] = heading;
    for (MessageHeader& h : out)
      if (h.id) {
        auto it = headings.find(h.threadNumber);
        if (it != headings.end()) h.subject = it->second;
      }
    // The times the sources gave, where there are any.
    if (readableIfPresent(FileExtras) && Extras.hasRecords()) {
      BufferGuard keep({&Extras});
      Extras.getEach(EXT_IdKey, values, [&] {
        if (EXT.KIND != ExtraTime) return true;
        MessageHeader& h = out[at[EXT.ID]];
        if (h.id) h.time = EXT.TIME;
        return true;
      });
    }
  }
  for (size_t i = 0; i < ids.size(); ++i)
    if (at[ids[i]] != i) out[i] = out[at[ids[i]]];
  return out;
}

}  // namespace qv
