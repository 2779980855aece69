// Dates as day numbers and times as hundredths of a second.
//
// Day 0 is Sunday 28 December 1800, so a day number modulo 7 gives the
// weekday with 0 for Sunday. A time is hundredths of a second since midnight
// plus one (1 = midnight, 8,640,000 = one hundredth before the next midnight);
// 0 means "no time".
#pragma once

#include <cstdint>
#include <string>

namespace qv {

inline constexpr int32_t kHundredthsPerDay = 8640000;
inline constexpr int32_t kHundredthsPerMinute = 6000;

int32_t dateFromYMD(int year, int month, int day);  // 0 when the date is impossible
void ymdFromDate(int32_t date, int& year, int& month, int& day);
int32_t timeFromHMS(int hours, int minutes, int seconds, int hundredths = 0);
void hmsFromTime(int32_t time, int& hours, int& minutes, int& seconds);
// The time at the start of the minute of `time` (hh:mm:00.00), and the last
// time of that minute; 0 ("no time") stays 0. Mail times are compared to
// the minute when duplicates are looked for.
int32_t minuteStart(int32_t time);
int32_t minuteEnd(int32_t time);
int32_t today();      // local date
int32_t clockNow();   // local time of day
int weekday(int32_t date);  // 0 Sunday .. 6 Saturday
const char* weekdayName(int32_t date);  // "Sun" .. "Sat"
const char* monthName(int month);       // "Jan" .. "Dec"

// Display formats: the values of the date format preference (ItemDateFormat)
// and of the time format preference (ItemTimeFormat) of the general settings.
enum DateFormat : int {
  DateMonthFirst = 2,  // mm-dd-yyyy
  DateDayFirst = 6,    // dd-mm-yyyy
  DateYearFirst = 10,  // yyyy-mm-dd
  DateDesktop = 17,    // the desktop's short date
};
enum TimeFormat : int {
  Time24Hour = 1,    // hh:mm
  Time12Hour = 3,    // hh:mmAM
  TimeDesktop = 7,   // the desktop's time
};
std::string formatDate(int32_t date, int format);
std::string formatTime(int32_t time, int format);

// Fill the description and display picture of the current preference and
// return its value; without a readable preference they return 0 and fill
// nothing.
int SetDate(std::string& description, std::string& picture);
int SetTime(std::string& description, std::string& picture);

}  // namespace qv
