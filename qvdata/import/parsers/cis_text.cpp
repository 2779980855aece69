#include "import/parsers/cis_text.h"

#include "mime/dates.h"
#include "services/datetime.h"
#include "services/names.h"
#include "storage/fixedstr.h"

namespace qv::cis {

namespace {

constexpr size_t npos = std::string_view::npos;

using ascii::isBlank;

bool allDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

int toInt(std::string_view digits) {
  int v = 0;
  for (char c : digits) v = v * 10 + (c - '0');
  return v;
}

// The vertical line between a name and its address: character 179 of the DOS
// code page (U+2502), or the same byte read as Windows-1252 (U+00B3).
constexpr std::string_view kBoxLine = "\xE2\x94\x82";
constexpr std::string_view kLatinBar = "\xC2\xB3";

std::string_view trimNameTail(std::string_view s) {
  for (;;) {
    if (!s.empty() && (s.back() == '>' || isBlank(s.back()))) {
      s.remove_suffix(1);
    } else if (s.ends_with(kBoxLine)) {
      s.remove_suffix(kBoxLine.size());
    } else if (s.ends_with(kLatinBar)) {
      s.remove_suffix(kLatinBar.size());
    } else {
      return s;
    }
  }
}

}  // namespace

std::string decodeSource(std::string_view bytes) {
  if (isValidUtf8(bytes)) return std::string(bytes);
  return windows1252ToUtf8(bytes);
}

DateTime parseDateTime(std::string_view text) {
  DateTime r;
  std::string_view s = trimLeft(text);
  size_t end = s.find_first_of(" \t");
  std::string_view date = s.substr(0, end);
  std::string_view rest = end == npos ? std::string_view() : trimLeft(s.substr(end));

  size_t d1 = date.find('-');
  if (d1 == npos) return r;
  size_t d2 = date.find('-', d1 + 1);
  if (d2 == npos || date.find('-', d2 + 1) != npos) return r;
  std::string_view day = date.substr(0, d1), month = date.substr(d1 + 1, d2 - d1 - 1), year = date.substr(d2 + 1);
  if (!allDigits(day) || day.size() > 2 || !allDigits(year) || (year.size() != 2 && year.size() != 4)) return r;

  int m = mime::monthOfName(month);
  if (m != 0) {
    int y = mime::yearOfDigits(toInt(year), year.size());
    r.date = dateFromYMD(y, m, toInt(day));
  }

  std::string_view time = rest.substr(0, rest.find_first_of(" \t"));
  int parts[3] = {0, 0, 0};
  int count = 0;
  while (count < 3) {
    size_t colon = time.find(':');
    std::string_view part = time.substr(0, colon);
    if (!allDigits(part) || part.size() > 2) return r;
    parts[count++] = toInt(part);
    if (colon == npos) break;
    time.remove_prefix(colon + 1);
    if (count == 3) return r;  // a fourth part
  }
  if (count < 2 || parts[0] > 23 || parts[1] > 59 || parts[2] > 59) return r;
  r.time = timeFromHMS(parts[0], parts[1], parts[2]);
  return r;
}

uint32_t messageNumber(std::string_view text) {
  if (!allDigits(text)) return 0;
  while (text.size() > 1 && text.front() == '0') text.remove_prefix(1);
  if (text.size() > 7) return 0;
  uint32_t v = static_cast<uint32_t>(toInt(text));
  return v <= kMaxMessageNumber ? v : 0;
}

int sectionDigits(std::string_view text) {
  if (text.size() > 3 || !allDigits(text)) return -1;
  return toInt(text);
}

std::string forumName(std::string_view text) {
  std::string_view s = trim(text);
  if (startsWithNoCase(s, "CIS:")) s = trim(s.substr(4));
  return std::string(s);
}

void splitMailParty(std::string_view text, std::string& name, std::string& address) {
  std::string_view s = trim(text);
  size_t at = s.find("INTERNET");
  if (at == npos) {
    FindCISAdress(2, s, name, address);
    return;
  }
  std::string_view rest = s.substr(at + 8);
  if (!rest.empty() && rest.front() == ':') rest.remove_prefix(1);
  address = trim(rest);
  std::string_view n = trim(trimNameTail(s.substr(0, at)));
  if (n.size() >= 2 && n.front() == '"' && n.back() == '"') n = trim(n.substr(1, n.size() - 2));
  name = n;
}

void TextBuilder::add(std::string_view line) {
  // A CR within a line ends a line as well; a CR that ends the line is the
  // rest of a line end whose LF is missing.
  if (line.ends_with('\r')) line.remove_suffix(1);
  for (size_t cr; (cr = line.find('\r')) != npos;) {
    addLine(line.substr(0, cr));
    line.remove_prefix(cr + 1);
  }
  addLine(line);
}

void TextBuilder::addLine(std::string_view line) {
  if (full_) return;
  if (!started_) {
    if (trim(line).empty()) return;
    started_ = true;
  } else {
    text_ += "\r\n";
  }
  text_ += line;
  if (text_.size() > kMaxText) {
    text_.resize(utf8CutLength(text_, kMaxText));
    if (!text_.empty() && text_.back() == '\r') text_.pop_back();  // half a line break
    full_ = true;
  }
}

}  // namespace qv::cis
