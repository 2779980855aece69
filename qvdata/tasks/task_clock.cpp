#include "tasks/task_clock.h"

#include "services/datetime.h"

namespace qv {

TaskClock systemClock() { return TaskClock{today(), clockNow()}; }

TaskClock clockAfter(const TaskClock& from, int64_t hundredths) {
  // Times count from 1 (midnight); 0 (no time) is taken as midnight.
  int64_t t = (from.time > 0 ? from.time - 1 : 0) + hundredths;
  int64_t days = t / kHundredthsPerDay;
  t %= kHundredthsPerDay;
  return TaskClock{int32_t(from.date + days), int32_t(t + 1)};
}

bool clockBefore(const TaskClock& a, const TaskClock& b) {
  if (a.date != b.date) return a.date < b.date;
  return (a.time > 0 ? a.time : 1) < (b.time > 0 ? b.time : 1);
}

}  // namespace qv
