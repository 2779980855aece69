// The byte encodings of N, D and C keys.
#include "index/key_encoding.h"

#include <cstring>

namespace dbf {
namespace {

constexpr long kDayNumberBase = 1721410;
constexpr long kJulianDayBase = 1721425;  // 31 December of the year 0
constexpr int kDaysBeforeMonth[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
constexpr int kDaysInMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

bool gregorianLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

// The days of the year before the date; false for an invalid date.
bool daysBefore(int year, int month, int day, long& out) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  int inMonth = kDaysInMonth[month - 1] + (month == 2 && gregorianLeap(year) ? 1 : 0);
  if (day > inMonth) return false;
  out = kDaysBeforeMonth[month - 1] + (month > 2 && gregorianLeap(year) ? 1 : 0);
  return true;
}

}  // namespace

std::string encodeNumberKey(double value) {
  if (value == 0) value = 0.0;  // -0 sorts with 0
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  if (bits >> 63) bits = ~bits;
  else bits |= uint64_t{1} << 63;
  std::string out(kNumericKeyLength, '\0');
  for (int i = 0; i < kNumericKeyLength; ++i) out[i] = static_cast<char>(bits >> (8 * (7 - i)));
  return out;
}

double decodeNumberKey(std::string_view bytes) {
  uint64_t bits = 0;
  for (int i = 0; i < kNumericKeyLength && i < static_cast<int>(bytes.size()); ++i)
    bits = (bits << 8) | static_cast<unsigned char>(bytes[i]);
  if (bits >> 63) bits &= ~(uint64_t{1} << 63);
  else bits = ~bits;
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

bool dayNumber(int year, int month, int day, long& out) {
  long before = 0;
  if (!daysBefore(year, month, day, before)) return false;
  out = day + (static_cast<long>(year) - 1) * 1461 / 4 + before + kDayNumberBase;
  return true;
}

bool julianDayNumber(int year, int month, int day, long& out) {
  long before = 0;
  if (!daysBefore(year, month, day, before)) return false;
  const long y = static_cast<long>(year) - 1;
  out = day + before + 365 * y + y / 4 - y / 100 + y / 400 + kJulianDayBase;
  return true;
}

bool dayNumbersAgree(double dayNumber) {
  long from = 0, to = 0;
  julianDayNumber(1901, 1, 1, from);
  julianDayNumber(2100, 12, 31, to);
  return dayNumber >= static_cast<double>(from) && dayNumber <= static_cast<double>(to);
}

std::string encodeDateKey(std::string_view digits, DayNumbers kind) {
  int v[3] = {0, 0, 0};
  const int widths[3] = {4, 2, 2};
  bool ok = digits.size() == 8;
  for (int part = 0, pos = 0; ok && part < 3; pos += widths[part++])
    for (int i = 0; i < widths[part]; ++i) {
      char c = digits[pos + i];
      if (c < '0' || c > '9') { ok = false; break; }
      v[part] = v[part] * 10 + (c - '0');
    }
  long days = 0;
  if (ok) ok = kind == DayNumbers::Julian ? julianDayNumber(v[0], v[1], v[2], days) : dayNumber(v[0], v[1], v[2], days);
  if (!ok) return encodeNumberKey(0.0);
  return encodeNumberKey(static_cast<double>(days));
}

std::string encodeTextKey(std::string_view text, int length) {
  std::string out(text.substr(0, static_cast<std::size_t>(length)));
  out.resize(static_cast<std::size_t>(length), ' ');
  return out;
}

}  // namespace dbf
