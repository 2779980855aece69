// Finding and creating persons, and recounting their messages.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace qv {

class File;
class Key;

// The person string of a name and address: upper case of the trimmed name,
// one blank and the address.
std::string personString(const std::string& name, const std::string& address);

// Finds the person of a name and address (by person string, then by alias),
// creating it when there is none; the person is left in the PER buffer.
// Returns false on success and true when no person could be made (the
// current transaction is then rolled back). Person, PLINK, Extras (for a
// name longer than its fields, services/whole_names.h) and Control must be
// open; a link to a person that is gone is removed when the transaction
// holds PLINK, else left for the purge, which removes such links.
bool AddPers(const std::string& name, const std::string& address);

// Walks the records of a person in a key that starts with the person's
// alpha (compared without regard to case) and ID: `each` runs with every
// record in the file's buffer, until it answers false. The file must be open.
void walkPersonKey(File& f, const Key& k, const std::string& alpha, uint32_t id, const std::function<bool()>& each);

// What a recount of a person's messages found.
enum RecountResult : int {
  RecountSame = 0,        // the stored counts are right
  RecountChanged = 2,     // the counts changed; they are in the PER buffer
  RecountNoMessages = 3,  // the person has no message at all
};
// What a recount does about a person without messages.
enum RecountMode : int {
  RecountReportNone = 0,  // tell RecountNoMessages
  RecountZeroNone = 1,    // store zero counts (RecountChanged)
  RecountCountsOnly = 2,  // only set counts that are wrong
};

// Recounts the mail sent and received by the person in the PER buffer (the
// mail database's Mail file open). RecountReportNone returns
// RecountNoMessages when the person has no mail; RecountZeroNone then stores
// zero counts and returns RecountChanged; otherwise RecountChanged when the
// counts changed (they are stored in the buffer) and RecountSame when not.
// The caller writes the person back.
int CFromToMail(int mode);

// The same count over the forum or newsgroup messages (MsgNmbr open), as
// RecountReportNone does it.
int RecountForumPerson();

}  // namespace qv
