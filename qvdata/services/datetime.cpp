#include "services/datetime.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "services/settings.h"
#include "services/settings_items.h"

namespace qv {

namespace {
using namespace std::chrono;
// 28 December 1800 as days since 1970-01-01.
const int32_t kEpoch = sys_days{year{1800} / December / 28}.time_since_epoch().count();
}  // namespace

int32_t dateFromYMD(int y, int m, int d) {
  year_month_day ymd{year{y}, month{unsigned(m)}, day{unsigned(d)}};
  if (!ymd.ok() || y < 1801 || y > 9999) return 0;
  return sys_days{ymd}.time_since_epoch().count() - kEpoch;
}

void ymdFromDate(int32_t date, int& y, int& m, int& d) {
  year_month_day ymd{sys_days{days{date + kEpoch}}};
  y = int(ymd.year());
  m = int(unsigned(ymd.month()));
  d = int(unsigned(ymd.day()));
}

int32_t timeFromHMS(int h, int mi, int s, int hs) { return ((h * 60 + mi) * 60 + s) * 100 + hs + 1; }

int32_t minuteStart(int32_t time) {
  if (time <= 0) return time;
  return (time - 1) / kHundredthsPerMinute * kHundredthsPerMinute + 1;
}

int32_t minuteEnd(int32_t time) { return time <= 0 ? time : minuteStart(time) + kHundredthsPerMinute - 1; }

void hmsFromTime(int32_t t, int& h, int& mi, int& s) {
  int32_t v = t > 0 ? (t - 1) / 100 : 0;
  h = v / 3600;
  mi = (v / 60) % 60;
  s = v % 60;
}

int32_t today() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return dateFromYMD(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

int32_t clockNow() {
  auto now = system_clock::now();
  std::time_t t = system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&t, &tm);
  int hs = int(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000 / 10);
  return timeFromHMS(tm.tm_hour, tm.tm_min, tm.tm_sec, hs);
}

int weekday(int32_t date) { return ((date % 7) + 7) % 7; }

const char* weekdayName(int32_t date) {
  static const char* names[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  return names[weekday(date)];
}

const char* monthName(int m) {
  static const char* names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  return m >= 1 && m <= 12 ? names[m - 1] : "";
}

namespace {
// Writes `value` as exactly `width` digits at `p`; false when it has more.
bool putDigits(char* p, int value, int width) {
  if (value < 0) return false;
  for (int i = width - 1; i >= 0; --i, value /= 10) p[i] = char('0' + value % 10);
  return value == 0;
}

// The numeric layouts without a format parse per date (a listing formats
// thousands): "aa-bb-cccc" or "cccc-aa-bb"; false when a part does not fit.
bool numericDate(int format, int y, int m, int d, char* b) {
  if (format == DateYearFirst)
    return putDigits(b, y, 4) && putDigits(b + 5, m, 2) && putDigits(b + 8, d, 2) && ((b[4] = b[7] = '-'), true);
  int first = format == DateMonthFirst ? m : d, second = format == DateMonthFirst ? d : m;
  return putDigits(b, first, 2) && putDigits(b + 3, second, 2) && putDigits(b + 6, y, 4) && ((b[2] = b[5] = '-'), true);
}
}  // namespace

std::string formatDate(int32_t date, int format) {
  if (date <= 0) return "";
  int y, m, d;
  ymdFromDate(date, y, m, d);
  char b[64];
  if ((format == DateMonthFirst || format == DateDayFirst || format == DateYearFirst) && numericDate(format, y, m, d, b))
    return std::string(b, 10);
  switch (format) {
    case DateMonthFirst: std::snprintf(b, sizeof b, "%02d-%02d-%04d", m, d, y); break;
    case DateDayFirst: std::snprintf(b, sizeof b, "%02d-%02d-%04d", d, m, y); break;
    case DateYearFirst: std::snprintf(b, sizeof b, "%04d-%02d-%02d", y, m, d); break;
    default: {
      // The desktop's short date.
      std::tm tm{};
      tm.tm_year = y - 1900;
      tm.tm_mon = m - 1;
      tm.tm_mday = d;
      if (std::strftime(b, sizeof b, "%x", &tm) == 0) std::snprintf(b, sizeof b, "%04d-%02d-%02d", y, m, d);
      break;
    }
  }
  return b;
}

std::string formatTime(int32_t time, int format) {
  if (time <= 0) return "";
  int h, mi, s;
  hmsFromTime(time, h, mi, s);
  char b[64];
  switch (format) {
    case Time24Hour: std::snprintf(b, sizeof b, "%02d:%02d", h, mi); break;
    case Time12Hour: std::snprintf(b, sizeof b, "%02d:%02d%s", h % 12 == 0 ? 12 : h % 12, mi, h < 12 ? "AM" : "PM"); break;
    default: {
      std::tm tm{};
      tm.tm_hour = h;
      tm.tm_min = mi;
      tm.tm_sec = s;
      if (std::strftime(b, sizeof b, "%X", &tm) == 0) std::snprintf(b, sizeof b, "%02d:%02d", h, mi);
      break;
    }
  }
  return b;
}

int SetDate(std::string& description, std::string& picture) {
  int v = int(KonfigGet(ItemDateFormat));
  switch (v) {
    case DateMonthFirst: description = "mm-dd-yyyy"; picture = "mm-dd-yyyy"; break;
    case DateDayFirst: description = "dd-mm-yyyy"; picture = "dd-mm-yyyy"; break;
    case DateYearFirst: description = "yyyy-mm-dd"; picture = "yyyy-mm-dd"; break;
    case DateDesktop: description = "Windows setting"; picture = "%x"; break;
    default: return 0;
  }
  return v;
}

int SetTime(std::string& description, std::string& picture) {
  int v = int(KonfigGet(ItemTimeFormat));
  switch (v) {
    case Time24Hour: description = "hh:mm"; picture = "hh:mm"; break;
    case Time12Hour: description = "hh:mmXM"; picture = "hh:mmXM"; break;
    case TimeDesktop: description = "Windows setting"; picture = "%X"; break;
    default: return 0;
  }
  return v;
}

}  // namespace qv
