// Field values as text, the way readers of the tables show them.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "driver/field_map.h"

namespace dbf {

namespace {

constexpr int64_t kMsPerDay = 86400000;
constexpr double kCurrencyScale = 10000.0;

uint64_t le(const char* p, size_t n) {
  uint64_t v = 0;
  for (size_t i = 0; i < n; ++i) v |= uint64_t(uint8_t(p[i])) << (8 * i);
  return v;
}
uint64_t be(const char* p, size_t n) {
  uint64_t v = 0;
  for (size_t i = 0; i < n; ++i) v = v << 8 | uint8_t(p[i]);
  return v;
}

std::string number(double v) {
  char buf[64];
  if (std::fabs(v) < 1e15 && v == std::floor(v)) std::snprintf(buf, sizeof buf, "%.0f", v);
  else std::snprintf(buf, sizeof buf, "%.15g", v);
  return buf;
}

// Civil date of a Julian day number.
std::string julianDate(int64_t jd) {
  int64_t a = jd + 32044, b = (4 * a + 3) / 146097, c = a - 146097 * b / 4;
  int64_t d = (4 * c + 3) / 1461, e = c - 1461 * d / 4, m = (5 * e + 2) / 153;
  int64_t day = e - (153 * m + 2) / 5 + 1, month = m + 3 - 12 * (m / 10), year = 100 * b + d - 4800 + m / 10;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04lld%02lld%02lld", (long long)year, (long long)month, (long long)day);
  return buf;
}

std::string timeOfDay(int64_t ms) {
  char buf[64];
  int64_t s = ms / 1000;
  std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld", (long long)(s / 3600), (long long)(s / 60 % 60),
                (long long)(s % 60));
  return buf;
}

std::string hex(const char* p, size_t n) {
  std::string out;
  char buf[4];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(buf, sizeof buf, "%02X", uint8_t(p[i]));
    out += buf;
  }
  return out;
}

bool visualFoxPro(const TableInfo& info) { return info.version == 0x30 || info.version == 0x31 || info.version == 0x32; }

}  // namespace

std::string fieldText(const TableInfo& info, const FieldDef& f, const char* p, bool& isMemo, uint32_t& block) {
  isMemo = false;
  block = 0;
  size_t n = f.length;
  if (n == 0) return {};
  switch (f.type) {
    case 'C': {
      // writers that pad with NULs mean the text before the first one
      const void* nul = std::memchr(p, '\0', n);
      if (nul) n = size_t(static_cast<const char*>(nul) - p);
      while (n > 0 && p[n - 1] == ' ') --n;
      return std::string(p, n);
    }
    case 'N':
    case 'F': {
      double v = 0;
      return parseNumber(p, n, v) ? number(v) : std::string();
    }
    case 'D': {
      std::string s(p, n);
      if (s.find_first_not_of(" 0") == std::string::npos) return {};
      return s;
    }
    case 'L': {
      char c = p[0];
      if (c == 'T' || c == 't' || c == 'Y' || c == 'y') return "T";
      if (c == 'F' || c == 'f' || c == 'N' || c == 'n') return "F";
      return {};
    }
    case 'I':
      if (n != 4) break;
      if (info.version == 0x04 || info.version == 0x8C)  // dBASE 7: big-endian, sign bit flipped
        return number(double(int32_t(uint32_t(be(p, 4)) ^ 0x80000000u)));
      return number(double(int32_t(uint32_t(le(p, 4)))));
    case '+':
      if (n != 4) break;
      return number(double(int32_t(uint32_t(be(p, 4)) ^ 0x80000000u)));
    case 'Y':
      if (n != 8) break;
      {
        char buf[48];
        std::snprintf(buf, sizeof buf, "%.4f", double(int64_t(le(p, 8))) / kCurrencyScale);
        return buf;
      }
    case 'B':
      if (visualFoxPro(info) && n == 8) {
        uint64_t bits = le(p, 8);
        double v;
        std::memcpy(&v, &bits, 8);
        return number(v);
      }
      [[fallthrough]];
    case 'M':
    case 'G':
    case 'P':
    case 'W': {
      isMemo = true;
      if (n == 4) {
        block = uint32_t(le(p, 4));
      } else {
        double v = 0;
        block = parseNumber(p, n, v) && v > 0 && v <= double(UINT32_MAX) ? uint32_t(v) : 0;
      }
      return block ? std::to_string(block) : std::string();
    }
    case 'O': {
      if (n != 8) break;
      uint64_t bits = be(p, 8);
      // dBASE 7 doubles: sign bit flipped for positives, all bits for negatives
      bits = (bits & 0x8000000000000000ull) ? bits ^ 0x8000000000000000ull : ~bits;
      double v;
      std::memcpy(&v, &bits, 8);
      return number(v);
    }
    case 'T':
    case '@': {
      if (n != 8) break;
      if (f.type == 'T') {
        int64_t jd = int64_t(uint32_t(le(p, 4)));
        if (jd == 0) return {};
        return julianDate(jd) + " " + timeOfDay(int64_t(uint32_t(le(p + 4, 4))));
      }
      uint64_t bits = be(p, 8);
      bits = (bits & 0x8000000000000000ull) ? bits ^ 0x8000000000000000ull : ~bits;
      double ms;
      std::memcpy(&ms, &bits, 8);
      if (ms == 0) return {};
      if (!(ms > 0 && ms < 1e17)) break;  // no time a writer could mean
      // milliseconds since 1 January 4713 BC (the Julian day count)
      int64_t total = int64_t(ms);
      int64_t jd = total / kMsPerDay;
      return julianDate(jd) + " " + timeOfDay(total % kMsPerDay);
    }
    default:
      break;
  }
  return hex(p, n);
}

}  // namespace dbf
