// Stopwatches, progress-bar scaling and type-ahead for lists.
#pragma once

#include <cstdint>
#include <string>

namespace qv {

// 20 stopwatches (slots 1..20). Operation 0 clears all, 1 starts a slot,
// 2 stops it and returns the elapsed whole seconds.
int64_t StartStop(int op, int slot);
// The same with the clock and date given, for callers that keep their own time.
int64_t StartStopAt(int op, int slot, int32_t date, int32_t time);

// Smallest n >= 1 with count / n <= 32767: n steps of count / n each.
void CalcMax(int64_t count, int64_t& steps, int16_t& stepSize);

// Type-ahead: a key typed soon enough after the previous one is appended to
// the search text (at most 10 characters); after a longer pause the text
// starts again with the key. Returns true when the key was taken. `now` is a
// time in hundredths of a second.
bool IncrementStep(std::string& text, char32_t key, int32_t now);

}  // namespace qv
