// Decoding one Internet message (mail or news article) into the values the
// import needs: decoded headers, addresses, date, identifiers and the body as
// plain text.
//
// The mail and news parsers cut a message out of their store (a header block
// and a body) and hand its bytes to decodeMessage(). GMime reads the MIME
// structure, the transfer encodings, encoded words and dates; the text is
// decoded to UTF-8 by the charset rules of charset.h and HTML is converted by
// htmlToText().
//
// What decodeMessage() does with the body:
// - multipart/alternative: the text/plain part is used, else the HTML part,
//   else the first other text; the other alternatives are left out;
// - other multiparts (mixed, related, signed, digest ...) are walked depth
//   first, each text part adding its text, separated from the text before it
//   by a blank line;
// - a multipart whose boundary never occurs is read as plain text;
// - message/rfc822 (a forwarded or attached message) adds
//     ---------- Forwarded message ----------
//     From: ... / Date: ... / Subject: ... / To: ... / Cc: ... / Newsgroups: ...
//     (blank line) its own text, decoded by the same rules
//     ---------- End of forwarded message ----------
// - an attachment (a part that is not text, a part with Content-Disposition
//   attachment, a text part that holds binary data, a uuencoded or yEnc block
//   inside plain text) adds the line
//     [Attachment: <file name or "unnamed">, <type/subtype>, <n> bytes]
//   where n is its decoded size; its bytes never reach the text; an
//   attachment whose data cannot be decoded whole (uuencoded data without
//   its begin or end line) ends its line in ", damaged" instead;
// - a part declared base64 that holds no base64 data (plain words) keeps
//   its text as written, followed by the line
//     [Damaged: the text above is not base64 as declared: kept as written]
// - line ends are CR LF; the text is cut to DecodeOptions::maxText bytes on a
//   character boundary, keeping room for the attachment lines that the cut
//   would lose.
// Bad input never fails: whatever can be read is returned.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mime/charset.h"
#include "mime/dates.h"

namespace qv::mime {

struct Address {
  std::string name;     // decoded display name, may be empty
  std::string address;  // addr-spec as written, may be empty
};

struct Attachment {
  std::string filename;     // decoded, may be empty
  std::string contentType;  // lower case "type/subtype"
  uint64_t size = 0;        // decoded bytes
  bool damaged = false;     // its data cannot be decoded whole (size: what could be)
};

struct DecodeOptions {
  size_t maxText = 64000;  // the stored text holds at most this many bytes
  // The charset of 8-bit text and header bytes that declare none and are not
  // UTF-8 (Mac Roman for the stores of classic Mac readers).
  LegacyCharset legacy = LegacyCharset::Windows1252;
};

struct DecodedMessage {
  // Every header of the message in order: the name as written, the value
  // unfolded, its encoded words decoded, in UTF-8, control characters
  // (tabs, stray CRs) turned into blanks and outer blanks removed.
  std::vector<std::pair<std::string, std::string>> headers;
  // The mailbox separator line ("From sender date") when the bytes begin with
  // one, without "From " and the line end.
  std::string envelope;

  std::string fromRaw, toRaw, ccRaw, subject;  // decoded header texts ("" when absent)
  std::vector<Address> from, to, cc, bcc, replyTo;

  // The date and time as written in the Date header, in the sender's own
  // time (not converted); tzMinutes is the zone offset written with it
  // (0 when none). Without a readable Date header the date of the mailbox
  // separator line is used, and dateFromEnvelope is set.
  bool hasDate = false;
  bool dateFromEnvelope = false;
  int32_t date = 0;  // day number (services/datetime.h)
  int32_t time = 0;  // hundredths of a second since midnight + 1; 0 = none
  int tzMinutes = 0;

  std::string messageId;                // without angle brackets
  std::vector<std::string> references;  // in order, without brackets; In-Reply-To when References is absent
  std::vector<std::string> newsgroups;  // from Newsgroups, in order

  std::string text;  // the body as text, UTF-8, CR LF line ends
  bool textCut = false;  // the text was longer than DecodeOptions::maxText
  bool html = false;     // the text was converted from HTML
  std::vector<Attachment> attachments;
};

DecodedMessage decodeMessage(std::string_view raw, const DecodeOptions& options = {});

// Sets up GMime and the decoder's shared tables once. decodeMessage() does it
// itself when needed; a program that decodes on several threads calls this
// first, on one thread, before the others start. The decoder keeps no other
// state between calls but per-thread caches.
void prepareDecoding();

// The line that stands for an attachment in the text:
// "[Attachment: <file name or "unnamed">, <type/subtype>, <n> bytes]", and
// for one that cannot be decoded whole "..., <n> bytes, damaged]".
std::string attachmentLine(const Attachment& a);

// Decodes one header value as decodeMessage() does for DecodedMessage::headers:
// unfolds it, reads 8-bit bytes as UTF-8 when valid, else in charsetHint
// (the charset the message declares for its text), else as Windows-1252, and
// decodes RFC 2047 encoded words.
std::string decodeHeader(std::string_view rawValue, std::string_view charsetHint = {});

// The addresses of an address header value (From, To, Cc ...); groups are
// flattened into their members.
std::vector<Address> parseAddresses(std::string_view rawValue, std::string_view charsetHint = {});

}  // namespace qv::mime
