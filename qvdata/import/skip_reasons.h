// Why an import skips a message: the reasons parsers give, and the summary
// the import window and qvcli show of them.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace qv {

// Reasons, as the summary names them.
inline constexpr const char* kSkipNoMessageId = "no Message-ID";
inline constexpr const char* kSkipNoNewsgroup = "no newsgroup";
inline constexpr const char* kSkipNoGroupDatabase = "no newsgroup database open to imports";
inline constexpr const char* kSkipNoMailbox = "no mailbox open to imports";
inline constexpr const char* kSkipMailNotImported = "mail not imported";
inline constexpr const char* kSkipCreationOnly = "database creation only";
inline constexpr const char* kSkipNoForumDatabase = "no forum database open to imports";
inline constexpr const char* kSkipInDatabase = "already in the database";
inline constexpr const char* kSkipTwiceInRun = "met twice in this import";
inline constexpr const char* kSkipNoTextInStore = "no text in the store";
inline constexpr const char* kSkipDamagedInStore = "damaged in the store";

// One line per reason, most frequent first: "no Message-ID: 3".
std::vector<std::string> skipReasonLines(const std::map<std::string, int64_t>& reasons);

}  // namespace qv
