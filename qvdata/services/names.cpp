#include "services/names.h"

#include <array>
#include <cstddef>
#include <string_view>

#include "storage/fixedstr.h"

namespace qv {

namespace {

constexpr size_t npos = std::string_view::npos;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
  return s;
}

// The vertical line that CompuServe readers put between name and number is
// character 179 of the DOS code page, the box-drawing line U+2502. Files
// that went through a Windows-1252 decode carry the same byte as the
// superscript three U+00B3; both are taken as the vertical line.
constexpr std::string_view kBoxLine = "\xE2\x94\x82";
constexpr std::string_view kLatinBar = "\xC2\xB3";

// Byte length of a vertical line that ends just before s[end], 0 when none.
size_t verticalLineBefore(std::string_view s, size_t end) {
  std::string_view head = s.substr(0, end);
  if (head.ends_with(kBoxLine)) return kBoxLine.size();
  if (head.ends_with(kLatinBar)) return kLatinBar.size();
  return 0;
}

struct Divider {
  size_t pos = npos;  // first byte of the blank or vertical line
  size_t len = 0;
};

// The last blank or vertical line that ends at or before s[end].
Divider lastDividerBefore(std::string_view s, size_t end) {
  for (size_t i = end; i > 0; --i) {
    if (s[i - 1] == ' ') return {i - 1, 1};
    if (size_t len = verticalLineBefore(s, i)) return {i - len, len};
  }
  return {};
}

// A name in front of an address loses the trailing ">" characters, blanks
// and vertical lines that separated it from the address.
std::string_view trimNameTail(std::string_view s) {
  for (;;) {
    if (!s.empty() && (s.back() == '>' || s.back() == ' ')) {
      s.remove_suffix(1);
    } else if (size_t len = verticalLineBefore(s, s.size())) {
      s.remove_suffix(len);
    } else {
      return s;
    }
  }
}

bool isNumeric(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

size_t characterCount(std::string_view s) {
  size_t n = 0;
  for (char c : s)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  return n;
}

bool isGenerationSuffix(std::string_view word) {
  static constexpr std::array<std::string_view, 9> kSuffixes = {
      "I  ", "II ", "III", "IV ", "V  ", "l  ", "ll ", "lll", "lV "};
  std::string padded(word.substr(0, 3));
  padded.resize(3, ' ');
  for (std::string_view s : kSuffixes)
    if (padded == s) return true;
  return false;
}

// The last word of a CompuServe-style string is its address; an address
// with a service prefix ("INTERNET:jsmith@host") keeps what follows the
// first colon.
std::string_view dropServicePrefix(std::string_view address) {
  size_t colon = address.find(':');
  if (colon != npos && colon + 1 < address.size()) return address.substr(colon + 1);
  return address;
}

void splitAtLastWord(std::string_view s, std::string& name, std::string& address) {
  Divider d = lastDividerBefore(s, s.size());
  if (d.pos == npos || d.pos == 0) {
    name.clear();
    address = dropServicePrefix(s);
    return;
  }
  address = dropServicePrefix(s.substr(d.pos + d.len));
  name = trimNameTail(s.substr(0, d.pos));
}

constexpr std::string_view kCsinet = "CSINET";

// Where "CSINET" stands as a word of its own in an address: neither side
// touches a letter or digit (a byte outside ASCII counts as part of a
// letter). The colon that follows it is a separator here, whereas the word
// index (and so AISINB's whole-word test) keeps "CSINET:NAME" as one word.
size_t findCsinet(std::string_view s) {
  auto wordByte = [](char c) {
    auto b = static_cast<unsigned char>(c);
    return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b >= 0x80;
  };
  for (size_t at = s.find(kCsinet); at != npos; at = s.find(kCsinet, at + 1)) {
    size_t end = at + kCsinet.size();
    if ((at == 0 || !wordByte(s[at - 1])) && (end == s.size() || !wordByte(s[end]))) return at;
  }
  return npos;
}

bool splitCsinet(std::string_view s, std::string& name, std::string& address) {
  size_t pos = findCsinet(s);
  if (pos == npos) return false;
  name = trimNameTail(s.substr(0, pos));
  std::string_view rest = s.substr(pos + kCsinet.size());
  std::string_view afterBlanks = rest;
  while (!afterBlanks.empty() && afterBlanks.front() == ' ') afterBlanks.remove_prefix(1);
  if (!afterBlanks.empty() && afterBlanks.front() == ':') rest = afterBlanks.substr(1);
  rest = trim(rest);
  // What follows the address (a comment, a second name) is dropped.
  if (characterCount(rest) >= 5) {
    size_t blank = rest.find(' ', 1);
    if (blank != npos) rest = rest.substr(0, blank);
  }
  address = rest;
  return true;
}

// Recognises a CompuServe number ("12345,678", "12345.678", "[12345,678]")
// at the end of the text. Returns false when the text does not end in one.
bool splitCompuServeNumber(std::string_view s, std::string& name, std::string& address) {
  if (s.size() < 3) return false;
  size_t sep = npos;
  for (size_t i = s.size() - 2; i >= 1; --i) {
    if (s[i] == ',' || s[i] == '.') {
      sep = i;
      break;
    }
  }
  if (sep == npos) return false;

  size_t end = s.size();
  if (s[end - 1] == ']') --end;
  std::string_view user = s.substr(sep + 1, end - sep - 1);
  if (user.size() >= 2 && user.front() == ' ') user.remove_prefix(1);
  if (!isNumeric(user)) return false;

  auto stripBracket = [](std::string_view v) {
    if (!v.empty() && v.front() == '[') v.remove_prefix(1);
    return v;
  };

  Divider d = lastDividerBefore(s, sep);
  if (d.pos != npos) {
    std::string_view host = stripBracket(s.substr(d.pos + d.len, sep - d.pos - d.len));
    if (!isNumeric(host)) return false;
    address.assign(host).append(",").append(user);
    name = trimNameTail(s.substr(0, d.pos));
    return true;
  }
  std::string_view host = stripBracket(s.substr(0, sep));
  if (!isNumeric(host)) return false;
  address.assign(host).append(",").append(user);
  name.clear();
  return true;
}

}  // namespace

void ParseName(std::string_view full, std::string& last, std::string& first) {
  // Blanks around the name carry no meaning and are dropped first.
  std::string_view s = trim(full);
  first.clear();
  size_t blank = s.rfind(' ');
  if (s.size() < 2 || blank == npos || blank == 0) {
    last = s;
    return;
  }
  std::string_view lastWord = s.substr(blank + 1);
  std::string_view head = trimRight(s.substr(0, blank));
  if (!isGenerationSuffix(lastWord)) {
    last = lastWord;
    first = head;
    return;
  }
  size_t previous = head.rfind(' ');
  if (previous == npos || previous == 0) {
    last = s;
    return;
  }
  last = s.substr(previous + 1);
  first = trimRight(head.substr(0, previous));
}

void FindCISAdress(int mode, std::string_view text, std::string& name, std::string& address) {
  std::string_view s = trim(text);
  name.clear();
  address.clear();
  if (mode == 2 && splitCsinet(s, name, address)) return;
  if (splitCompuServeNumber(s, name, address)) return;
  if (mode == 2) {
    splitAtLastWord(s, name, address);
  } else {
    name = s;
    address.clear();
  }
}

bool isCompuServeNumber(std::string_view a) {
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  size_t sep = a.find_first_of(",.");
  if (sep == 0 || sep == npos || sep + 1 >= a.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (i != sep && !digit(a[i])) return false;
  return true;
}

}  // namespace qv
