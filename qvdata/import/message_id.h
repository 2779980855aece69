// Message-ID strings as the fixed 60-character fields of the import and
// message-ID files keep them.
#pragma once

#include <string>

namespace qv {

// The form of a Message-ID stored in a 60-character field: the ID itself
// when it fits; a longer ID keeps its first 47 bytes (cut on a character
// boundary), a "~" and 12 hex digits of a hash of the whole ID, so that two
// long IDs that share their first 60 characters are still told apart.
std::string messageIdKey(const std::string& id);

}  // namespace qv
