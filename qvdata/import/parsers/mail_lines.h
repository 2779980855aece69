// Lines of a mailbox file for the mail parsers, and the tests that tell
// message boundaries and header lines apart.
//
// A mailbox is read in pieces of at most kPiece bytes: a longer line goes on
// in the next piece, which is not a line start, so only real line starts are
// ever taken for separators or headers. A byte-order mark at the start of the
// file is passed over, and a file with classic Mac line ends (CR alone, no LF
// in its first block) is cut at CR.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "import/parsers/block_reader.h"

namespace qv::mail {

inline constexpr size_t kPiece = 4000;

struct MailLine {
  std::string text;    // without the line end
  bool start = true;   // the piece begins a line
  bool ended = true;   // a line end follows the piece
  std::string_view eol = "\n";  // that line end as the file holds it; empty when none
  bool blank() const { return start && ended && text.empty(); }
};

class MailLines {
 public:
  // Starts at the current position of the reader (the start of the file).
  explicit MailLines(BlockReader& r);
  // The next piece; false at the end of the file.
  bool next(MailLine& line);
  // The piece next() will give, without taking it; nullptr at the end.
  const MailLine* peek();
  // Gives a piece back: next() returns it again.
  void unget(MailLine line);
  bool crOnly() const { return crEnds_; }

 private:
  bool read(MailLine& line);
  BlockReader& r_;
  bool crEnds_ = false;
  bool lastEnded_ = true;
  // Pieces looked at or given back: the first held_ slots, the next piece
  // last; the slots past them keep their buffers for later pieces.
  std::vector<MailLine> ahead_;
  size_t held_ = 0;
};

// The empty line an mbox writes between a message and the next separator
// line (and after the last message) is the store's, not the message's: an
// original that ends with an empty line loses it.
void dropSeparatorBlank(std::string& original);

// "Name:" at the start of a line: a name of printable ASCII characters
// without blanks, then a colon.
bool headerShaped(std::string_view line);

// The mailbox separator of the header-block stores: a line that begins with
// "From " and has an "@" within its next 44 characters.
bool fromLineWithAt(std::string_view line);

// The header lines the header-block stores (Unix Mail, Becky Mail, Agent
// Mail) recognise by their name as written: the four message headers, the
// other recognised names, and the separator of fromLineWithAt().
bool unixHeaderLine(std::string_view line);

// A header line that only a message's own header block holds: From, To, Cc,
// Subject, Date, Message-ID, Received, Return-Path, Sender, Reply-To,
// Newsgroups, MIME-Version and the Content- headers; names compared without
// case, blanks allowed before the colon (the obsolete form "Subject :").
bool messageHeaderLine(std::string_view line);

// Which of "From:", "Date:", "To:" and "Subject:" the line begins with (as
// written): a bit 1, 2, 4 or 8; 0 for none.
unsigned messageHeaderBit(std::string_view line);

// A mailbox separator line as mbox files of every kind write it, when the
// next line is a header line: "From " followed by a sender and an asctime
// date ("From joe@example.org Wed Dec  1 08:26:40 2010", also the sender
// forms "MAILER-DAEMON", "???@???" and "joe at example.org"), the Mozilla
// forms "From - date", "From -" and a bare "From ", or the written form of
// fromLineWithAt().
bool mboxSeparator(std::string_view line, const MailLine* next);

// The separators of the Mozilla-family stores: a line that begins with
// "From - " always; "From -" and a bare "From " when a header line follows.
bool mozillaSeparator(std::string_view line, const MailLine* next);

// A body line escaped by an mbox writer (">From ", ">>From " ...) loses one
// ">".
void unescapeFrom(std::string& line);

}  // namespace qv::mail
