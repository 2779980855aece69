// Two process-wide slots through which the browsers pass their current
// selection to the find, thread-tree, topic and group windows.
#pragma once

#include <string>

namespace qv {

// KSet (settings.h) stores the text (cut to 63 / 74 characters), KGet
// returns it; any other operation does nothing and returns an empty text.
std::string Context(int op, const std::string& text = {});
std::string MailContext(int op, const std::string& text = {});

}  // namespace qv
