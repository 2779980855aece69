// One way to read a message of any kind, and the one rule that gives a
// message's subject.
//
// A forum or newsgroup message takes its subject from its thread's heading:
// THR.ALPHA holds the first 10 bytes, THR.BETA the next 40, each cut on a
// character boundary. A mail keeps its subject in MAI.SUBJECT (50 bytes). A
// subject that these fields cannot give back byte for byte (one longer than
// the fields, one whose cut falls inside a character, one with a blank where
// ALPHA's padding would hide it) is kept whole in the database's Subjects
// file under the thread's or the mail's ID; the fields keep its start for the
// keys. Every reader, exporter and the indexer take subjects from here, and
// the time of day of a message too.
#pragma once

#include <cstdint>
#include <string>
#include <vector>
#include <string_view>

#include "services/db_kind.h"
#include "storage/fixedstr.h"

namespace qv {

// The heading fields of a subject: its first 10 bytes and the next 40, each
// cut on a character boundary.
void splitSubject(std::string_view subject, Str<10>& alpha, Str<40>& beta);
// What the heading fields alone give: ALPHA padded to its 10 bytes, then BETA,
// without trailing blanks.
std::string joinedHeading(const Str<10>& alpha, const Str<40>& beta);

// Keeps `subject` whole for the thread or mail `id` when `fromFields` (what
// its record's fields give) differs from it; the database's Subjects file is
// open, normally in the caller's transaction. A failed write is reported
// with `reportMode` (services/record_helpers.h) and gives false.
bool keepWholeSubject(uint32_t id, std::string_view subject, std::string_view fromFields, int reportMode);
// Removes the whole subject kept for `id`, if any.
bool forgetWholeSubject(uint32_t id, int reportMode);

// The subject of the thread or mail `id`: the one kept whole, else
// `fromFields`. Reads the Subjects file of the current database, opening it
// for reading when no procedure has it open.
std::string wholeSubject(uint32_t id, std::string fromFields);

// The time of day of forum and newsgroup messages: MsgNmbr holds a date only,
// so the time a source gave is kept beside the record in the database's
// Extras file. keepMessageTime stores `time` for message `id` (Extras open,
// normally in the caller's transaction; a time of 0 removes a kept one);
// messageTime reads it (0 when none is kept), opening the file for reading
// when no procedure has it open.
bool keepMessageTime(uint32_t id, int32_t time, int reportMode);
int32_t messageTime(uint32_t id);

// The heading of the thread in the THR buffer; the subject of the mail in the
// MAI buffer.
std::string threadHeading();
std::string mailSubject();
// The heading of a thread by its number (the THR buffer is left as it was);
// empty when the thread is missing.
std::string headingOfThread(uint32_t threadNumber);

// Reads the message `id` of a database kind into its record buffer (MSG for
// forum and newsgroup databases, MAI for mail). False when it is missing.
bool readMessage(int kind, uint32_t id);
// The subject of the message in the MSG or MAI buffer (for MSG, its thread's
// heading; the THR buffer is left as it was).
std::string subjectOfMessage(int kind);

// What every kind of message has, read with readMessage.
struct MessageHeader {
  uint32_t id = 0;
  uint32_t fromId = 0;
  uint32_t toId = 0;
  uint32_t threadNumber = 0;  // forum and newsgroup messages
  int32_t date = 0;
  int32_t time = 0;           // 0 when the message has no known time
  std::string subject;
};
bool readMessageHeader(int kind, uint32_t id, MessageHeader& out);
// The headers of the messages `ids`, one for each in the same order, as
// readMessageHeader gives them, read with one statement per file for the
// whole list (a list of hits is read this way); a message that is missing
// gives an empty header (ID 0). The message files of the kind are open;
// the THR buffer is left as it was.
std::vector<MessageHeader> readMessageHeaders(int kind, const std::vector<uint32_t>& ids);

}  // namespace qv
