// The moment the scheduling rules look at: a day number and a time of day
// (services/datetime.h). The rules never read the wall clock themselves;
// their callers pass it in, and tests pass the moment they need.
#pragma once

#include <cstdint>

namespace qv {

struct TaskClock {
  int32_t date = 0;  // day number (0 none)
  int32_t time = 0;  // hundredths of a second since midnight plus one (0 none)
};

// The local date and time of day now.
TaskClock systemClock();

// Hundredths of a second in an hour, as postponing counts them.
inline constexpr int32_t kHundredthsPerHour = 360000;

// The moment `hundredths` after `from` (carried over midnight).
TaskClock clockAfter(const TaskClock& from, int64_t hundredths);

// True when a is earlier than b (a time of 0 counts as midnight).
bool clockBefore(const TaskClock& a, const TaskClock& b);

}  // namespace qv
