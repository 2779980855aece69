// Fuzzes the message decoder: one input is one message as a mail or news
// parser hands it over. Besides crashes and sanitizer reports, the decoder's
// promises are checked: the text is valid UTF-8 with CR LF line ends and
// within the size asked for, header values are valid UTF-8, dates are real
// days.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "mime/charset.h"
#include "mime/content_type.h"
#include "mime/html_text.h"
#include "mime/message_parts.h"
#include "mime/mime_message.h"
#include "originals/safe_save.h"
#include "services/datetime.h"

namespace {

using qvfuzz::onlyCrLf;

void checkMessage(const qv::mime::DecodedMessage& m, size_t maxText) {
  using qv::mime::isValidUtf8;
  check(m.text.size() <= maxText);
  check(isValidUtf8(m.text));
  check(onlyCrLf(m.text));
  check(m.text.find('\0') == std::string::npos);
  for (const auto& [name, value] : m.headers) check(isValidUtf8(name) && isValidUtf8(value));
  for (const auto* list : {&m.from, &m.to, &m.cc, &m.bcc, &m.replyTo})
    for (const auto& a : *list) check(isValidUtf8(a.name) && isValidUtf8(a.address));
  for (const auto& a : m.attachments) check(isValidUtf8(a.filename) && isValidUtf8(a.contentType));
  check(isValidUtf8(m.subject) && isValidUtf8(m.fromRaw) && isValidUtf8(m.messageId) && isValidUtf8(m.envelope));
  for (const auto& r : m.references) check(isValidUtf8(r) && !r.empty());
  for (const auto& g : m.newsgroups) check(isValidUtf8(g) && !g.empty());
  if (m.hasDate) {
    check(m.date > 0);
    check(m.time >= 0 && m.time <= qv::kHundredthsPerDay);
  } else {
    check(m.date == 0 && m.time == 0);
  }
}

// The parts of the message: numbered in order, the decoder's every
// attachment found by its line, and the bytes of a part as long as listed;
// each part's name made safe for saving.
void checkParts(std::string_view in, const qv::mime::DecodedMessage& m) {
  std::vector<qv::mime::MessagePart> parts = qv::mime::listParts(in);
  for (size_t i = 0; i < parts.size(); ++i) {
    check(parts[i].number == int(i + 1));
    std::string safe = qv::safeFileName(parts[i].name, parts[i].number);
    check(!safe.empty() && safe.size() <= qv::kSafeNameMax && safe[0] != '.' && safe != "..");
    check(safe.find('/') == std::string::npos && safe.find('\\') == std::string::npos);
    for (unsigned char c : safe) check(c >= 0x20 && c != 0x7F);
  }
  int n = 0;
  for (const auto& a : m.attachments) {
    int found = qv::mime::partOfAttachmentLine(parts, qv::mime::attachmentLine(a), 0);
    check(found == 0 || (found >= 1 && size_t(found) <= parts.size()));
    if (++n > 4) break;
  }
  if (!parts.empty()) {
    const qv::mime::MessagePart& last = parts.back();
    std::optional<std::string> bytes = qv::mime::partBytes(in, last.number);
    check(bytes.has_value());
    if (last.contentType != "application/octet-stream") check(bytes && bytes->size() == last.size);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view in(reinterpret_cast<const char*>(data), size);

  qv::mime::DecodedMessage m = qv::mime::decodeMessage(in);
  checkMessage(m, 64000);
  checkParts(in, m);

  // A small limit exercises the cutting of the text; every other input is
  // read as from a Mac store.
  qv::mime::DecodeOptions small;
  small.maxText = size % 97;
  if (size % 2) small.legacy = qv::mime::LegacyCharset::MacRoman;
  checkMessage(qv::mime::decodeMessage(in, small), small.maxText);

  std::string html = qv::mime::htmlToText(in);
  if (qv::mime::isValidUtf8(in)) check(qv::mime::isValidUtf8(html) && onlyCrLf(html));

  static const char* const charsets[] = {"", "utf-8", "iso-8859-1", "windows-1252", "iso-2022-jp",
                                         "shift_jis", "utf-16", "koi8-r", "x-unknown"};
  check(qv::mime::isValidUtf8(qv::mime::decodeText(in, charsets[size % 9])));
  check(qv::mime::isValidUtf8(qv::mime::decodeText(in, charsets[size % 9], qv::mime::LegacyCharset::MacRoman)));
  check(qv::mime::isValidUtf8(qv::mime::mediaType(in)));
  qv::mime::charsetParameter(in);
  check(qv::mime::isValidUtf8(qv::mime::decodeHeader(in)));

  int32_t date, time;
  int tz;
  if (qv::mime::parseDate(in.substr(0, 200), date, time, tz)) check(date > 0 && time >= 0 && tz > -1440 && tz < 1440);
  return 0;
}
