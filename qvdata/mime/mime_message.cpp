#include "mime/mime_message.h"

#include <algorithm>
#include <unordered_map>

#include "mime/charset.h"
#include "mime/content_type.h"
#include "mime/mime_internal.h"

namespace qv::mime {

using namespace detail;

namespace {


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

// ---------------------------------------------------------------------------
// The header block

bool isEnvelopeLine(std::string_view line) {
  if (line.substr(0, 5) != "From ") return false;
  size_t i = 4;
  while (i < line.size() && isWsp(line[i])) ++i;
  return i >= line.size() || line[i] != ':';
}

// Whether `line` is a boundary line of the multipart whose boundary is
// `boundary` (empty when the message declares none).
bool boundaryLine(std::string_view line, std::string_view boundary) {
  return !boundary.empty() && line.size() >= boundary.size() + 2 && line.substr(0, 2) == "--" &&
         line.substr(2, boundary.size()) == boundary;
}

// Whether a header line follows before the end of the header block (looked
// for over a few lines): an empty line or a boundary line ends it.
bool headerFollows(std::string_view s, size_t pos, std::string_view boundary = {}) {
  for (int n = 0; n < 32 && pos < s.size(); ++n) {
    size_t next;
    std::string_view line = lineAt(s, pos, next);
    if (line.empty() || boundaryLine(line, boundary)) return false;
    std::string_view name, value;
    if (!isWsp(line[0]) && headerLine(line, name, value)) return true;
    pos = next;
  }
  return false;
}

// The boundary the first Content-Type among `headers` declares; "" when none.
std::string declaredBoundary(const std::vector<RawHeader>& headers) {
  for (const RawHeader& h : headers)
    if (equalsNoCase(h.name, "Content-Type")) return contentTypeParameter(unfold(h.value), "boundary");
  return "";
}

}  // namespace

namespace detail {

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
    // A boundary of the message's multipart ends a header block that lost
    // its empty line.
    if (line.substr(0, 2) == "--" && boundaryLine(line, declaredBoundary(m.headers))) break;
    std::string_view name, value;
    if (isWsp(line[0]) && m.headers.empty()) {
      // An indented first header line (" From: ..."): read as a header when
      // header lines follow, else the body starts here.
      std::string_view trimmed = trimWsp(line);
      if (!headerLine(trimmed, name, value) || !headerFollows(s, next)) break;
      m.headers.push_back({std::string(name), std::string(value)});
    } else if (isWsp(line[0])) {
      m.headers.back().value.append(line);
    } else if (headerLine(line, name, value)) {
      m.headers.push_back({std::string(name), std::string(value)});
    } else if (!m.headers.empty() && headerFollows(s, next, declaredBoundary(m.headers))) {
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

std::string_view withLineFeeds(std::string_view raw, std::string& converted) {
  if (raw.find('\n') != std::string_view::npos || raw.find('\r') == std::string_view::npos) return raw;
  converted.assign(raw);
  std::replace(converted.begin(), converted.end(), '\r', '\n');
  return converted;
}

}  // namespace detail

namespace {

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
}  // namespace

// ---------------------------------------------------------------------------

std::string decodeHeader(std::string_view rawValue, std::string_view charsetHint) {
  // Most values are ASCII on one line without encoded words: there is
  // nothing to unfold, convert or decode, only to clean.
  bool plain = rawValue.find("=?") == std::string_view::npos &&
               std::none_of(rawValue.begin(), rawValue.end(), [](char c) {
                 return c == '\r' || c == '\n' || static_cast<unsigned char>(c) >= 0x80;
               });
  if (plain) return cleanHeaderText(rawValue);
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

namespace {

std::vector<Address> readAddresses(std::string_view rawValue, std::string_view charsetHint) {
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

// The same address values come back in mail after mail (the owner, a list,
// the people of a thread), and GMime makes a list object and one object per
// address for each reading. The last values read are kept per thread, up to
// kCachedValues of at most kCachedLength bytes each; the cache is emptied
// when full.
constexpr size_t kCachedValues = 512;
constexpr size_t kCachedLength = 1024;

}  // namespace

std::vector<Address> parseAddresses(std::string_view rawValue, std::string_view charsetHint) {
  if (rawValue.size() > kCachedLength || charsetHint.size() > kCachedLength)
    return readAddresses(rawValue, charsetHint);
  thread_local std::unordered_map<std::string, std::vector<Address>> cache;
  std::string key;
  key.reserve(charsetHint.size() + 1 + rawValue.size());
  key.append(charsetHint).append(1, '\0').append(rawValue);
  if (auto it = cache.find(key); it != cache.end()) return it->second;
  std::vector<Address> out = readAddresses(rawValue, charsetHint);
  if (cache.size() >= kCachedValues) cache.clear();
  cache.emplace(std::move(key), out);
  return out;
}

void prepareDecoding() { gmimeOptions(); }

DecodedMessage decodeMessage(std::string_view raw, const DecodeOptions& options) {
  DecodedMessage m;

  // Classic Mac line ends (CR alone, no LF anywhere) become LF.
  std::string converted;
  std::string_view in = withLineFeeds(raw, converted);

  SplitMessage split = splitHeaders(in);
  m.envelope = cleanHeaderText(decodeText(split.envelope, "", options.legacy));

  // The charset of the message's text, used for 8-bit header bytes; a
  // message of a Mac store that declares none has them in Mac Roman.
  std::string textCharset;
  if (const RawHeader* ct = findHeader(split.headers, "Content-Type")) textCharset = charsetParameter(unfold(ct->value));
  std::string hint = textCharset;
  if (options.legacy != LegacyCharset::Windows1252 && isUndeclaredCharset(hint)) hint = legacyCharsetName(options.legacy);

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
  decodeBody(m, split.headers, in.substr(std::min(split.bodyStart, in.size())), textCharset, options);
  return m;
}

}  // namespace qv::mime
