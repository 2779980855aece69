#include "mime/charset.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <mutex>

#include "mime/gmime_support.h"

namespace qv::mime {

namespace detail {

GMimeParserOptions* gmimeOptions() {
  static GMimeParserOptions* options = nullptr;
  static std::once_flag once;
  std::call_once(once, [] {
    g_mime_init();
    options = g_mime_parser_options_new();
    static const char* fallback[] = {"UTF-8", "windows-1252", nullptr};
    g_mime_parser_options_set_fallback_charsets(options, fallback);
    g_mime_parser_options_set_address_compliance_mode(options, GMIME_RFC_COMPLIANCE_LOOSE);
    g_mime_parser_options_set_parameter_compliance_mode(options, GMIME_RFC_COMPLIANCE_LOOSE);
    g_mime_parser_options_set_rfc2047_compliance_mode(options, GMIME_RFC_COMPLIANCE_LOOSE);
    g_mime_parser_options_set_allow_addresses_without_domain(options, TRUE);
  });
  return options;
}

}  // namespace detail

namespace {

const char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Length of the valid UTF-8 sequence at s[i], or 0 when none starts there.
size_t utf8SequenceAt(std::string_view s, size_t i) {
  auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char c = b(i);
  if (c < 0x80) return 1;
  size_t n = s.size() - i;
  if (c >= 0xC2 && c <= 0xDF) return n >= 2 && (b(i + 1) & 0xC0) == 0x80 ? 2 : 0;
  if (c >= 0xE0 && c <= 0xEF) {
    if (n < 3 || (b(i + 1) & 0xC0) != 0x80 || (b(i + 2) & 0xC0) != 0x80) return 0;
    if (c == 0xE0 && b(i + 1) < 0xA0) return 0;   // overlong
    if (c == 0xED && b(i + 1) >= 0xA0) return 0;  // surrogates
    return 3;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    if (n < 4 || (b(i + 1) & 0xC0) != 0x80 || (b(i + 2) & 0xC0) != 0x80 || (b(i + 3) & 0xC0) != 0x80) return 0;
    if (c == 0xF0 && b(i + 1) < 0x90) return 0;   // overlong
    if (c == 0xF4 && b(i + 1) >= 0x90) return 0;  // above U+10FFFF
    return 4;
  }
  return 0;
}

std::string lowerTrimmed(std::string_view s) {
  std::string out;
  for (char c : s) {
    if (c == '"' || c == '\'' || c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    out += (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
  }
  return out;
}

enum class Kind { Undeclared, Utf8, Cp1252, Other };

Kind charsetKind(const std::string& cs) {
  static const char* undeclared[] = {"", "us-ascii", "ascii", "usascii", "ansi_x3.4-1968", "iso646-us", "us",
                                     "unknown-8bit", "unknown", "x-unknown", "default", "x-user-defined",
                                     "none", "8bit", "7bit", "iso-8859-1-unknown"};
  static const char* utf8[] = {"utf-8", "utf8", "x-utf-8", "unicode-1-1-utf-8"};
  static const char* cp1252[] = {"iso-8859-1", "iso8859-1", "iso_8859-1", "iso-8859-1:1987", "iso_8859-1:1987",
                                 "latin1", "latin-1", "l1", "cp819", "ibm819", "iso-ir-100", "csisolatin1",
                                 "windows-1252", "cp1252", "x-cp1252", "cp-1252", "win-1252", "ms-ansi", "ansi"};
  for (const char* n : undeclared) if (cs == n) return Kind::Undeclared;
  for (const char* n : utf8) if (cs == n) return Kind::Utf8;
  for (const char* n : cp1252) if (cs == n) return Kind::Cp1252;
  return Kind::Other;
}

void appendCp1252(std::string& out, unsigned char c) { appendUtf8(out, windows1252Char(c)); }

// The characters of the Mac Roman bytes 0x80 to 0xFF, read once from the
// system's converter (Windows-1252's where it has none).
const std::array<char32_t, 128>& macRomanHigh() {
  static const std::array<char32_t, 128> table = [] {
    std::array<char32_t, 128> t{};
    detail::gmimeOptions();
    iconv_t cd = g_mime_iconv_open("UTF-32LE", legacyCharsetName(LegacyCharset::MacRoman));
    for (int i = 0; i < 128; ++i) {
      t[size_t(i)] = windows1252Char(static_cast<unsigned char>(0x80 + i));
      if (cd == (iconv_t)-1) continue;
      char in = char(0x80 + i);
      unsigned char out[4];
      char* inPtr = &in;
      char* outPtr = reinterpret_cast<char*>(out);
      size_t inLeft = 1, outLeft = sizeof out;
      if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != (size_t)-1 && outLeft == 0)
        t[size_t(i)] = char32_t(out[0]) | char32_t(out[1]) << 8 | char32_t(out[2]) << 16 | char32_t(out[3]) << 24;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    if (cd != (iconv_t)-1) g_mime_iconv_close(cd);
    return t;
  }();
  return table;
}

void appendLegacy(std::string& out, unsigned char c, LegacyCharset legacy) {
  if (legacy == LegacyCharset::MacRoman && c >= 0x80) appendUtf8(out, macRomanHigh()[c - 0x80]);
  else appendCp1252(out, c);
}

// UTF-8 where valid, each other byte as Windows-1252. Valid bytes are
// copied in runs.
void decodeUtf8Lenient(std::string_view s, std::string& out) {
  size_t i = 0, run = 0;  // run: the first valid byte not yet copied
  while (i < s.size()) {
    if (static_cast<unsigned char>(s[i]) < 0x80) {
      ++i;
      continue;
    }
    size_t n = utf8SequenceAt(s, i);
    if (n > 0) {
      i += n;
      continue;
    }
    out.append(s.substr(run, i - run));
    appendCp1252(out, static_cast<unsigned char>(s[i]));
    run = ++i;
  }
  out.append(s.substr(run));
}

// Windows-1252 bytes as UTF-8; ASCII is copied in runs.
void appendCp1252Text(std::string_view s, std::string& out) {
  size_t run = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) continue;
    out.append(s.substr(run, i - run));
    appendCp1252(out, c);
    run = i + 1;
  }
  out.append(s.substr(run));
}

// Each line as UTF-8 when valid, else in the legacy charset.
void decodeUndeclared(std::string_view s, std::string& out, LegacyCharset legacy) {
  size_t start = 0;
  while (start < s.size()) {
    size_t end = s.find('\n', start);
    end = end == std::string_view::npos ? s.size() : end + 1;
    std::string_view line = s.substr(start, end - start);
    if (isValidUtf8(line)) out.append(line);
    else for (char c : line) appendLegacy(out, static_cast<unsigned char>(c), legacy);
    start = end;
  }
}

// Converts with iconv; false when the charset is unknown to the converter.
bool decodeWithIconv(std::string_view s, const std::string& charset, std::string& out) {
  detail::gmimeOptions();  // GMime's charset alias tables
  iconv_t cd = g_mime_iconv_open("UTF-8", charset.c_str());
  if (cd == (iconv_t)-1) return false;
  size_t from = out.size();
  char buf[4096];
  char* in = const_cast<char*>(s.data());
  size_t inLeft = s.size();
  while (inLeft > 0) {
    char* outPtr = buf;
    size_t outLeft = sizeof buf;
    size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    int err = errno;
    out.append(buf, size_t(outPtr - buf));
    if (r != (size_t)-1) break;
    if (err == E2BIG) continue;
    if (inLeft == 0) break;
    // EILSEQ (a byte the charset does not allow), EINVAL (a sequence cut off
    // at the end): that byte is read as Windows-1252 and conversion goes on
    // after it from the initial shift state.
    appendCp1252(out, static_cast<unsigned char>(*in));
    ++in;
    --inLeft;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  // Return a stateful charset to its initial state.
  for (int guard = 0; guard < 4; ++guard) {
    char* outPtr = buf;
    size_t outLeft = sizeof buf;
    size_t r = iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buf, size_t(outPtr - buf));
    if (r != (size_t)-1 || errno != E2BIG) break;
  }
  g_mime_iconv_close(cd);
  // The converter writes code points beyond Unicode (UCS-4 input) in the
  // old five- and six-byte forms: each such sequence becomes U+FFFD.
  if (!isValidUtf8(std::string_view(out).substr(from))) {
    std::string done = out.substr(0, from);
    for (size_t i = from; i < out.size();) {
      size_t n = static_cast<unsigned char>(out[i]) < 0x80 ? 1 : utf8SequenceAt(out, i);
      if (n > 0) {
        done.append(out, i, n);
        i += n;
        continue;
      }
      appendUtf8(done, 0xFFFD);
      ++i;
      while (i < out.size() && (static_cast<unsigned char>(out[i]) & 0xC0) == 0x80) ++i;
    }
    out = std::move(done);
  }
  return true;
}

void stripBom(std::string& s) {
  if (s.size() >= 3 && s.compare(0, 3, "\xEF\xBB\xBF") == 0) s.erase(0, 3);
}

}  // namespace

char32_t windows1252Char(unsigned char c) {
  if (c >= 0x80 && c < 0xA0) return kCp1252High[c - 0x80];
  return c;
}

void appendUtf8(std::string& out, char32_t cp) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

bool isValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    if (static_cast<unsigned char>(s[i]) < 0x80) {
      ++i;
      continue;
    }
    size_t n = utf8SequenceAt(s, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string windows1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  appendCp1252Text(bytes, out);
  return out;
}

size_t utf8PrefixLength(std::string_view s, size_t maxBytes) {
  if (maxBytes >= s.size()) return s.size();
  size_t n = maxBytes;
  // Step back over continuation bytes to the start of the sequence cut.
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  return n;
}

std::string toCrLf(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 32 + 2);
  size_t run = 0;  // the first byte not yet copied
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c != '\r' && c != '\n') continue;
    out.append(text.substr(run, i - run));
    out += "\r\n";
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    run = i + 1;
  }
  out.append(text.substr(run));
  return out;
}

const char* legacyCharsetName(LegacyCharset c) {
  return c == LegacyCharset::MacRoman ? "MACINTOSH" : "windows-1252";
}

bool isUndeclaredCharset(std::string_view charset) { return charsetKind(lowerTrimmed(charset)) == Kind::Undeclared; }

std::string decodeText(std::string_view bytes, std::string_view declaredCharset, LegacyCharset legacy) {
  std::string cs = lowerTrimmed(declaredCharset);
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  switch (charsetKind(cs)) {
    case Kind::Undeclared: decodeUndeclared(bytes, out, legacy); break;
    case Kind::Utf8: decodeUtf8Lenient(bytes, out); break;
    case Kind::Cp1252: appendCp1252Text(bytes, out); break;
    case Kind::Other:
      if (!decodeWithIconv(bytes, cs, out)) {
        out.clear();
        decodeUndeclared(bytes, out, legacy);
      }
      break;
  }
  stripBom(out);
  return out;
}

}  // namespace qv::mime
