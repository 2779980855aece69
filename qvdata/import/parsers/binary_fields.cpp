#include "import/parsers/binary_fields.h"

#include <algorithm>

#include "import/parsers/cis_text.h"
#include "services/datetime.h"
#include "storage/fixedstr.h"

namespace qv::cis {

namespace {

// Bytes of the longest text kept: every source byte gives at least one byte
// of UTF-8, and a leading "@l" may still go.
constexpr size_t kTextBytes = kMaxText + 2;

// Length of the UTF-8 sequence a lead byte starts; 0 for a continuation byte.
size_t sequenceLength(unsigned char c) {
  if (c < 0x80) return 1;
  if ((c & 0xE0) == 0xC0) return 2;
  if ((c & 0xF0) == 0xE0) return 3;
  if ((c & 0xF8) == 0xF0) return 4;
  return 0;
}

// The bytes less an incomplete UTF-8 sequence at their end.
std::string_view withoutCutSequence(std::string_view s) {
  size_t back = std::min<size_t>(s.size(), 4);
  for (size_t i = 1; i <= back; ++i) {
    unsigned char c = static_cast<unsigned char>(s[s.size() - i]);
    if ((c & 0xC0) == 0x80) continue;  // a continuation byte: look further back
    size_t len = sequenceLength(c);
    if (len > i) return s.substr(0, s.size() - i);
    return s;
  }
  return s;
}

// Line ends made CR LF; NUL bytes (padding, no text) dropped.
std::string crlf(std::string_view s) {
  std::string out;
  out.reserve(s.size() + s.size() / 32);
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c == '\r') {
      out += "\r\n";
      if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out += "\r\n";
    } else if (c != '\0') {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace

bool FieldReader::has(uint64_t n) {
  if (!ok_) return false;
  if (n == 0) return true;
  if (limit_ >= 0) return uint64_t(std::max<int64_t>(0, limit_ - position())) >= n;
  if (n >= BlockReader::kWindow - BlockReader::kBlock) return false;
  return r_->peek(size_t(n - 1)) >= 0;
}

bool FieldReader::atEnd() { return !has(1); }

int64_t FieldReader::remaining() const { return limit_ < 0 ? -1 : std::max<int64_t>(0, limit_ - position()); }

bool FieldReader::take(size_t n, std::string& out) {
  out.clear();
  if (!ok_) return false;
  if (limit_ >= 0 && uint64_t(remaining()) < n) {
    ok_ = false;
    return false;
  }
  if (r_->read(out, n) != n) {
    ok_ = false;
    out.clear();
    return false;
  }
  return true;
}

uint8_t FieldReader::byte() {
  std::string b;
  if (!take(1, b)) return 0;
  return static_cast<uint8_t>(b[0]);
}

uint16_t FieldReader::u16() {
  std::string b;
  if (!take(2, b)) return 0;
  return uint16_t(uint8_t(b[0]) | uint16_t(uint8_t(b[1])) << 8);
}

uint32_t FieldReader::u32() {
  std::string b;
  if (!take(4, b)) return 0;
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | uint8_t(b[size_t(i)]);
  return v;
}

void FieldReader::skip(uint64_t n) {
  if (!ok_ || n == 0) return;
  if (limit_ >= 0 && uint64_t(remaining()) < n) {
    ok_ = false;
    return;
  }
  int64_t target = position() + int64_t(n);
  r_->skip(size_t(n));
  if (position() != target) ok_ = false;
}

void FieldReader::skipTo(int64_t offset) {
  if (!ok_) return;
  if (offset < position()) {
    ok_ = false;
    return;
  }
  skip(uint64_t(offset - position()));
}

std::string FieldReader::string(size_t maxChars) {
  size_t n = byte();
  std::string raw;
  if (!take(n, raw)) return {};
  return fieldText(raw, maxChars);
}

int32_t FieldReader::dayMonthYear() {
  int day = byte();
  int month = byte();
  int year = byte();
  if (!ok_) return 0;
  return dateFromYMD(1970 + year, month, day);
}

int32_t FieldReader::date() {
  skip(4);
  return dayMonthYear();
}

int32_t FieldReader::time() {
  int seconds = byte();
  int minutes = byte();
  int hours = byte();
  if (!ok_ || hours > 23 || minutes > 59 || seconds > 59) return 0;
  return timeFromHMS(hours, minutes, seconds);
}

std::string FieldReader::text(uint64_t n, bool dropMarker) {
  if (!ok_) return {};
  std::string raw;
  bool cut;
  if (n == npos && limit_ < 0) {
    // To the end of the file: keep what fits, leave the rest unread.
    r_->read(raw, kTextBytes);
    cut = !r_->atEnd();
  } else {
    if (n == npos) n = uint64_t(remaining());
    size_t keep = size_t(std::min<uint64_t>(n, kTextBytes));
    if (!take(keep, raw)) return {};
    skip(n - keep);
    if (!ok_) return {};
    cut = n > keep;
  }
  std::string_view s = raw;
  if (dropMarker && s.starts_with("@l")) s.remove_prefix(2);
  return messageText(s, cut);
}

PackedDateTime unpackDateTime(uint32_t value) {
  PackedDateTime r;
  uint32_t t = value & 0xFFFF, d = value >> 16;
  int seconds = int(t & 0x1F) * 2, minutes = int((t >> 5) & 0x3F), hours = int((t >> 11) & 0x1F);
  if (hours <= 23 && minutes <= 59 && seconds <= 59) r.time = timeFromHMS(hours, minutes, seconds);
  int day = int(d & 0x1F), month = int((d >> 5) & 0x0F), year = 1970 + int((d >> 9) & 0x7F);
  r.date = dateFromYMD(year, month, day);
  return r;
}

std::string messageText(std::string_view raw, bool cut) {
  std::string_view whole = cut ? withoutCutSequence(raw) : raw;
  std::string text = isValidUtf8(whole) ? crlf(whole) : crlf(windows1252ToUtf8(raw));
  if (text.size() > kMaxText) {
    text.resize(utf8CutLength(text, kMaxText));
    if (!text.empty() && text.back() == '\r') text.pop_back();  // half a line break
  }
  return text;
}

std::string cutChars(std::string_view s, size_t maxChars) {
  size_t chars = 0, i = 0;
  while (i < s.size()) {
    if (chars == maxChars) break;
    ++i;
    while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
    ++chars;
  }
  return std::string(s.substr(0, i));
}

std::string fieldText(std::string_view raw, size_t maxChars) {
  size_t nul = raw.find('\0');
  if (nul != std::string_view::npos) raw = raw.substr(0, nul);
  std::string decoded = decodeSource(raw);
  return cutChars(trim(decoded), maxChars);
}

std::string withoutInternetPrefix(std::string_view address) {
  std::string_view a = trim(address);
  if (startsWithNoCase(a, "INTERNET:")) a = trim(a.substr(9));
  return std::string(a);
}

std::string withoutCopyOf(std::string_view subject) {
  if (subject.starts_with("Copy of:")) subject = trimLeft(subject.substr(8));
  return std::string(subject);
}

std::string senderName(std::string name, std::string_view rawAddress, std::string_view address) {
  if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
  if (name == rawAddress || name == address) name.clear();
  return name;
}

void readRecipients(FieldReader& f, size_t count, size_t maxChars, uint64_t gap, const char* type,
                    std::vector<Recipient>& out) {
  for (size_t i = 0; i < count && f.ok(); ++i) {
    Recipient r;
    r.name = f.string(maxChars);
    r.address = withoutInternetPrefix(f.string(maxChars));
    r.type = type;
    f.skip(gap);
    if (f.ok()) out.push_back(std::move(r));
  }
}

}  // namespace qv::cis
