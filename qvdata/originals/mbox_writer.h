// Originals written as a mailbox file in the mboxrd variant: each message
// after a separator line "From <sender> <date>", every line of it that
// matches ^>*From  quoted with one more '>', a blank line after it. A reader
// that takes one '>' off such lines gets the original bytes back.
#pragma once

#include <string>
#include <string_view>

namespace qv {

// The message `raw` quoted as mboxrd demands.
std::string mboxrdQuote(std::string_view raw);

// The separator line for `raw` (with its line end): the address of its
// sender (Sender, else From; "MAILER-DAEMON" when there is none) and its
// date in UTC as asctime writes it (the Epoch when it has none). A message
// that begins with a separator line keeps that line.
std::string mboxSeparator(std::string_view raw);

// One message as its mailbox entry: separator, quoted bytes ending with a
// line end, then a blank line. The original's own separator line, if it
// has one, is not repeated; an original with CR line ends only (a classic
// Mac store's) gets LF line ends, by which a mailbox is read.
std::string mboxEntry(std::string_view raw);

}  // namespace qv
