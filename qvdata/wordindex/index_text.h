// Which parts of a message's text are cut into words for the index.
//
// Forum and newsgroup messages: the text less its footer (unless footers are
// indexed for the kind): a last line whose last word begins with "REPL" is
// cut off, then the last block of lines after an empty or separator line
// (the tag line or signature).
//
// Mail: the text less Internet headers. When one of the first 31 lines
// begins with "Content-Type:", "Message-ID:" or "X-Mailer:", the text
// carries its headers and indexing starts after the first empty line that
// follows (nothing is indexed when there is none). A multipart body indexes
// only its text/plain part (the first text/html part, converted to text,
// when it has none; nested multiparts are searched too); a body or part in
// quoted-printable or base64, or in HTML, is decoded first; when the headers
// mention "uuencode" the text ends at the first line beginning with "begin".
//
// All kinds: a uuencoded block ("begin <mode> <name>" followed by encoded
// lines, up to "end") is never indexed, and an attachment line written by the
// mail decoder ("[Attachment: <name>, <type>, <n> bytes]") gives only the
// attachment's file name.
#pragma once

#include <functional>
#include <string_view>

#include <cstdint>

#include "services/db_kind.h"

namespace qv {

// Calls `part` with each piece of `text` that is to be cut into words, in
// order. `kind` is the DbKind of the message's database; `indexFooters` is
// the footer switch of the kind (forum and newsgroup messages only).
void forEachIndexedPart(std::string_view text, int kind, bool indexFooters,
                        const std::function<void(std::string_view)>& part);

// The footer switch of a database kind in the word-index settings (block 10,
// loaded): false for mail, which has no footers.
bool footersIndexed(int kind);

// The settings that choose which words a text is cut into, as one number
// kept with the words of each indexed text: a phrase check made under other
// settings does not use them.
enum TextCut : uint32_t { CutNumbers = 1, CutFooters = 2 };
inline uint32_t textCut(bool indexNumbers, bool indexFooters) {
  return (indexNumbers ? uint32_t(CutNumbers) : 0u) | (indexFooters ? uint32_t(CutFooters) : 0u);
}

}  // namespace qv
