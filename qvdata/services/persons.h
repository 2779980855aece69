// Finding and creating persons, and recounting their messages.
#pragma once

#include <string>

namespace qv {

// The person string of a name and address: upper case of the trimmed name,
// one blank and the address.
std::string personString(const std::string& name, const std::string& address);

// Finds the person of a name and address (by person string, then by alias),
// creating it when there is none; the person is left in the PER buffer.
// Returns false on success and true when no person could be made (the
// current transaction is then rolled back). Person, PLINK and Control must be
// open.
bool AddPers(const std::string& name, const std::string& address);

// Recounts the mail sent and received by the person in the PER buffer (the
// mail database's Mail file open). Mode 0 returns 3 when the person has no
// mail; mode 1 then stores zero counts and returns 2; otherwise 2 when the
// counts changed (they are stored in the buffer) and 0 when not. The caller
// writes the person back.
int CFromToMail(int mode);

// The same count over the forum or newsgroup messages (MsgNmbr open): 2 when
// the counts changed, 3 when the person has no message at all, 0 otherwise.
int RecountForumPerson();

}  // namespace qv
