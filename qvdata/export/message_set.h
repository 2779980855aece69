// The sets of messages that export and printing walk: one message, its
// thread (or mail partner), its sender, its recipient, its section, the
// whole database, the messages holding an index word, those of a topic and
// those of the last search result. The walk collects the IDs of the set in
// slices, then reads each message with what its headers need. Sets come
// oldest first: a thread and a section in key order, the messages of an
// index word by number, every other set by walking its newest-first key and
// turning the list round. Each message comes once.
//
// The database is the current one (Mem, its kind as exportedKind() gives
// it); a mail database walks Mail, a forum or newsgroup database MsgNmbr. The files the set needs are opened by
// open() and released by close().
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "export/export_text.h"
#include "services/file_scope.h"
#include "storage/file.h"

namespace qv {

enum class MessageSet { Message, Thread, Sender, Recipient, Section, Database, Word, Topic, SearchResult };

// The set of an export scope (1..19: 1 to 3 the message, then two codes
// each: thread, sender, recipient, section, database, word, topic, search
// result) and of a print scope (1..9 in the same order). False for a code
// outside those.
bool setOfCopyScope(int scope, MessageSet& set);
bool setOfPrintScope(int scope, MessageSet& set);

// Messages left out of a walk: outside an ID range, outside a date range.
struct MessageRange {
  bool idRange = false;
  uint32_t lowId = 0, highId = 0;
  bool dateRange = false;
  int32_t fromDate = 0, toDate = 0;

  bool skips(uint32_t id, int32_t date) const;
  // True when a message the ID range keeps is left out only because it has
  // no date: a date range holds no undated message.
  bool undated(uint32_t id, int32_t date) const;
};

// The date range a user gives the group operations: From and To must lie
// after 1 January 1965 and before 1 January 2099, and To not before From.
enum class DateRangeFault { None, From, To, Negative };
DateRangeFault dateRangeFault(int32_t fromDate, int32_t toDate);
// The message of a fault (empty for None), shown under kDateRangeCaption.
const char* dateRangeFaultText(DateRangeFault f);
inline constexpr const char* kDateRangeCaption = "Date range filter error";

struct SetRequest {
  MessageSet set = MessageSet::Message;
  uint32_t messageId = 0;  // the current message (sets Message to Section)
  int32_t wordId = 0;      // the current index word (set Word)
  uint32_t topicId = 0;    // the current topic (set Topic)
};

// One message as the export and print headers need it.
struct MessageData {
  uint32_t id = 0;
  uint32_t ref = 0;  // the message answered; 0 when none
  int32_t date = 0;
  int32_t time = 0;  // 0 when the message has no known time
  std::string subject;
  PersonText from, to;
  uint8_t sectionNumber = 0;  // forum and newsgroup messages
  std::string sectionName;
  std::string idString, refIdString;  // newsgroup messages: Message-IDs
  bool outgoing = false;              // mail sent by the mailbox owner
  std::string text;
};

class MessageWalk {
 public:
  explicit MessageWalk(const SetRequest& request);
  ~MessageWalk();
  MessageWalk(const MessageWalk&) = delete;
  MessageWalk& operator=(const MessageWalk&) = delete;

  // Opens the files of the current database that the set and the message
  // headers need. False (with `error` set) when the set does not exist for
  // this kind of database or the current message cannot be read.
  bool open();
  void close();

  // Collects up to `max` more IDs of the set; false once the set is complete.
  bool collect(int max);
  bool complete() const { return complete_; }
  const std::vector<uint32_t>& ids() const { return ids_; }

  // Reads a message of the current database with its headers and text.
  // False when it is not there.
  bool read(uint32_t id, MessageData& out);

  const std::string& error() const { return error_; }
  // The DbKind of the database walked (known once open() has run).
  int kind() const { return kind_; }

 private:
  bool start();
  bool walkKey(int max);
  void add(uint32_t id);

  SetRequest req_;
  int kind_ = 0;
  bool opened_ = false;
  bool started_ = false;
  bool complete_ = false;
  FileScope files_{std::vector<int>{}};
  std::string error_;
  // The walk: the file and key, the leading key values that must stay equal,
  // the record at which the last slice stopped, and whether the key gives the
  // IDs newest first (they are turned round at the end).
  File* file_ = nullptr;
  int key_ = -1;
  int prefix_ = 0;
  std::vector<FieldValue> want_;
  bool haveLast_ = false;
  int64_t lastPos_ = 0;
  RecordImage last_;
  bool reverse_ = false;
  std::vector<uint32_t> ids_;
  std::unordered_set<uint32_t> seen_;
};

}  // namespace qv
