// Dates and times of messages as written: RFC 5322 through GMime, the looser
// forms of old mail and news, and the month names and short years that every
// parser reads alike.
#include "mime/dates.h"

#include <algorithm>
#include <vector>

#include "mime/mime_internal.h"
#include "services/datetime.h"

namespace qv::mime {

using namespace detail;

namespace {

// ASCII letters in upper case; the German a-umlaut (UTF-8 either case, or a
// Windows-1252 byte) becomes A, so that "Mär" reads as "MAR".
std::string capitals(std::string_view text) {
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
  return u;
}

}  // namespace

int monthOfName(std::string_view name) {
  if (name.size() > 4) return 0;  // three letters, one of them perhaps two bytes
  std::string u = capitals(name);
  struct Entry {
    std::string_view name;
    int month;
  };
  static constexpr Entry kMonths[] = {
      {"JAN", 1}, {"FEB", 2}, {"MAR", 3}, {"MRZ", 3},  {"APR", 4},  {"MAY", 5},  {"MAI", 5},  {"JUN", 6},
      {"JUL", 7}, {"AUG", 8}, {"SEP", 9}, {"OCT", 10}, {"OKT", 10}, {"NOV", 11}, {"DEC", 12}, {"DEZ", 12},
  };
  for (const Entry& e : kMonths)
    if (u == e.name) return e.month;
  return 0;
}

int yearOfDigits(long value, size_t digits) {
  if (digits <= 2) return value < 70 ? int(2000 + value) : int(1900 + value);
  if (digits == 3) return int(1900 + value);  // years counted from 1900
  return int(value);
}

namespace {

// The month of a word of capitals: its first three letters.
int monthOfWord(std::string_view upperWord) { return upperWord.size() < 3 ? 0 : monthOfName(upperWord.substr(0, 3)); }

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
  std::string u = capitals(text);
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
      int m = monthOfWord(w);
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
      else if (n <= 3 && year < 0) year = yearOfDigits(v, n);
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
      year = yearOfDigits(c, cn);
    } else {
      return false;
    }
    if (month < 1 || month > 12) return false;
  }
  if (day < 1 || month < 1 || year < 0) return false;
  return makeDateTime(year, month, day, h, mi, s, hasTime, date, time);
}

}  // namespace

namespace detail {

// The last "Www Mmm" pair of the separator line starts an asctime date.
bool envelopeDate(std::string_view env, int32_t& date, int32_t& time, int& tz) {
  static const char* days[] = {"Mon ", "Tue ", "Wed ", "Thu ", "Fri ", "Sat ", "Sun "};
  size_t best = std::string_view::npos;
  for (size_t i = 0; i + 7 <= env.size(); ++i) {
    for (const char* d : days)
      if (env.compare(i, 4, d) == 0) {
        if (monthOfName(env.substr(i + 4, 3))) best = i;
      }
  }
  if (best == std::string_view::npos) return false;
  return parseDate(env.substr(best), date, time, tz);
}

}  // namespace detail

namespace {

// A time written against its zone without a blank ("00:01+0000",
// "13:45:10-0130"), which GMime reads as midnight or without its zone.
bool timeTouchesZone(std::string_view t) {
  auto digit = [&](size_t i) { return i < t.size() && t[i] >= '0' && t[i] <= '9'; };
  for (size_t c = t.find(':'); c != std::string_view::npos; c = t.find(':', c + 1)) {
    if (c == 0 || !digit(c - 1) || !digit(c + 1) || !digit(c + 2)) continue;
    size_t end = c + 3;
    if (end + 2 < t.size() && t[end] == ':' && digit(end + 1) && digit(end + 2)) end += 3;
    if (end < t.size() && (t[end] == '+' || t[end] == '-') && digit(end + 1)) return true;
  }
  return false;
}

}  // namespace

bool parseDate(std::string_view text, int32_t& date, int32_t& time, int& tzMinutes) {
  date = 0;
  time = 0;
  tzMinutes = 0;
  std::string t(trimWsp(text));
  if (t.empty() || t.find('\0') != std::string::npos) return false;
  if (timeTouchesZone(t) && parseDateLoose(t, date, time, tzMinutes)) return true;
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

}  // namespace qv::mime
