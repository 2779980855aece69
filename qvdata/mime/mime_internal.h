// Pieces shared by the files of the message decoder (not a public header):
// small text helpers, GObject ownership, the raw header of a header block,
// the date of a mailbox separator line and the decoding of the body.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mime/gmime_support.h"
#include "mime/mime_message.h"

namespace qv::mime::detail {

inline char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }
inline char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

inline std::string lowerCopy(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = lowerAscii(c);
  return out;
}

inline bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  return true;
}

inline bool isWsp(char c) { return c == ' ' || c == '\t'; }

inline std::string_view trimWsp(std::string_view s) {
  while (!s.empty() && (isWsp(s.front()) || s.front() == '\r' || s.front() == '\n')) s.remove_prefix(1);
  while (!s.empty() && (isWsp(s.back()) || s.back() == '\r' || s.back() == '\n')) s.remove_suffix(1);
  return s;
}

// Control characters become blanks; outer blanks go.
inline std::string cleanHeaderText(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return std::string(trimWsp(out));
}

// Header folding removed: a line end followed by a blank or tab is dropped;
// any other CR or LF becomes a blank.
inline std::string unfold(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n') continue;
    if (c == '\n') {
      if (i + 1 < s.size() && isWsp(s[i + 1])) continue;
      out += ' ';
      continue;
    }
    out += c == '\r' ? ' ' : c;
  }
  return out;
}

// The next line of s from pos: its text without the line end, and the
// position after it.
inline std::string_view lineAt(std::string_view s, size_t pos, size_t& next) {
  size_t eol = s.find('\n', pos);
  if (eol == std::string_view::npos) {
    next = s.size();
    eol = s.size();
  } else {
    next = eol + 1;
  }
  std::string_view line = s.substr(pos, eol - pos);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

// A header line "Name: value" (blanks allowed before the colon): the name
// is printable ASCII without blanks.
inline bool headerLine(std::string_view line, std::string_view& name, std::string_view& value) {
  size_t colon = line.find(':');
  if (colon == std::string_view::npos || colon == 0) return false;
  size_t end = colon;
  while (end > 0 && isWsp(line[end - 1])) --end;
  if (end == 0) return false;
  for (size_t i = 0; i < end; ++i) {
    unsigned char c = static_cast<unsigned char>(line[i]);
    if (c <= 32 || c >= 127) return false;
  }
  name = line.substr(0, end);
  value = line.substr(colon + 1);
  return true;
}

template <class T>
struct GObjectDeleter {
  void operator()(T* p) const {
    if (p) g_object_unref(p);
  }
};
template <class T>
using GRef = std::unique_ptr<T, GObjectDeleter<T>>;

// One header of a header block as written.
struct RawHeader {
  std::string name;
  std::string value;  // unfolded bytes as written
};

// A message cut into its header block and body.
struct SplitMessage {
  std::vector<RawHeader> headers;
  std::string envelope;  // the mailbox separator line without "From ", when there is one
  size_t bodyStart = 0;
};

// Splits the header block from the body. Folded lines are joined. A line
// that is not a header but is followed by more header lines continues the
// header before it (broken folding); otherwise the header block ends there
// and that line starts the body (a missing blank line), so no text is lost.
SplitMessage splitHeaders(std::string_view s);

// The bytes a decoder reads: classic Mac line ends (CR alone, no LF
// anywhere) become LF in `converted`, which then holds them.
std::string_view withLineFeeds(std::string_view raw, std::string& converted);

// The body as one MIME entity as GMime reads it: the content headers among
// `headers`, then `body`. When part header blocks had to be closed, `body`
// is set to the closed bytes, kept in `closed`. Null when GMime cannot read
// the body.
GRef<GMimeObject> parseBody(const std::vector<RawHeader>& headers, std::string_view& body, std::string& closed);

// What the decoders read of one MIME part.
// The media type: its Content-Type read by MIME's rules (a missing subtype
// or an unreadable value is text/plain), GMime's default when it has none
// (text/plain, or message/rfc822 in a digest).
std::string contentTypeOf(GMimeObject* obj);
// The media type of a leaf part: contentTypeOf(), but a part whose type says
// multipart that GMime could not read as one (no boundary, no parts) is
// text/plain: a multipart is never an attachment of its own.
std::string leafTypeOf(GMimeObject* obj);
std::string charsetOf(GMimeObject* obj);
// The file name (filename or name parameter, RFC 2231 and 2047 decoded) in
// UTF-8, "" when none.
std::string filenameOf(GMimePart* part);
bool isAttachmentDisposition(GMimeObject* obj);
// text/... and the message reports that are read as text.
bool isTextType(const std::string& type);
// Streams the decoded content of a part to sink; false when the part has no
// content. Uuencoded content is decoded as uudecode does (uudecode.h); base64
// content that holds no base64 data (plain words) is given as it stands.
// `damage` tells why the bytes given are not the part's whole decoded
// content ("" when they are).
bool readDecoded(GMimePart* part, const std::function<void(const char*, size_t)>& sink,
                 std::string* damage = nullptr);
// A forwarded message whose content is transfer-encoded (base64 or quoted-
// printable, which MIME forbids for message/rfc822 but mailers write), left
// a leaf by GMime: its decoded content read as a message. Null for any other
// part, or when the content holds no header.
GRef<GMimeMessage> encodedMessage(GMimePart* part, const std::string& type);
// More than a tenth control characters besides NUL bytes (NUL bytes alone
// too): binary data in a text part.
bool looksBinary(std::string_view sample);
// UTF-16, UTF-32 and their kin, whose text is full of NUL bytes.
bool isWideCharset(std::string_view cs);

// The date of a mailbox separator line ("sender Wed Dec  1 08:26:40 2010").
bool envelopeDate(std::string_view envelope, int32_t& date, int32_t& time, int& tzMinutes);

// The body with an empty line put after each part header block that runs
// straight into the part's content (some mailers write parts so): a part's
// header block ends at the first line that is not a header line, unless
// more header lines follow (a folded line that lost its leading blank,
// which gets one). Boundaries
// are those of `contentType` (the message's Content-Type) and of the part
// headers met on the way; the header block of a forwarded message
// (message/rfc822) is closed the same way. False, and `out` untouched, when
// every header block is closed already.
bool closePartHeaders(std::string_view body, std::string_view contentType, std::string& out);

// Decodes the body of a message into m.text and m.attachments: GMime reads
// its structure from the content headers among `headers` and the bytes of
// `body`. `hint` is the charset the message declares for its text.
void decodeBody(DecodedMessage& m, const std::vector<RawHeader>& headers, std::string_view body,
                std::string_view hint, const DecodeOptions& options);

}  // namespace qv::mime::detail
