// CompuServe Mail as the host shows it, which is also how the OzCIS family
// keeps its mail:
//   Date:  06-Jun-92 15:03 EDT             date, time and zone from column 8
//   From:  Bill B. Ball [76543,210]        a received mail ("MgTo:" a sent one)
//   Subj:  A subject                       ("Reply to: X" is the subject "Re: X")
//   (one line passed over)
//   text ...
#pragma once

#include <cstddef>
#include <string_view>

#include "import/parser.h"
#include "import/parsers/line_reader.h"

namespace qv::cis {

inline constexpr std::string_view kMailDateLabel = "Date:  ";

// True when `line` and the line after it begin a mail: "Date:  " followed by
// "From:" or "MgTo:". A "Date:  " line inside a text, followed by anything
// else, begins none.
bool mailLayoutStart(std::string_view line, std::string_view next);

// Converts the mail held in `msg` into a mail of the import's mailbox; the
// text starts at line `textLine` (1-based; leading empty lines dropped).
// Counted as skipped when mail is not imported, there is no mailbox, the
// import only creates databases, or the header does not match. False when
// the record could not be written.
bool convertLayoutMail(ImportContext& ctx, const MessageLines& msg, size_t textLine);

}  // namespace qv::cis
