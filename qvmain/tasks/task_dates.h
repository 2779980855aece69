// Day numbers and times of the task records as Qt dates and times, and the
// texts the task windows show for them.
#pragma once

#include <QDate>
#include <QString>
#include <QTime>
#include <cstdint>
#include <functional>

#include "tasks/task_clock.h"

namespace qvm {

QDate qDateOf(int32_t day);     // invalid for 0
int32_t dayOf(const QDate& d);  // 0 for an invalid date
QTime qTimeOf(int32_t time);    // invalid for 0
int32_t timeOf(const QTime& t); // 0 for an invalid time
// The date and time in the user's formats, "" when the date is 0.
QString whenText(int32_t day, int32_t time);

// The moment the task monitor, the start dialog and the task run take: the
// system clock unless a test sets another.
qv::TaskClock taskNow();
void setTaskClock(std::function<qv::TaskClock()> clock);

}  // namespace qvm
