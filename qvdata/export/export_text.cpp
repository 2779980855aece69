#include "export/export_text.h"

#include <cstdio>

#include "services/datetime.h"
#include "storage/fixedstr.h"

namespace qv {

namespace {

bool isInternet(std::string_view a) { return a.find('@') != std::string_view::npos; }

// "First Last", "Last" or "" (a first name without a last name is not written).
std::string fullName(const PersonText& p) {
  if (p.last.empty()) return {};
  return p.first.empty() ? p.last : p.first + " " + p.last;
}

// Joins two parts with a blank, leaving the blank out when one is empty.
std::string joined(const std::string& a, const std::string& b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  return a + " " + b;
}

int32_t validDate(int32_t date) { return date > 0 ? date : 0; }

}  // namespace

std::string compuServeInternetAddress(std::string_view a) {
  if (!isCompuServeNumber(a)) return std::string(a);
  std::string s(a);
  s[s.find_first_of(",.")] = '.';
  return s + "@" + kCompuServeMailDomain;
}

std::string forumPerson(const PersonText& p) {
  if (p.last.empty()) return p.address;
  std::string name = p.first.empty() ? p.last : p.last + "," + p.first;
  return joined(name, p.address);
}

std::string internetPerson(const PersonText& p) {
  if (p.address.empty()) return fullName(p);
  std::string addr = "<" + compuServeInternetAddress(p.address) + ">";
  return joined(fullName(p), addr);
}

std::string capturePerson(const PersonText& p) {
  if (isInternet(p.address)) {
    std::string name = fullName(p);
    return name.empty() ? "INTERNET:" + p.address : name + " > INTERNET:" + p.address;
  }
  return forumPerson(p);
}

std::string mailFileSender(const PersonText& p) {
  std::string addr = isInternet(p.address) ? ">INTERNET:" + p.address : p.address;
  if (p.last.empty()) return std::string(kVerticalLine) + p.address;
  return fullName(p) + std::string(kVerticalLine) + addr;
}

std::string mailFileRecipient(const PersonText& p) {
  if (isInternet(p.address)) {
    std::string name = fullName(p);
    return name.empty() ? ">INTERNET:" + p.address : name + " >INTERNET:" + p.address;
  }
  return joined(fullName(p), p.address);
}

std::string printedMailPerson(const PersonText& p) {
  if (isInternet(p.address)) return internetPerson(p);
  return joined(joined(p.first, p.last), p.address);
}

std::string dayMonthYear(int32_t date, bool fourDigitYear) {
  if (!validDate(date)) return {};
  int y, m, d;
  ymdFromDate(date, y, m, d);
  char b[32];
  if (fourDigitYear)
    std::snprintf(b, sizeof b, "%02d-%s-%04d", d, monthName(m), y);
  else
    std::snprintf(b, sizeof b, "%02d-%s-%02d", d, monthName(m), y % 100);
  return b;
}

std::string clockTime(int32_t time) {
  if (time <= 0) return "00:00:00";
  int h, m, s;
  hmsFromTime(time, h, m, s);
  char b[16];
  std::snprintf(b, sizeof b, "%02d:%02d:%02d", h, m, s);
  return b;
}

std::string dayOfMonth(int32_t date) {
  if (!validDate(date)) return {};
  int y, m, d;
  ymdFromDate(date, y, m, d);
  char b[8];
  std::snprintf(b, sizeof b, "%02d", d);
  return b;
}

std::string monthOf(int32_t date) {
  if (!validDate(date)) return {};
  int y, m, d;
  ymdFromDate(date, y, m, d);
  return monthName(m);
}

std::string yearOf(int32_t date) {
  if (!validDate(date)) return {};
  int y, m, d;
  ymdFromDate(date, y, m, d);
  return std::to_string(y);
}

std::string weekdayOf(int32_t date) { return validDate(date) ? weekdayName(date) : ""; }

std::vector<std::string> textLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

void wrapLine(std::string_view line, size_t width, std::vector<std::string>& out) {
  if (width == 0) width = 1;
  for (;;) {
    // Walk `width` characters; remember the last blank after the first one.
    size_t pos = 0, chars = 0, blank = std::string_view::npos;
    while (pos < line.size() && chars < width) {
      if (line[pos] == ' ' && chars > 0) blank = pos;
      size_t n = 1;
      while (pos + n < line.size() && (static_cast<unsigned char>(line[pos + n]) & 0xC0) == 0x80) ++n;
      pos += n;
      ++chars;
    }
    if (pos >= line.size()) {
      out.emplace_back(line);
      return;
    }
    // A blank right after the width lets the whole width stand.
    if (line[pos] == ' ') blank = pos;
    if (blank != std::string_view::npos) {
      out.emplace_back(line.substr(0, blank));
      line.remove_prefix(blank + 1);
    } else {
      out.emplace_back(line.substr(0, pos));
      line.remove_prefix(pos);
    }
    if (line.empty()) return;
  }
}

std::string_view cutText(std::string_view text, size_t max) { return text.substr(0, utf8CutLength(text, max)); }

}  // namespace qv
