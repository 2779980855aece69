#include "import/mime/mime_message.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>

#include "import/mime/charset.h"
#include "import/mime/gmime_support.h"
#include "import/mime/html_text.h"
#include "services/datetime.h"

namespace qv::mime {

namespace {

using detail::gmimeOptions;

// ---------------------------------------------------------------------------
// Small text helpers

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }
char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

std::string lowerCopy(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = lowerAscii(c);
  return out;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  return true;
}

bool isWsp(char c) { return c == ' ' || c == '\t'; }

std::string_view trimWsp(std::string_view s) {
  while (!s.empty() && (isWsp(s.front()) || s.front() == '\r' || s.front() == '\n')) s.remove_prefix(1);
  while (!s.empty() && (isWsp(s.back()) || s.back() == '\r' || s.back() == '\n')) s.remove_suffix(1);
  return s;
}

// Control characters become blanks; outer blanks go.
std::string cleanHeaderText(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return std::string(trimWsp(out));
}

// Header folding removed: a line end followed by a blank or tab is dropped;
// any other CR or LF becomes a blank.
std::string unfold(std::string_view s) {
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

// 8-bit header bytes to UTF-8: UTF-8 when valid, else the message's charset,
// else Windows-1252.
std::string headerBytesToUtf8(std::string_view s, std::string_view hint) {
  if (isValidUtf8(s)) return std::string(s);
  std::string h = lowerCopy(trimWsp(hint));
  if (h.empty() || h == "utf-8" || h == "utf8" || h == "us-ascii") return windows1252ToUtf8(s);
  return decodeText(s, h);
}

// ---------------------------------------------------------------------------
// RFC 2047 encoded words. Each word's bytes are decoded with GMime's base64
// decoder or the Q rules; adjacent words in one charset are joined before
// their charset is decoded (a character may be split between two words), and
// the bytes are decoded by decodeText(), so that no byte is lost to a
// replacement mark.

struct EncodedWord {
  std::string charset;
  std::string bytes;
  size_t end = 0;
};

constexpr size_t kMaxEncodedWord = 1024;

bool encodedWordAt(std::string_view s, size_t i, EncodedWord& w) {
  if (s.compare(i, 2, "=?") != 0) return false;
  size_t limit = std::min(s.size(), i + kMaxEncodedWord);
  size_t q1 = i + 2;
  while (q1 < limit && s[q1] != '?' && !isWsp(s[q1]) && s[q1] != '\r' && s[q1] != '\n') ++q1;
  if (q1 == i + 2 || q1 + 2 >= limit || s[q1] != '?' || s[q1 + 2] != '?') return false;
  char enc = upperAscii(s[q1 + 1]);
  if (enc != 'B' && enc != 'Q') return false;
  size_t t = q1 + 3, e = t;
  while (e + 1 < limit && !(s[e] == '?' && s[e + 1] == '=')) {
    if (isWsp(s[e]) || s[e] == '\r' || s[e] == '\n') return false;
    ++e;
  }
  if (e + 1 >= limit) return false;
  std::string_view cs = s.substr(i + 2, q1 - i - 2);
  cs = cs.substr(0, cs.find('*'));  // RFC 2231 language
  w.charset = std::string(cs);
  std::string_view text = s.substr(t, e - t);
  w.bytes.clear();
  if (enc == 'B') {
    w.bytes.resize(text.size());
    int state = 0;
    guint32 save = 0;
    size_t n = g_mime_encoding_base64_decode_step(reinterpret_cast<const unsigned char*>(text.data()), text.size(),
                                                  reinterpret_cast<unsigned char*>(w.bytes.data()), &state, &save);
    w.bytes.resize(std::min(n, text.size()));
  } else {
    auto hex = [](char c) {
      if (c >= '0' && c <= '9') return c - '0';
      c = upperAscii(c);
      return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    };
    for (size_t k = 0; k < text.size(); ++k) {
      char c = text[k];
      if (c == '_') {
        w.bytes += ' ';
      } else if (c == '=' && k + 2 < text.size() && hex(text[k + 1]) >= 0 && hex(text[k + 2]) >= 0) {
        w.bytes += char(hex(text[k + 1]) * 16 + hex(text[k + 2]));
        k += 2;
      } else {
        w.bytes += c;
      }
    }
  }
  w.end = e + 2;
  return true;
}

// Calls run(decodedUtf8) for each run of adjacent encoded words and
// plain(text) for the text between them, in order.
template <class Run, class Plain>
void scanEncodedWords(std::string_view s, Run&& run, Plain&& plain) {
  std::string charset, bytes;
  bool open = false;
  auto flush = [&] {
    if (open) run(decodeText(bytes, charset));
    open = false;
    bytes.clear();
  };
  size_t i = 0, plainStart = 0;
  EncodedWord w;
  while (i < s.size()) {
    if (s[i] == '=' && encodedWordAt(s, i, w)) {
      if (i > plainStart) {
        flush();
        plain(s.substr(plainStart, i - plainStart));
      }
      if (open && !equalsNoCase(charset, w.charset)) flush();
      if (!open) charset = w.charset;
      open = true;
      bytes += w.bytes;
      i = plainStart = w.end;
      // White space between two encoded words is dropped.
      size_t j = i;
      while (j < s.size() && (isWsp(s[j]) || s[j] == '\r' || s[j] == '\n')) ++j;
      EncodedWord next;
      if (j > i && j < s.size() && encodedWordAt(s, j, next)) i = plainStart = j;
      continue;
    }
    ++i;
  }
  if (s.size() > plainStart) {
    flush();
    plain(s.substr(plainStart));
  }
  flush();
}

std::string decodeEncodedWords(std::string_view s) {
  std::string out;
  scanEncodedWords(
      s, [&](const std::string& t) { out += t; }, [&](std::string_view t) { out.append(t); });
  return out;
}

std::string base64(std::string_view s) {
  static const char* a = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < s.size(); i += 3) {
    uint32_t v = uint32_t(static_cast<unsigned char>(s[i])) << 16;
    if (i + 1 < s.size()) v |= uint32_t(static_cast<unsigned char>(s[i + 1])) << 8;
    if (i + 2 < s.size()) v |= uint32_t(static_cast<unsigned char>(s[i + 2]));
    out += a[(v >> 18) & 63];
    out += a[(v >> 12) & 63];
    out += i + 1 < s.size() ? a[(v >> 6) & 63] : '=';
    out += i + 2 < s.size() ? a[v & 63] : '=';
  }
  return out;
}

// Rewrites every run of encoded words as one UTF-8 word, which GMime's
// address parser then decodes without loss while it keeps the structure.
std::string normaliseEncodedWords(std::string_view s) {
  std::string out;
  scanEncodedWords(
      s,
      [&](const std::string& t) {
        if (!t.empty()) out += "=?UTF-8?B?" + base64(t) + "?=";
      },
      [&](std::string_view t) { out.append(t); });
  return out;
}

template <class T>
struct GObjectDeleter {
  void operator()(T* p) const {
    if (p) g_object_unref(p);
  }
};
template <class T>
using GRef = std::unique_ptr<T, GObjectDeleter<T>>;

// ---------------------------------------------------------------------------
// The header block

struct RawHeader {
  std::string name;
  std::string value;  // unfolded bytes as written
};

struct SplitMessage {
  std::vector<RawHeader> headers;
  std::string envelope;
  size_t bodyStart = 0;
};

// The next line of s from pos: its text without the line end, and the
// position after it.
std::string_view lineAt(std::string_view s, size_t pos, size_t& next) {
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
bool headerLine(std::string_view line, std::string_view& name, std::string_view& value) {
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

bool isEnvelopeLine(std::string_view line) {
  if (line.substr(0, 5) != "From ") return false;
  size_t i = 4;
  while (i < line.size() && isWsp(line[i])) ++i;
  return i >= line.size() || line[i] != ':';
}

// Whether a header line follows before the end of the header block (looked
// for over a few lines).
bool headerFollows(std::string_view s, size_t pos) {
  for (int n = 0; n < 32 && pos < s.size(); ++n) {
    size_t next;
    std::string_view line = lineAt(s, pos, next);
    if (line.empty()) return false;
    std::string_view name, value;
    if (!isWsp(line[0]) && headerLine(line, name, value)) return true;
    pos = next;
  }
  return false;
}

// Splits the header block from the body. Folded lines are joined. A line
// that is not a header but is followed by more header lines continues the
// header before it (broken folding); otherwise the header block ends there
// and that line starts the body (a missing blank line), so no text is lost.
SplitMessage splitHeaders(std::string_view s) {
  SplitMessage m;
  size_t pos = 0;
  size_t next;
  if (s.substr(0, 3) == "\xEF\xBB\xBF") pos = 3;  // a byte-order mark
  // Empty lines before the header block (left by some stores' separators).
  size_t start = pos;
  while (start < s.size()) {
    std::string_view l = lineAt(s, start, next);
    if (!l.empty()) break;
    start = next;
  }
  if (start > pos && start < s.size()) {
    std::string_view l = lineAt(s, start, next), name, value;
    if (isEnvelopeLine(l) || headerLine(l, name, value)) pos = start;
  }
  if (pos < s.size()) {
    std::string_view first = lineAt(s, pos, next);
    if (isEnvelopeLine(first)) {
      m.envelope = std::string(first.substr(5));
      pos = next;
    }
  }
  while (pos < s.size()) {
    std::string_view line = lineAt(s, pos, next);
    if (line.empty()) {
      m.bodyStart = next;
      return m;
    }
    std::string_view name, value;
    if (isWsp(line[0])) {
      if (m.headers.empty()) break;
      m.headers.back().value.append(line);
    } else if (headerLine(line, name, value)) {
      m.headers.push_back({std::string(name), std::string(value)});
    } else if (!m.headers.empty() && headerFollows(s, next)) {
      m.headers.back().value += ' ';
      m.headers.back().value.append(line);
    } else {
      break;
    }
    pos = next;
  }
  m.bodyStart = pos;
  return m;
}

const RawHeader* findHeader(const std::vector<RawHeader>& hs, std::string_view name) {
  for (const RawHeader& h : hs)
    if (equalsNoCase(h.name, name)) return &h;
  return nullptr;
}

// The identifiers of a Message-ID, References or In-Reply-To value: the
// texts in angle brackets, or the words when there are none.
std::vector<std::string> messageIds(std::string_view value) {
  std::vector<std::string> ids;
  std::string clean = cleanHeaderText(value);  // control characters separate words too
  std::string_view v = clean;
  bool brackets = false;
  size_t pos = 0;
  while (true) {
    size_t lt = v.find('<', pos);
    if (lt == std::string_view::npos) break;
    size_t gt = v.find('>', lt + 1);
    if (gt == std::string_view::npos) break;
    brackets = true;
    std::string id = cleanHeaderText(v.substr(lt + 1, gt - lt - 1));
    if (!id.empty()) ids.push_back(id);
    pos = gt + 1;
  }
  if (brackets) return ids;
  size_t i = 0;
  while (i < v.size()) {
    while (i < v.size() && (isWsp(v[i]) || v[i] == ',' || v[i] == '<' || v[i] == '>')) ++i;
    size_t start = i;
    while (i < v.size() && !isWsp(v[i]) && v[i] != ',' && v[i] != '<' && v[i] != '>') ++i;
    if (i > start) {
      std::string id = cleanHeaderText(v.substr(start, i - start));
      if (!id.empty()) ids.push_back(id);
    }
  }
  return ids;
}

// ---------------------------------------------------------------------------
// Dates

int monthFromName(std::string_view upperWord) {
  if (upperWord.size() < 3) return 0;
  std::string_view m = upperWord.substr(0, 3);
  static const char* names[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  for (int i = 0; i < 12; ++i)
    if (m == names[i]) return i + 1;
  if (m == "MAI") return 5;
  if (m == "OKT") return 10;
  if (m == "DEZ") return 12;
  if (m == "MRZ") return 3;
  return 0;
}

int zoneFromName(std::string_view w, bool& known) {
  struct Z {
    const char* n;
    int m;
  };
  static const Z zones[] = {{"UT", 0},     {"UTC", 0},    {"GMT", 0},    {"Z", 0},      {"WET", 0},
                            {"EST", -300}, {"EDT", -240}, {"CST", -360}, {"CDT", -300}, {"MST", -420},
                            {"MDT", -360}, {"PST", -480}, {"PDT", -420}, {"CET", 60},   {"MET", 60},
                            {"MEZ", 60},   {"CEST", 120}, {"MEST", 120}, {"MESZ", 120}, {"EET", 120}};
  for (const Z& z : zones)
    if (w == z.n) {
      known = true;
      return z.m;
    }
  known = false;
  return 0;
}

int yearFromDigits(long v, size_t digits) {
  if (digits <= 2) return v < 70 ? int(2000 + v) : int(1900 + v);
  if (digits == 3) return int(1900 + v);  // years counted from 1900
  return int(v);
}

bool makeDateTime(int y, int mo, int d, int h, int mi, int s, bool hasTime, int32_t& date, int32_t& time) {
  date = dateFromYMD(y, mo, d);
  if (date <= 0) return false;
  time = 0;
  if (hasTime && h >= 0 && h <= 23 && mi >= 0 && mi <= 59 && s >= 0 && s <= 60)
    time = timeFromHMS(h, mi, s == 60 ? 59 : s);
  return true;
}

// The loose forms: a month name with a day and a year in any order around
// it, or numeric year-month-day and day.month.year; a time h:mm[:ss]; a zone
// +hhmm, -hhmm or a zone name after the time.
bool parseDateLoose(std::string_view text, int32_t& date, int32_t& time, int& tz) {
  // Upper case; the German a-umlaut (UTF-8 or Windows-1252) becomes A, so
  // "Mär" reads as "MAR".
  std::string u;
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == 0xC3 && i + 1 < text.size() &&
        (static_cast<unsigned char>(text[i + 1]) == 0x84 || static_cast<unsigned char>(text[i + 1]) == 0xA4)) {
      u += 'A';
      ++i;
    } else if (c == 0xC4 || c == 0xE4) {
      u += 'A';
    } else {
      u += upperAscii(char(c));
    }
  }
  int day = -1, month = 0, year = -1, h = -1, mi = -1, s = 0;
  bool hasTime = false, hasZone = false;
  tz = 0;
  std::vector<std::pair<long, size_t>> numbers;  // value, digit count (before the time)
  size_t i = 0;
  auto digitsAt = [&](size_t p, long& v, size_t maxDigits) {
    size_t start = p;
    v = 0;
    while (p < u.size() && u[p] >= '0' && u[p] <= '9' && p - start < maxDigits) v = v * 10 + (u[p++] - '0');
    return p - start;
  };
  while (i < u.size()) {
    char c = u[i];
    if (c >= 'A' && c <= 'Z') {
      size_t start = i;
      while (i < u.size() && u[i] >= 'A' && u[i] <= 'Z') ++i;
      std::string_view w(u.data() + start, i - start);
      int m = monthFromName(w);
      if (m && month == 0) {
        month = m;
      } else if (hasTime && !hasZone) {
        bool known;
        int z = zoneFromName(w, known);
        if (known) {
          tz = z;
          hasZone = true;
        }
      }
    } else if (c >= '0' && c <= '9') {
      long v;
      size_t n = digitsAt(i, v, 9);
      size_t after = i + n;
      while (after < u.size() && u[after] >= '0' && u[after] <= '9') ++after;  // digits beyond nine
      if (after < u.size() && u[after] == ':' && !hasTime && n <= 2) {
        // A time.
        h = int(v);
        long m2;
        size_t n2 = digitsAt(after + 1, m2, 2);
        if (n2 == 0) {
          i = after + 1;
          continue;
        }
        mi = int(m2);
        size_t p = after + 1 + n2;
        if (p < u.size() && u[p] == ':') {
          long s2;
          size_t n3 = digitsAt(p + 1, s2, 2);
          if (n3 > 0) {
            s = int(s2);
            p += 1 + n3;
          }
        }
        hasTime = true;
        i = p;
        continue;
      }
      if (numbers.size() < 8) numbers.push_back({v, after - i});
      i = after;
    } else if ((c == '+' || c == '-') && hasTime && !hasZone && i + 4 < u.size() &&
               std::all_of(u.begin() + long(i) + 1, u.begin() + long(i) + 5, [](char d) { return d >= '0' && d <= '9'; })) {
      int hh = (u[i + 1] - '0') * 10 + (u[i + 2] - '0');
      int mm = (u[i + 3] - '0') * 10 + (u[i + 4] - '0');
      if (hh < 24 && mm < 60) tz = (c == '-' ? -1 : 1) * (hh * 60 + mm);
      hasZone = true;
      i += 5;
    } else if (c == '-' || c == '.' || c == '/') {
      // Numeric date forms are read from the numbers and separators below.
      ++i;
    } else {
      ++i;
    }
  }
  if (month > 0) {
    for (auto [v, n] : numbers) {
      if (n >= 4 && year < 0) year = int(v);
      else if (n <= 2 && day < 0 && v >= 1 && v <= 31) day = int(v);
      else if (n <= 3 && year < 0) year = yearFromDigits(v, n);
    }
  } else if (numbers.size() >= 3) {
    // Numeric: year-month-day when the first number has four digits, else
    // day.month.year.
    auto [a, an] = numbers[0];
    auto [b, bn] = numbers[1];
    auto [c, cn] = numbers[2];
    if (an == 4) {
      year = int(a);
      month = int(b);
      day = int(c);
    } else if (an <= 2 && bn <= 2 && (cn == 4 || cn == 2) && u.find('.') != std::string::npos) {
      day = int(a);
      month = int(b);
      year = yearFromDigits(c, cn);
    } else {
      return false;
    }
    if (month < 1 || month > 12) return false;
  }
  if (day < 1 || month < 1 || year < 0) return false;
  return makeDateTime(year, month, day, h, mi, s, hasTime, date, time);
}

// The date of a mailbox separator line: its last "Www Mmm" pair starts an
// asctime date ("Wed Dec  1 08:26:40 2010").
bool envelopeDate(std::string_view env, int32_t& date, int32_t& time, int& tz) {
  static const char* days[] = {"Mon ", "Tue ", "Wed ", "Thu ", "Fri ", "Sat ", "Sun "};
  size_t best = std::string_view::npos;
  for (size_t i = 0; i + 7 <= env.size(); ++i) {
    for (const char* d : days)
      if (env.compare(i, 4, d) == 0) {
        std::string m(env.substr(i + 4, 3));
        for (char& c : m) c = upperAscii(c);
        if (monthFromName(m)) best = i;
      }
  }
  if (best == std::string_view::npos) return false;
  return parseDate(env.substr(best), date, time, tz);
}

// ---------------------------------------------------------------------------
// The body

const char* const kForwardStart = "---------- Forwarded message ----------";
const char* const kForwardEnd = "---------- End of forwarded message ----------";
constexpr int kMaxDepth = 64;

enum class SegKind { Text, Attachment };

struct Segment {
  SegKind kind;
  std::string text;  // ends with CR LF
};

std::string attachmentLine(const Attachment& a) {
  return "[Attachment: " + (a.filename.empty() ? std::string("unnamed") : a.filename) + ", " +
         (a.contentType.empty() ? std::string("application/octet-stream") : a.contentType) + ", " +
         std::to_string(a.size) + " bytes]";
}

// Cuts the text before a position that is not inside a UTF-8 sequence or
// between CR and LF.
size_t safeCut(std::string_view s, size_t max) {
  size_t n = utf8PrefixLength(s, max);
  if (n > 0 && n < s.size() && s[n - 1] == '\r' && s[n] == '\n') --n;
  return n;
}

// Collects decoded lines of one text part: keeps at most keepCap bytes of
// it, and takes uuencoded and yEnc blocks out as attachments.
class TextCollector {
 public:
  TextCollector(size_t keepCap, bool findBlocks) : keepCap_(keepCap), findBlocks_(findBlocks) {}

  void feed(const char* p, size_t n) {
    total_ += n;
    if (sample_.size() < kSample) sample_.append(p, std::min(n, kSample - sample_.size()));
    size_t i = 0;
    while (i < n) {
      const char* nl = static_cast<const char*>(std::memchr(p + i, '\n', n - i));
      size_t end = nl ? size_t(nl - p) + 1 : n;
      partial_.append(p + i, end - i);
      i = end;
      if (nl) {
        line(partial_, true);
        partial_.clear();
      } else if (partial_.size() >= kLongLine) {
        line(partial_, false);
        partial_.clear();
      }
    }
  }

  void finish() {
    if (!partial_.empty()) line(partial_, false);
    partial_.clear();
    endBlock();
    if (state_ == State::Begin) keep(beginLine_);
    state_ = State::Text;
  }

  std::string& kept() { return kept_; }
  bool cut() const { return cut_; }
  uint64_t total() const { return total_; }
  const std::string& sample() const { return sample_; }
  // Blocks found: file name bytes and decoded size.
  const std::vector<std::pair<std::string, uint64_t>>& blocks() const { return blocks_; }

 private:
  static constexpr size_t kSample = 8192;
  static constexpr size_t kLongLine = 65536;
  enum class State { Text, Begin, Uu, Yenc };

  size_t keepCap_;
  bool findBlocks_;
  std::string kept_, partial_, sample_, beginLine_, blockName_;
  bool cut_ = false;
  uint64_t total_ = 0, blockSize_ = 0;
  State state_ = State::Text;
  std::vector<std::pair<std::string, uint64_t>> blocks_;

  void keep(std::string_view s) {
    if (cut_) return;
    if (kept_.size() + s.size() <= keepCap_) {
      kept_.append(s);
      return;
    }
    // Cut after an ASCII byte so that no multi-byte character is split.
    size_t room = keepCap_ - kept_.size();
    while (room > 0 && static_cast<unsigned char>(s[room - 1]) >= 0x80) --room;
    kept_.append(s.substr(0, room));
    cut_ = true;
  }

  static std::string_view stripEol(std::string_view s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.remove_suffix(1);
    return s;
  }

  static bool uuBeginLine(std::string_view l, std::string& name) {
    if (l.substr(0, 6) != "begin ") return false;
    size_t i = 6, start = 6;
    while (i < l.size() && l[i] >= '0' && l[i] <= '7') ++i;
    if (i - start < 3 || i - start > 4 || i >= l.size() || l[i] != ' ') return false;
    std::string_view n = l.substr(i + 1);
    while (!n.empty() && isWsp(n.back())) n.remove_suffix(1);
    if (n.empty()) return false;
    name = std::string(n);
    return true;
  }

  // Decoded bytes of a uuencoded line, or -1 when it is not one.
  static int uuLineSize(std::string_view l) {
    if (l.empty()) return -1;
    for (char c : l)
      if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 96) return -1;
    int count = (l[0] - 32) & 63;
    size_t need = size_t((count + 2) / 3 * 4);
    size_t have = l.size() - 1;
    if (count == 0) return have <= 2 ? 0 : -1;
    if (have < need || have > need + 3) return -1;
    return count;
  }

  static std::string yencParam(std::string_view l, std::string_view key) {
    size_t p = l.find(key);
    if (p == std::string_view::npos) return "";
    std::string_view v = l.substr(p + key.size());
    if (key == " name=") return std::string(v);
    size_t e = v.find(' ');
    return std::string(v.substr(0, e));
  }

  void endBlock() {
    if (state_ != State::Uu && state_ != State::Yenc) return;
    blocks_.push_back({blockName_, blockSize_});
    if (!cut_) {
      Attachment a{blockName_, "application/octet-stream", blockSize_};
      keep(attachmentLine(a) + "\n");
    }
    state_ = State::Text;
  }

  void line(std::string_view raw, bool complete) {
    std::string_view l = stripEol(raw);
    if (!findBlocks_) {
      keep(raw);
      return;
    }
    switch (state_) {
      case State::Text: break;
      case State::Begin: {
        int n = complete ? uuLineSize(l) : -1;
        if (n > 0) {
          state_ = State::Uu;
          blockSize_ = uint64_t(n);
          return;
        }
        keep(beginLine_);
        state_ = State::Text;
        break;
      }
      case State::Uu: {
        if (l == "end") {
          endBlock();
          return;
        }
        int n = !complete ? -1 : l.empty() ? 0 : uuLineSize(l);
        if (n >= 0) {
          blockSize_ += uint64_t(n);
          return;
        }
        endBlock();  // a block cut short
        break;
      }
      case State::Yenc: {
        if (l.substr(0, 5) == "=yend") {
          endBlock();
          return;
        }
        if (l.substr(0, 6) == "=ypart") return;
        for (size_t i = 0; i < l.size(); ++i) {
          if (l[i] == '=') ++i;
          ++blockSize_;
        }
        return;
      }
    }
    // Plain text, or the start of a block.
    std::string name;
    if (complete && uuBeginLine(l, name)) {
      state_ = State::Begin;
      beginLine_ = std::string(raw);
      blockName_ = name;
      blockSize_ = 0;
      return;
    }
    if (complete && l.substr(0, 8) == "=ybegin " && l.find(" name=") != std::string_view::npos) {
      state_ = State::Yenc;
      blockName_ = yencParam(l, " name=");
      blockSize_ = 0;
      return;
    }
    keep(raw);
  }
};

bool looksBinary(std::string_view sample) {
  if (sample.empty()) return false;
  size_t controls = 0;
  for (char ch : sample) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v' && c != 0x1B) ++controls;
  }
  return controls * 10 > sample.size();
}

bool isWideCharset(std::string_view cs) {
  std::string l = lowerCopy(trimWsp(cs));
  return l.rfind("utf-16", 0) == 0 || l.rfind("utf-32", 0) == 0 || l.rfind("ucs-2", 0) == 0 ||
         l.rfind("ucs-4", 0) == 0 || l.rfind("utf16", 0) == 0 || l.rfind("utf32", 0) == 0 || l == "unicode";
}

// The charset an HTML document names in a meta element.
std::string metaCharset(std::string_view html) {
  std::string head = lowerCopy(html.substr(0, 4096));
  size_t pos = 0;
  while ((pos = head.find("<meta", pos)) != std::string::npos) {
    size_t end = head.find('>', pos);
    if (end == std::string::npos) break;
    std::string_view tag(head.data() + pos, end - pos);
    size_t cs = tag.find("charset=");
    if (cs != std::string_view::npos) {
      size_t i = cs + 8;
      while (i < tag.size() && (tag[i] == '"' || tag[i] == '\'' || isWsp(tag[i]))) ++i;
      size_t start = i;
      while (i < tag.size() && (std::isalnum(static_cast<unsigned char>(tag[i])) || tag[i] == '-' || tag[i] == '_' ||
                                tag[i] == ':' || tag[i] == '.'))
        ++i;
      if (i > start) return std::string(tag.substr(start, i - start));
    }
    pos = end;
  }
  return "";
}

class BodyBuilder {
 public:
  BodyBuilder(DecodedMessage& msg, const DecodeOptions& opt) : msg_(msg), opt_(opt) {}

  void walk(GMimeObject* obj, int depth) {
    if (!obj) return;
    if (depth > kMaxDepth) {
      if (!depthNoted_) addText("[Parts nested too deeply are left out]");
      depthNoted_ = true;
      return;
    }
    if (GMIME_IS_MULTIPART(obj)) {
      multipart(GMIME_MULTIPART(obj), depth);
    } else if (GMIME_IS_MESSAGE_PART(obj)) {
      forwarded(GMIME_MESSAGE_PART(obj), depth);
    } else if (GMIME_IS_PART(obj)) {
      leaf(GMIME_PART(obj));
    }
  }

  // Body bytes that GMime could not structure, read as plain text.
  void plainBytes(std::string_view bytes, std::string_view charset) {
    TextCollector tc(keepCap(false), true);
    tc.feed(bytes.data(), bytes.size());
    tc.finish();
    textPart(tc, charset, false);
  }

  std::string finish() {
    size_t total = 0;
    for (const Segment& s : segs_) total += s.text.size();
    std::string out;
    size_t cap = opt_.maxText;
    if (total <= cap) {
      out.reserve(total);
      for (const Segment& s : segs_) out += s.text;
      return out;
    }
    msg_.textCut = true;
    // Keep room for the attachment lines that the cut would lose.
    size_t reserve = 0;
    for (const Segment& s : segs_)
      if (s.kind == SegKind::Attachment) reserve += s.text.size();
    if (reserve + 2 > cap / 2) reserve = 0;
    size_t limit = reserve ? cap - reserve - 2 : cap;
    std::string moved;
    bool full = false;
    for (const Segment& s : segs_) {
      if (!full && out.size() + s.text.size() <= limit) {
        out += s.text;
        continue;
      }
      if (!full && s.kind == SegKind::Text) out.append(s.text, 0, safeCut(s.text, limit - out.size()));
      full = true;
      if (!reserve) break;
      if (s.kind == SegKind::Attachment) moved += s.text;
    }
    if (!moved.empty()) {
      if (!out.empty() && out.back() != '\n') out += "\r\n";
      out += moved;
    }
    if (out.size() > cap) out.resize(safeCut(out, cap));
    return out;
  }

 private:
  DecodedMessage& msg_;
  const DecodeOptions& opt_;
  std::vector<Segment> segs_;
  size_t total_ = 0;
  bool depthNoted_ = false;

  size_t budgetLeft() const { return total_ >= opt_.maxText ? 0 : opt_.maxText - total_; }

  size_t keepCap(bool html) const {
    if (budgetLeft() == 0) return 0;
    size_t m = opt_.maxText;
    return html ? 16 * m + 262144 : 2 * m + 4096;
  }

  void push(SegKind kind, std::string text) {
    if (!segs_.empty() && (kind == SegKind::Text || segs_.back().kind == SegKind::Text)) {
      segs_.back().text += "\r\n";  // a blank line between pieces
      total_ += 2;
    }
    total_ += text.size();
    segs_.push_back({kind, std::move(text)});
  }

  // Adds a piece of UTF-8 text; empty pieces are left out.
  void addText(std::string_view utf8) {
    std::string t = toCrLf(utf8);
    for (char& c : t)
      if (c == '\0') c = ' ';
    // No leading empty lines, no trailing blank space.
    size_t start = 0;
    while (true) {
      size_t e = t.find("\r\n", start);
      if (e == std::string::npos) break;
      bool blank = true;
      for (size_t k = start; k < e; ++k)
        if (!isWsp(t[k])) blank = false;
      if (!blank) break;
      start = e + 2;
    }
    t.erase(0, start);
    while (!t.empty() && (isWsp(t.back()) || t.back() == '\r' || t.back() == '\n')) t.pop_back();
    if (t.empty()) return;
    t += "\r\n";
    push(SegKind::Text, std::move(t));
  }

  void addAttachment(Attachment a) {
    push(SegKind::Attachment, attachmentLine(a) + "\r\n");
    msg_.attachments.push_back(std::move(a));
  }

  static std::string contentTypeOf(GMimeObject* obj) {
    GMimeContentType* ct = g_mime_object_get_content_type(obj);
    if (!ct) return "application/octet-stream";
    const char* t = g_mime_content_type_get_media_type(ct);
    const char* s = g_mime_content_type_get_media_subtype(ct);
    std::string type = lowerCopy(t ? t : "application");
    std::string sub = lowerCopy(s ? s : "octet-stream");
    return cleanHeaderText(type + "/" + sub);
  }

  static std::string filenameOf(GMimePart* part) {
    const char* f = g_mime_part_get_filename(part);
    if (!f) return "";
    std::string_view v(f);
    return cleanHeaderText(isValidUtf8(v) ? std::string(v) : windows1252ToUtf8(v));
  }

  static bool isAttachmentDisposition(GMimeObject* obj) {
    const char* d = g_mime_object_get_disposition(obj);
    return d && equalsNoCase(trimWsp(d), "attachment");
  }

  static bool isTextType(const std::string& type) {
    return type.rfind("text/", 0) == 0 || type == "message/delivery-status" ||
           type == "message/disposition-notification" || type == "message/feedback-report";
  }

  // How much an alternative is wanted: plain text 3, HTML 2, other text 1.
  static int alternativeScore(GMimeObject* obj, int depth) {
    if (!obj || depth > kMaxDepth) return 0;
    if (GMIME_IS_MULTIPART(obj)) {
      GMimeMultipart* mp = GMIME_MULTIPART(obj);
      int best = 0, n = g_mime_multipart_get_count(mp);
      for (int i = 0; i < n; ++i) best = std::max(best, alternativeScore(g_mime_multipart_get_part(mp, i), depth + 1));
      return best;
    }
    if (GMIME_IS_MESSAGE_PART(obj)) return 1;
    if (!GMIME_IS_PART(obj) || isAttachmentDisposition(obj)) return 0;
    std::string type = contentTypeOf(obj);
    if (type == "text/plain") return 3;
    if (type == "text/html") return 2;
    return isTextType(type) ? 1 : 0;
  }

  static GMimeContentEncoding effectiveEncoding(GMimePart* part, GMimeDataWrapper* w) {
    GMimeContentEncoding enc = g_mime_data_wrapper_get_encoding(w);
    if (enc != GMIME_CONTENT_ENCODING_DEFAULT) return enc;
    const char* h = g_mime_object_get_header(GMIME_OBJECT(part), "Content-Transfer-Encoding");
    if (!h) return enc;
    std::string v = lowerCopy(h);
    if (v.find("64") != std::string::npos) return GMIME_CONTENT_ENCODING_BASE64;
    if (v.find("quoted") != std::string::npos || v.find("qp") != std::string::npos)
      return GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE;
    if (v.find("uu") != std::string::npos) return GMIME_CONTENT_ENCODING_UUENCODE;
    return enc;
  }

  // Streams the decoded content of a part to sink; returns false when the
  // part has no content.
  template <class Sink>
  static bool readDecoded(GMimePart* part, Sink&& sink) {
    GMimeDataWrapper* w = g_mime_part_get_content(part);
    if (!w) return false;
    GMimeStream* src = g_mime_data_wrapper_get_stream(w);
    if (!src) return false;
    GMimeContentEncoding enc = effectiveEncoding(part, w);
    g_mime_stream_reset(src);
    GRef<GMimeStream> filtered;
    GMimeStream* in = src;
    if (enc == GMIME_CONTENT_ENCODING_BASE64 || enc == GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE ||
        enc == GMIME_CONTENT_ENCODING_UUENCODE) {
      filtered.reset(g_mime_stream_filter_new(src));
      GMimeFilter* f = g_mime_filter_basic_new(enc, FALSE);
      g_mime_stream_filter_add(GMIME_STREAM_FILTER(filtered.get()), f);
      g_object_unref(f);
      in = filtered.get();
    }
    std::unique_ptr<char[]> buf(new char[65536]);
    // A read may yield nothing while the filter eats input that decodes to
    // nothing (junk in base64); it ends when the input makes no progress.
    gint64 lastPos = g_mime_stream_tell(src);
    int stuck = 0;
    while (true) {
      ssize_t n = g_mime_stream_read(in, buf.get(), 65536);
      if (n > 0) {
        sink(buf.get(), size_t(n));
        stuck = 0;
        continue;
      }
      if (n < 0 || g_mime_stream_eos(in)) break;
      gint64 pos = g_mime_stream_tell(src);
      if (pos != lastPos) {
        lastPos = pos;
        stuck = 0;
      } else if (++stuck > 16) {
        break;
      }
    }
    return true;
  }

  void multipart(GMimeMultipart* mp, int depth) {
    int n = g_mime_multipart_get_count(mp);
    if (n == 0) {
      // The boundary never occurs: the body is read as plain text.
      const char* pro = g_mime_multipart_get_prologue(mp);
      const char* epi = g_mime_multipart_get_epilogue(mp);
      std::string cs;
      if (const char* c = g_mime_object_get_content_type_parameter(GMIME_OBJECT(mp), "charset")) cs = c;
      if (pro) plainBytes(pro, cs);
      if (epi) plainBytes(epi, cs);
      return;
    }
    std::string type = contentTypeOf(GMIME_OBJECT(mp));
    if (type == "multipart/alternative") {
      // The best alternative that yields something; the others are left out.
      std::vector<std::pair<int, int>> order;  // (score, index)
      for (int i = 0; i < n; ++i) order.push_back({alternativeScore(g_mime_multipart_get_part(mp, i), depth + 1), i});
      std::stable_sort(order.begin(), order.end(), [](auto& a, auto& b) { return a.first > b.first; });
      for (auto [score, index] : order) {
        size_t before = segs_.size();
        walk(g_mime_multipart_get_part(mp, index), depth + 1);
        if (segs_.size() != before) return;
      }
      return;
    }
    for (int i = 0; i < n; ++i) walk(g_mime_multipart_get_part(mp, i), depth + 1);
  }

  void forwarded(GMimeMessagePart* part, int depth) {
    GMimeMessage* inner = g_mime_message_part_get_message(part);
    if (!inner) return;
    GMimeObject* body = g_mime_message_get_mime_part(inner);
    std::string hint;
    if (body)
      if (const char* c = g_mime_object_get_content_type_parameter(body, "charset")) hint = c;
    std::string head = kForwardStart;
    head += "\r\n";
    GMimeHeaderList* list = g_mime_object_get_header_list(GMIME_OBJECT(inner));
    int count = list ? g_mime_header_list_get_count(list) : 0;
    for (const char* wanted : {"From", "Date", "Subject", "To", "Cc", "Newsgroups"}) {
      for (int i = 0; i < count; ++i) {
        GMimeHeader* h = g_mime_header_list_get_header_at(list, i);
        const char* name = g_mime_header_get_name(h);
        if (!name || !equalsNoCase(name, wanted)) continue;
        const char* raw = g_mime_header_get_raw_value(h);
        std::string value = decodeHeader(raw ? raw : "", hint);
        if (!value.empty()) head += std::string(wanted) + ": " + value + "\r\n";
        break;
      }
    }
    addText(head);
    walk(body, depth + 1);
    addText(kForwardEnd);
  }

  void leaf(GMimePart* part) {
    GMimeObject* obj = GMIME_OBJECT(part);
    std::string type = contentTypeOf(obj);
    std::string filename = filenameOf(part);
    bool text = isTextType(type) && !isAttachmentDisposition(obj);
    if (!text) {
      uint64_t size = 0;
      readDecoded(part, [&](const char*, size_t n) { size += n; });
      addAttachment({filename, type, size});
      return;
    }
    bool html = type == "text/html";
    std::string charset;
    if (const char* c = g_mime_object_get_content_type_parameter(obj, "charset")) charset = c;
    bool wide = isWideCharset(charset);
    TextCollector tc(keepCap(html), !html && !wide);
    readDecoded(part, [&](const char* p, size_t n) { tc.feed(p, n); });
    tc.finish();
    if (!wide && looksBinary(tc.sample())) {
      addAttachment({filename, type, tc.total()});
      return;
    }
    textPart(tc, charset, html);
  }

  // The text of a part: its charset decoded, HTML converted, and the blocks
  // taken out of it listed as attachments.
  void textPart(TextCollector& tc, std::string_view charset, bool html) {
    std::string cs(trimWsp(charset));
    if (html && cs.empty()) cs = metaCharset(tc.kept());
    std::string utf8 = decodeText(tc.kept(), cs);
    if (html) {
      utf8 = htmlToText(utf8);
      if (!utf8.empty()) msg_.html = true;
    }
    addText(utf8);
    for (const auto& [name, size] : tc.blocks()) {
      std::string n = decodeText(name, cs);
      msg_.attachments.push_back({cleanHeaderText(n), "application/octet-stream", size});
    }
  }
};

}  // namespace

// ---------------------------------------------------------------------------

std::string decodeHeader(std::string_view rawValue, std::string_view charsetHint) {
  std::string v = headerBytesToUtf8(unfold(rawValue), charsetHint);
  if (v.find("=?") != std::string::npos) v = decodeEncodedWords(v);
  return cleanHeaderText(v);
}

namespace {

void collectAddresses(InternetAddressList* list, std::vector<Address>& out, int depth) {
  if (!list || depth > 8) return;
  int n = internet_address_list_length(list);
  for (int i = 0; i < n; ++i) {
    InternetAddress* ia = internet_address_list_get_address(list, i);
    if (INTERNET_ADDRESS_IS_GROUP(ia)) {
      collectAddresses(internet_address_group_get_members(INTERNET_ADDRESS_GROUP(ia)), out, depth + 1);
      continue;
    }
    if (!INTERNET_ADDRESS_IS_MAILBOX(ia)) continue;
    const char* name = internet_address_get_name(ia);
    const char* addr = internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(ia));
    auto clean = [](const char* s) {
      if (!s) return std::string();
      std::string_view v(s);
      return cleanHeaderText(isValidUtf8(v) ? std::string(v) : windows1252ToUtf8(v));
    };
    Address a{clean(name), clean(addr)};
    if (!a.name.empty() || !a.address.empty()) out.push_back(std::move(a));
  }
}

}  // namespace

std::vector<Address> parseAddresses(std::string_view rawValue, std::string_view charsetHint) {
  std::vector<Address> out;
  std::string v = headerBytesToUtf8(unfold(rawValue), charsetHint);
  for (char& c : v)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  if (trimWsp(v).empty()) return out;
  if (v.find("=?") != std::string::npos) v = normaliseEncodedWords(v);
  if (InternetAddressList* list = internet_address_list_parse(gmimeOptions(), v.c_str())) {
    collectAddresses(list, out, 0);
    g_object_unref(list);
  }
  if (out.empty()) {
    // Not an address GMime can read ("user at host (Name)"): the comment is
    // the name, the rest the address, so nothing is lost.
    std::string text = decodeHeader(rawValue, charsetHint);
    Address a;
    size_t open = text.rfind('(');
    if (!text.empty() && text.back() == ')' && open != std::string::npos) {
      a.name = cleanHeaderText(text.substr(open + 1, text.size() - open - 2));
      a.address = cleanHeaderText(text.substr(0, open));
    } else if (size_t lt = text.find('<'), gt = text.rfind('>');
               lt != std::string::npos && gt != std::string::npos && gt > lt) {
      a.name = cleanHeaderText(text.substr(0, lt));
      a.address = cleanHeaderText(text.substr(lt + 1, gt - lt - 1));
    } else {
      a.address = text;
    }
    if (a.name.size() >= 2 && a.name.front() == '"' && a.name.back() == '"') a.name = a.name.substr(1, a.name.size() - 2);
    if (!a.name.empty() || !a.address.empty()) out.push_back(std::move(a));
  }
  return out;
}

bool parseDate(std::string_view text, int32_t& date, int32_t& time, int& tzMinutes) {
  date = 0;
  time = 0;
  tzMinutes = 0;
  std::string t(trimWsp(text));
  if (t.empty() || t.find('\0') != std::string::npos) return false;
  gmimeOptions();
  if (GDateTime* dt = g_mime_utils_header_decode_date(t.c_str())) {
    int y = g_date_time_get_year(dt), mo = g_date_time_get_month(dt), d = g_date_time_get_day_of_month(dt);
    int h = g_date_time_get_hour(dt), mi = g_date_time_get_minute(dt), s = g_date_time_get_second(dt);
    int tz = int(g_date_time_get_utc_offset(dt) / G_TIME_SPAN_MINUTE);
    g_date_time_unref(dt);
    // GMime gives midnight to a date written without a time.
    bool hasTime = t.find(':') != std::string::npos;
    if (makeDateTime(y, mo, d, h, mi, s, hasTime, date, time)) {
      tzMinutes = tz;
      return true;
    }
  }
  return parseDateLoose(t, date, time, tzMinutes);
}

DecodedMessage decodeMessage(std::string_view raw, const DecodeOptions& options) {
  GMimeParserOptions* gopts = gmimeOptions();
  DecodedMessage m;

  // Classic Mac line ends (CR alone, no LF anywhere) become LF.
  std::string converted;
  std::string_view in = raw;
  if (raw.find('\n') == std::string_view::npos && raw.find('\r') != std::string_view::npos) {
    converted.assign(raw);
    std::replace(converted.begin(), converted.end(), '\r', '\n');
    in = converted;
  }

  SplitMessage split = splitHeaders(in);
  m.envelope = cleanHeaderText(decodeText(split.envelope, ""));

  // The charset of the message's text, used for 8-bit header bytes.
  std::string hint;
  if (const RawHeader* ct = findHeader(split.headers, "Content-Type")) {
    std::string v = unfold(ct->value);
    if (GMimeContentType* t = g_mime_content_type_parse(gopts, v.c_str())) {
      if (const char* c = g_mime_content_type_get_parameter(t, "charset")) hint = c;
      g_object_unref(t);
    }
  }

  m.headers.reserve(split.headers.size());
  for (const RawHeader& h : split.headers) m.headers.push_back({h.name, decodeHeader(h.value, hint)});

  auto joinAll = [&](std::string_view name, std::string& text, std::vector<Address>* list) {
    for (size_t i = 0; i < split.headers.size(); ++i) {
      if (!equalsNoCase(split.headers[i].name, name)) continue;
      const std::string& v = m.headers[i].second;
      if (!v.empty()) text += (text.empty() ? "" : ", ") + v;
      if (list) {
        std::vector<Address> a = parseAddresses(split.headers[i].value, hint);
        list->insert(list->end(), a.begin(), a.end());
      }
    }
  };
  joinAll("From", m.fromRaw, &m.from);
  joinAll("To", m.toRaw, &m.to);
  joinAll("Cc", m.ccRaw, &m.cc);
  std::string ignored;
  joinAll("Bcc", ignored, &m.bcc);
  ignored.clear();
  joinAll("Reply-To", ignored, &m.replyTo);
  for (size_t i = 0; i < split.headers.size(); ++i)
    if (equalsNoCase(split.headers[i].name, "Subject")) {
      m.subject = m.headers[i].second;
      break;
    }

  for (size_t i = 0; i < split.headers.size() && !m.hasDate; ++i)
    if (equalsNoCase(split.headers[i].name, "Date"))
      m.hasDate = parseDate(m.headers[i].second, m.date, m.time, m.tzMinutes);
  if (!m.hasDate && !m.envelope.empty()) {
    m.hasDate = envelopeDate(m.envelope, m.date, m.time, m.tzMinutes);
    m.dateFromEnvelope = m.hasDate;
  }

  if (const RawHeader* h = findHeader(split.headers, "Message-ID")) {
    std::vector<std::string> ids = messageIds(headerBytesToUtf8(unfold(h->value), hint));
    if (!ids.empty()) m.messageId = ids.front();
  }
  const RawHeader* refs = findHeader(split.headers, "References");
  if (refs && !trimWsp(refs->value).empty()) {
    m.references = messageIds(headerBytesToUtf8(unfold(refs->value), hint));
  } else if (const RawHeader* irt = findHeader(split.headers, "In-Reply-To")) {
    m.references = messageIds(headerBytesToUtf8(unfold(irt->value), hint));
  }
  if (const RawHeader* ng = findHeader(split.headers, "Newsgroups")) {
    std::string v = cleanHeaderText(headerBytesToUtf8(unfold(ng->value), hint));
    size_t i = 0;
    while (i < v.size()) {
      while (i < v.size() && (v[i] == ',' || isWsp(v[i]))) ++i;
      size_t start = i;
      while (i < v.size() && v[i] != ',' && !isWsp(v[i])) ++i;
      if (i > start) m.newsgroups.push_back(v.substr(start, i - start));
    }
  }

  // The body: GMime reads the structure from the content headers and the
  // bytes after the header block.
  std::string_view body = in.substr(std::min(split.bodyStart, in.size()));
  GByteArray* bytes = g_byte_array_sized_new(guint(std::min<size_t>(body.size() + 1024, G_MAXUINT)));
  for (const RawHeader& h : split.headers) {
    std::string name = lowerCopy(h.name);
    if (name.rfind("content-", 0) != 0 && name != "mime-version") continue;
    std::string line = h.name + ":" + unfold(h.value) + "\n";
    g_byte_array_append(bytes, reinterpret_cast<const guint8*>(line.data()), guint(line.size()));
  }
  g_byte_array_append(bytes, reinterpret_cast<const guint8*>("\n"), 1);
  // Appended in slices: a guint length per call.
  for (size_t off = 0; off < body.size(); off += (1u << 30))
    g_byte_array_append(bytes, reinterpret_cast<const guint8*>(body.data() + off),
                        guint(std::min<size_t>(body.size() - off, 1u << 30)));

  BodyBuilder builder(m, options);
  GRef<GMimeStream> stream(g_mime_stream_mem_new_with_byte_array(bytes));
  GRef<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
  g_mime_parser_set_format(parser.get(), GMIME_FORMAT_MESSAGE);
  GRef<GMimeMessage> message(g_mime_parser_construct_message(parser.get(), gopts));
  GMimeObject* top = message ? g_mime_message_get_mime_part(message.get()) : nullptr;
  if (top) builder.walk(top, 0);
  else builder.plainBytes(body, hint);
  m.text = builder.finish();
  return m;
}

}  // namespace qv::mime
