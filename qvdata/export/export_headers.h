// The header lines of exported messages in each layout, the lines a message
// takes in an export file, and the framed clipboard text.
#pragma once

#include <string>
#include <vector>

#include "export/message_set.h"

namespace qv {

// Every `kind` here is a DbKind: the kind of the database the messages come
// from. A kind that is neither mail nor newsgroup is written as forum.

// The kind of the current database (Mem.ForumType).
int exportedKind();

// The layout the export settings give a kind: its own item
// (ItemExportLayoutForum, ItemExportLayoutMail, ItemExportLayoutNews), else
// the general ItemExportHeaders, else 1.
int exportLayout(int kind);
// Mail layouts 2 to 4 write received mail and the owner's own mail to two
// files.
bool twoFileLayout(int kind, int layout);

// Header lines of a message in an export file. Forum layouts 1 and 4, mail
// layouts 1 to 4, newsgroup messages in any layout; no lines for another
// layout. `database` is the current database's name.
std::vector<std::string> fileHeader(int kind, int layout, const MessageData& m, const std::string& database);
// Header lines of a message copied to the clipboard: forum and newsgroup
// messages in their clipboard form, mail in its layout.
std::vector<std::string> clipboardHeader(int kind, int layout, const MessageData& m,
                                         const std::string& database);

// The text's lines, each wrapped at `width` when `wrap` is set.
std::vector<std::string> bodyLines(const std::string& text, bool wrap, size_t width);
// The lines of a message in an export file: the header, an empty line, the
// text (at most 64000 bytes), an empty line.
std::vector<std::string> fileLines(const std::vector<std::string>& header, const std::string& text, bool wrap,
                                   size_t width);
// The clipboard's text: banner, header and text between lines of hyphens,
// every line ending in CR LF.
std::string clipboardText(int kind, const std::vector<std::string>& header, const std::string& text, bool wrap,
                          size_t width);

}  // namespace qv
