#include "tasks/task_dates.h"

#include "services/datetime.h"
#include "services/settings.h"
#include "services/settings_items.h"

namespace qvm {

QDate qDateOf(int32_t day) {
  if (day <= 0) return QDate();
  int y = 0, m = 0, d = 0;
  qv::ymdFromDate(day, y, m, d);
  return QDate(y, m, d);
}

namespace {
std::function<qv::TaskClock()>& clockSource() {
  static std::function<qv::TaskClock()> clock;
  return clock;
}
}  // namespace

qv::TaskClock taskNow() { return clockSource() ? clockSource()() : qv::systemClock(); }
void setTaskClock(std::function<qv::TaskClock()> clock) { clockSource() = std::move(clock); }

int32_t dayOf(const QDate& d) { return d.isValid() ? qv::dateFromYMD(d.year(), d.month(), d.day()) : 0; }

QTime qTimeOf(int32_t time) {
  if (time <= 0) return QTime();
  int h = 0, m = 0, s = 0;
  qv::hmsFromTime(time, h, m, s);
  return QTime(h, m, s);
}

int32_t timeOf(const QTime& t) { return t.isValid() ? qv::timeFromHMS(t.hour(), t.minute(), t.second()) : 0; }

QString whenText(int32_t day, int32_t time) {
  if (day <= 0) return QString();
  QString text = QString::fromStdString(qv::formatDate(day, int(qv::KonfigGet(qv::ItemDateFormat))));
  if (time > 0) text += QLatin1Char(' ') + QString::fromStdString(qv::formatTime(time, int(qv::KonfigGet(qv::ItemTimeFormat))));
  return text;
}

}  // namespace qvm
