// The browsers' window titles and the message count they show.
#pragma once

#include <cstdint>
#include <string>

namespace qv {

// The number of messages (forum, newsgroup) or mails of the current
// database. Taken from the database-list record (FOR.MSGCOUNT) while its
// count flag is clear, so that opening a large database costs no count; a
// record with the flag set or a count of 0 has the message file counted.
uint32_t messageCount(int kind);

// " Forum database: " + description + " Messages [" + count + "]",
// " Newsgroup database: " ... for newsgroups, " Mail database: " + description +
// " [" + count + "]" for mail.
std::string browseTitle(int kind, const std::string& description, uint32_t count);

}  // namespace qv
