#include "browse/browse_rows.h"

#include <map>

#include "browse/browse_files.h"
#include "browse/display_names.h"
#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/datetime.h"
#include "services/file_scope.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/messages.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "storage/buffer_guard.h"
#include "storage/fixedstr.h"

namespace qv {

RowClass purgeClass(int message, int thread, int section, int database) {
  // From the most specific level up: the first keep protects the message
  // from every delete above it.
  const int levels[] = {message, thread, section, database};
  for (int level : levels) {
    if (level == 1) return RowKeep;
    if (level == 2) return RowDelete;
  }
  return RowNormal;
}

std::vector<std::string> browseColumns(int kind) {
  if (kind == KindMailDb) return {"Date", "Time", "Subject", "Sender", "Receiver"};
  if (kind == KindNewsDb) return {"Thread", "Sender", "Receiver"};
  return {"Thread", "Sender", "Receiver", "Section"};
}

std::vector<std::string> rowTexts(int kind, const BrowseRow& row) {
  if (kind == KindMailDb)
    return {row.dateText, row.timeText, firstChars(row.heading, 50), firstChars(row.sender, 95),
            firstChars(row.receiver, 95)};
  std::vector<std::string> out = {firstChars(row.heading, 50), firstChars(row.sender, 50),
                                  firstChars(row.receiver, 50)};
  if (kind != KindNewsDb) out.push_back(firstChars(row.section, 30));
  return out;
}

namespace {

// The status marks and names of the levels above the messages, read once
// for a page of rows.
struct RowLookups {
  std::map<uint32_t, std::pair<std::string, int>> persons;  // name, status
  std::map<uint32_t, std::pair<std::string, int>> threads;  // heading, status
  std::map<uint32_t, std::pair<std::string, int>> sections; // label, status
  int database = 0;
  int64_t dateFormat = 0, timeFormat = 0;

  const std::pair<std::string, int>& person(uint32_t id) {
    auto it = persons.find(id);
    if (it != persons.end()) return it->second;
    PER = PersonRec();
    PER.PERSONID = id;
    std::pair<std::string, int> v;
    if (id != 0 && Person.get(PER_PersonKey)) v = {personDisplayName(), PER.DUMMY};
    return persons.emplace(id, v).first->second;
  }
  const std::pair<std::string, int>& thread(uint32_t id) {
    auto it = threads.find(id);
    if (it != threads.end()) return it->second;
    THR = ThreadsRec();
    THR.THREADNUMBER = id;
    std::pair<std::string, int> v;
    if (Threads.get(THR_ThreadKey)) v = {threadHeading(), THR.DUMMY};
    return threads.emplace(id, v).first->second;
  }
  const std::pair<std::string, int>& section(uint32_t id) {
    auto it = sections.find(id);
    if (it != sections.end()) return it->second;
    SEC = SectionsRec();
    SEC.SECSYSID = id;
    std::pair<std::string, int> v;
    if (Sections.get(SEC_SysIdKey)) v = {sectionDisplayLabel(), SEC.DUMMY};
    return sections.emplace(id, v).first->second;
  }
};

int databaseStatus() {
  FileScope use({FileForums});
  BufferGuard keep({&Forums});
  FOR = ForumsRec();
  FOR.ID = Mem.ForumNumber;
  return Forums.get(FOR_ForumKey) ? FOR.DUMMY : 0;
}

bool readRow(int kind, uint32_t id, BrowseRow& row, RowLookups& look) {
  row = BrowseRow();
  row.id = id;
  if (!readMessage(kind, id)) return false;
  if (kind == KindMailDb) {
    MailRec mail = MAI;
    row.date = mail.DATE;
    row.time = mail.TIME;
    row.heading = mailSubject();
    row.senderId = mail.FROMID;
    row.receiverId = mail.TOID;
    row.partnerId = mail.PAIRID;
    row.dateText = mail.DATE ? formatDate(mail.DATE, int(look.dateFormat)) : std::string();
    row.timeText = mail.TIME ? formatTime(mail.TIME, int(look.timeFormat)) : std::string();
    row.sender = look.person(mail.FROMID).first;
    row.receiver = look.person(mail.TOID).first;
    int partner = look.person(mail.PAIRID).second;
    row.colour = purgeClass(mail.DUMMY, partner, 0, look.database);
    MAI = mail;
    return true;
  }
  MsgNmbrRec msg = MSG;
  row.refNumber = msg.REFNUMBER;
  row.date = msg.DATE;
  row.time = messageTime(id);
  row.timeText = row.time ? formatTime(row.time, int(look.timeFormat)) : std::string();
  row.threadNumber = msg.THREADNUMBER;
  row.sectionId = msg.SECSYSID;
  row.senderId = msg.FROMID;
  row.receiverId = msg.TOID;
  const auto& thread = look.thread(msg.THREADNUMBER);
  const auto& section = look.section(msg.SECSYSID);
  row.heading = thread.first;
  if (kind != KindNewsDb) row.section = section.first;
  row.sender = look.person(msg.FROMID).first;
  row.receiver = look.person(msg.TOID).first;
  row.colour = purgeClass(msg.DUMMY, thread.second, section.second, look.database);
  MSG = msg;
  return true;
}

}  // namespace

std::vector<BrowseRow> readBrowseRows(int kind, const std::vector<uint32_t>& ids) {
  std::vector<BrowseRow> rows;
  const std::vector<int> files = rowFiles(kind);
  FileScope use(files);
  std::vector<File*> buffers;
  for (int n : files) buffers.push_back(&declaredFile(n));
  BufferGuard keep(buffers);
  RowLookups look;
  look.database = databaseStatus();
  look.dateFormat = KonfigGet(ItemDateFormat);
  look.timeFormat = KonfigGet(ItemTimeFormat);
  BrowseRow row;
  for (uint32_t id : ids)
    if (readRow(kind, id, row, look)) rows.push_back(row);
  return rows;
}

bool readBrowseRow(int kind, uint32_t id, BrowseRow& row) {
  std::vector<BrowseRow> rows = readBrowseRows(kind, {id});
  if (rows.empty()) return false;
  row = rows.front();
  return true;
}

}  // namespace qv
