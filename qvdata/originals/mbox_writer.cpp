#include "originals/mbox_writer.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "mime/dates.h"
#include "mime/mime_message.h"
#include "services/datetime.h"

namespace qv {

namespace {

constexpr std::string_view kSeparatorStart = "From ";
constexpr const char* kNoSender = "MAILER-DAEMON";
constexpr int kMinutesPerDay = 24 * 60;

bool startsWithSeparator(std::string_view raw) { return raw.substr(0, kSeparatorStart.size()) == kSeparatorStart; }

// The message without a separator line of its own.
std::string_view withoutSeparator(std::string_view raw) {
  if (!startsWithSeparator(raw)) return raw;
  size_t eol = raw.find('\n');
  return eol == std::string_view::npos ? std::string_view() : raw.substr(eol + 1);
}

// The unfolded value of the first header `name` of the header block.
std::string headerValue(std::string_view raw, std::string_view name) {
  std::string value;
  bool in = false;
  size_t pos = 0;
  while (pos < raw.size()) {
    size_t eol = raw.find('\n', pos);
    std::string_view line = raw.substr(pos, eol == std::string_view::npos ? raw.npos : eol - pos);
    pos = eol == std::string_view::npos ? raw.size() : eol + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) break;
    if (line[0] == ' ' || line[0] == '\t') {
      if (in) value.append(line);
      continue;
    }
    if (in) break;
    size_t colon = line.find(':');
    if (colon != name.size()) continue;
    bool same = true;
    for (size_t i = 0; i < colon && same; ++i) same = std::tolower(static_cast<unsigned char>(line[i])) == std::tolower(static_cast<unsigned char>(name[i]));
    if (!same) continue;
    in = true;
    value.assign(line.substr(colon + 1));
  }
  return value;
}

// An address of the separator line: no blanks or control characters in it.
std::string separatorAddress(std::string_view raw) {
  for (const char* h : {"Sender", "From", "Return-Path"}) {
    for (const mime::Address& a : mime::parseAddresses(headerValue(raw, h))) {
      std::string out;
      for (char c : a.address)
        if (static_cast<unsigned char>(c) > 0x20 && c != 0x7F) out += c;
      if (!out.empty()) return out;
    }
  }
  return kNoSender;
}

std::string asctimeUtc(std::string_view raw) {
  int32_t date = 0, time = 0;
  int tz = 0;
  if (!mime::parseDate(mime::decodeHeader(headerValue(raw, "Date")), date, time, tz)) date = dateFromYMD(1970, 1, 1);
  int h = 0, m = 0, s = 0;
  if (time > 0) hmsFromTime(time, h, m, s);
  int minutes = h * 60 + m - tz;
  if (minutes < 0) {
    minutes += kMinutesPerDay;
    --date;
  } else if (minutes >= kMinutesPerDay) {
    minutes -= kMinutesPerDay;
    ++date;
  }
  int y = 0, mo = 0, d = 0;
  ymdFromDate(date, y, mo, d);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s %s %2d %02d:%02d:%02d %04d", weekdayName(date), monthName(mo), d, minutes / 60,
                minutes % 60, s, y);
  return buf;
}

}  // namespace

std::string mboxrdQuote(std::string_view raw) {
  std::string out;
  out.reserve(raw.size() + raw.size() / 64);
  size_t pos = 0;
  while (pos < raw.size()) {
    size_t eol = raw.find('\n', pos);
    size_t end = eol == std::string_view::npos ? raw.size() : eol + 1;
    std::string_view line = raw.substr(pos, end - pos);
    size_t quotes = 0;
    while (quotes < line.size() && line[quotes] == '>') ++quotes;
    if (line.substr(quotes, kSeparatorStart.size()) == kSeparatorStart) out += '>';
    out.append(line);
    pos = end;
  }
  return out;
}

std::string mboxSeparator(std::string_view raw) {
  if (startsWithSeparator(raw)) {
    size_t eol = raw.find('\n');
    std::string line(raw.substr(0, eol));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line + "\n";
  }
  return std::string(kSeparatorStart) + separatorAddress(raw) + " " + asctimeUtc(raw) + "\n";
}

std::string mboxEntry(std::string_view raw) {
  // An original of a classic Mac store has CR line ends only: a mailbox is
  // read by its LF line ends, so they become LF here (the .eml keeps them).
  std::string lineFeeds;
  if (raw.find('\n') == std::string_view::npos && raw.find('\r') != std::string_view::npos) {
    lineFeeds.assign(raw);
    std::replace(lineFeeds.begin(), lineFeeds.end(), '\r', '\n');
    raw = lineFeeds;
  }
  std::string out = mboxSeparator(raw);
  out += mboxrdQuote(withoutSeparator(raw));
  if (!out.empty() && out.back() != '\n') out += '\n';
  out += '\n';
  return out;
}

}  // namespace qv
