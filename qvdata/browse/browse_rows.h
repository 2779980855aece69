// The rows of the browsers' lists: the column texts of a message or mail and
// the colour its row is drawn in, which follows the purge rule over the
// status marks of the message and of the levels above it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

// The colour class of a row: the list's normal colours, the "keep" colour
// (ItemColourKeep) or the "delete" colour (ItemColourDelete).
enum RowClass : int { RowNormal = 0, RowKeep = 1, RowDelete = 2 };

// The purge rule over status bytes (0 normal, 1 keep, 2 delete), from the
// most specific level up: message, thread, section, database. A level that
// does not exist (mail: the section) is passed as 0. Delete when a level is
// 2 and no more specific level is 1; otherwise keep when any level is 1.
// Mail passes mail, partner, 0, mailbox.
RowClass purgeClass(int message, int thread, int section, int database);

struct BrowseRow {
  uint32_t id = 0;         // MSG.MSGNUMBER or MAI.MAILID
  uint32_t refNumber = 0;  // forum and newsgroup: the message it answers
  int32_t date = 0;
  int32_t time = 0;        // 0 when the message has no known time
  uint32_t threadNumber = 0, sectionId = 0;  // forum and newsgroup
  uint32_t senderId = 0, receiverId = 0, partnerId = 0;
  // Forum and newsgroup: thread heading; mail: the subject.
  std::string heading;
  std::string sender, receiver;  // person names (the address when there is no name)
  std::string section;           // forum: the section label (two-digit number, a blank, the description)
  std::string dateText;   // mail: the date in the user's display format
  std::string timeText;   // the time in the user's display format ("" without a time)
  RowClass colour = RowNormal;
};

// The column captions of a database kind (DbKind):
// forum Thread, Sender, Receiver, Section; newsgroup without Section; mail
// Date, Time, Subject, Sender, Receiver.
std::vector<std::string> browseColumns(int kind);
// The row's texts in the order of browseColumns(kind), each cut to its
// column's width in characters (50 / 30; mail 50 / 95).
std::vector<std::string> rowTexts(int kind, const BrowseRow& row);

// Reads the row of message (mail) `id` of the current database; false when
// there is no such message. The status marks of thread, section, partner and
// database are read too, for the colour. The record buffers of the files
// read are put back as they were.
bool readBrowseRow(int kind, uint32_t id, BrowseRow& row);
// The rows of several messages in the order given; messages that do not
// exist are left out.
std::vector<BrowseRow> readBrowseRows(int kind, const std::vector<uint32_t>& ids);

}  // namespace qv
