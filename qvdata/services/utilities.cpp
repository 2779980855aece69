#include "services/utilities.h"

#include <array>

#include "services/datetime.h"
#include "services/settings.h"
#include "services/settings_items.h"

namespace qv {

namespace {
struct Watch {
  int32_t date = 0;
  int32_t time = 0;
};
std::array<Watch, 21> watches;
int32_t lastKeyTime = -1;
}  // namespace

int64_t StartStopAt(int op, int slot, int32_t date, int32_t time) {
  if (op == 0) {
    watches.fill(Watch{});
    return 0;
  }
  if (slot < 1 || slot > 20) return 0;
  Watch& w = watches[slot];
  if (op == 1) {
    w.date = date;
    w.time = time;
    return 0;
  }
  if (op != 2) return 0;
  int64_t days = int64_t(date) - w.date;
  int64_t d = int64_t(time) - w.time;
  if (days <= 0) return d / 100;
  if (days == 1) return (d + kHundredthsPerDay) / 100;
  return (d + kHundredthsPerDay) / 100 + ((days - 1) * kHundredthsPerDay) / 100;
}

int64_t StartStop(int op, int slot) { return StartStopAt(op, slot, today(), clockNow()); }

void CalcMax(int64_t count, int64_t& steps, int16_t& stepSize) {
  if (count < 0) count = 0;
  int64_t n = count / 32767;
  if (n < 1) n = 1;
  while (count / n > 32767) ++n;
  steps = n;
  stepSize = int16_t(count / n);
}

bool IncrementStep(std::string& text, char32_t key, int32_t now) {
  bool letter = (key >= U'a' && key <= U'z') || (key >= U'A' && key <= U'Z') || (key >= 0xC0 && key <= 0xFF && key != 0xD7 && key != 0xF7);
  bool digit = key >= U'0' && key <= U'9';
  bool blank = key == U' ';
  bool back = key == U'\b';
  if (!letter && !digit && !blank && !back) return false;
  int64_t pause = 15;
  int64_t setting = KonfigGet(ItemTypeAheadPause);
  if (setting > 0 && setting <= 35) pause = setting;
  bool soon = lastKeyTime >= 0 && now >= lastKeyTime && now - lastKeyTime <= pause * 10;
  lastKeyTime = now;
  if (back) {
    if (soon && !text.empty()) {
      // Remove the last character (UTF-8 aware).
      size_t n = text.size() - 1;
      while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
      text.erase(n);
    }
    return true;
  }
  if (!soon) text.clear();
  std::string ch;
  if (key < 0x80) {
    ch = char(key);
  } else {
    ch += char(0xC0 | (key >> 6));
    ch += char(0x80 | (key & 0x3F));
  }
  // At most 10 characters.
  size_t chars = 0;
  for (unsigned char c : text)
    if ((c & 0xC0) != 0x80) ++chars;
  if (chars < 10) text += ch;
  return true;
}

}  // namespace qv
