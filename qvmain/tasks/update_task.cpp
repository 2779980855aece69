#include "tasks/update_task.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "services/datetime.h"
#include "services/globals.h"
#include "tasks/definition_edit.h"
#include "tasks/task_dates.h"
#include "tasks/task_schedule.h"

namespace qvm {

namespace {

const char* const kWeekdayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kCleanupNames[4] = {"Merge duplicates", "Purge messages", "Count messages", "Index words"};

QString titleOf(int request) {
  switch (request) {
    case TaskFormAdd: return QStringLiteral(" Add New Task");
    case TaskFormUpdate: return QStringLiteral(" Update Task");
    default: return QStringLiteral(" Delete Task");
  }
}

bool sameRepeat(const qv::TasksRec& a, const qv::TasksRec& b) {
  return a.DAYS == b.DAYS && a.MONTHDAYS == b.MONTHDAYS && a.RUNNEXTTIME == b.RUNNEXTTIME;
}

}  // namespace

UpdateTask::UpdateTask(int request, const qv::TaskEdit& task, QWidget* parent)
    : QDialog(parent), request_(request), edit_(task) {
  setWindowTitle(titleOf(request));
  const qv::TasksRec& t = task.task;
  const bool del = request == TaskFormDelete;
  name_ = new QLineEdit(QString::fromStdString(t.DESCRIPTION.str()), this);
  name_->setMaxLength(50);
  name_->setMinimumWidth(300);
  active_ = new QCheckBox(QStringLiteral("Task is active"), this);
  active_->setChecked(request == TaskFormAdd || t.ACTIVE);

  auto* onceBox = new QGroupBox(QStringLiteral(" Run once "), this);
  once_ = new QCheckBox(QStringLiteral("Run on"), onceBox);
  onceDate_ = new QDateEdit(onceBox);
  onceDate_->setCalendarPopup(true);
  onceTime_ = new QTimeEdit(onceBox);
  onceTime_->setDisplayFormat(QStringLiteral("HH:mm"));
  bool hasOnce = t.RUNNOWDATE != 0 && t.RUNNOWTIME != 0;
  once_->setChecked(hasOnce);
  onceDate_->setDate(hasOnce ? qDateOf(t.RUNNOWDATE) : QDate::currentDate().addDays(1));
  onceTime_->setTime(hasOnce ? qTimeOf(t.RUNNOWTIME) : QTime(3, 0));
  auto* onceRow = new QHBoxLayout(onceBox);
  onceRow->addWidget(once_);
  onceRow->addWidget(onceDate_);
  onceRow->addWidget(onceTime_);
  onceRow->addStretch();

  auto* repeatBox = new QGroupBox(QStringLiteral(" Repeat "), this);
  auto* grid = new QGridLayout(repeatBox);
  grid->addWidget(new QLabel(QStringLiteral("Weekdays:"), repeatBox), 0, 0);
  for (int i = 0; i < 7; ++i) {
    auto* b = new QCheckBox(QString::fromLatin1(kWeekdayNames[i]), repeatBox);
    b->setChecked(t.DAYS[size_t(i)] != 0);
    weekdays_.append(b);
    grid->addWidget(b, 0, i + 1);
  }
  grid->addWidget(new QLabel(QStringLiteral("Days of the month:"), repeatBox), 1, 0);
  for (int i = 0; i < 5; ++i) {
    auto* s = new QSpinBox(repeatBox);
    s->setRange(0, 31);
    s->setSpecialValueText(QStringLiteral("-"));
    s->setValue(t.MONTHDAYS[size_t(i)]);
    monthDays_.append(s);
    grid->addWidget(s, 1, i + 1);
  }
  grid->addWidget(new QLabel(QStringLiteral("Time of day:"), repeatBox), 2, 0);
  repeatTime_ = new QTimeEdit(repeatBox);
  repeatTime_->setDisplayFormat(QStringLiteral("HH:mm"));
  repeatTime_->setTime(t.RUNNEXTTIME ? qTimeOf(t.RUNNEXTTIME) : QTime(3, 0));
  grid->addWidget(repeatTime_, 2, 1, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("Next run:"), repeatBox), 3, 0);
  nextRun_ = new QLabel(repeatBox);
  grid->addWidget(nextRun_, 3, 1, 1, 6);

  auto* cleanBox = new QGroupBox(QStringLiteral(" After the imports "), this);
  auto* cleanRow = new QHBoxLayout(cleanBox);
  const uint8_t flags[4] = {t.DODUPELIM, t.DOPURGE, t.DOCOUNT, t.DOINDEX};
  for (int i = 0; i < 4; ++i) {
    auto* b = new QCheckBox(QString::fromLatin1(kCleanupNames[i]), cleanBox);
    b->setChecked(flags[i] != 0);
    cleanup_.append(b);
    cleanRow->addWidget(b);
  }
  cleanup_.back()->setToolTip(
      QStringLiteral("Only databases whose automatic word indexing is on (Word Index Status) are indexed"));

  definitions_ = new QListWidget(this);
  definitions_->setMinimumHeight(110);
  for (const qv::ImportDefinition& d : qv::ListImportDefinitions()) {
    auto* it = new QListWidgetItem(QString::fromStdString(d.description), definitions_);
    it->setData(Qt::UserRole, d.id);
    bool linked = std::find(task.definitions.begin(), task.definitions.end(), d.id) != task.definitions.end();
    it->setCheckState(linked ? Qt::Checked : Qt::Unchecked);
  }

  lastRun_ = new QLabel(t.LASTRUNDATE ? whenText(t.LASTRUNDATE, t.LASTRUNTIME) : QStringLiteral("never"), this);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Task name:"), name_);
  form->addRow(QString(), active_);
  form->addRow(QStringLiteral("Last run:"), lastRun_);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(del ? QStringLiteral(" Confirm deletion of Task") : QStringLiteral("&Save"),
                                       QDialogButtonBox::AcceptRole);
  ok->setDefault(true);
  buttons->addButton(QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &UpdateTask::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(onceBox);
  layout->addWidget(repeatBox);
  layout->addWidget(cleanBox);
  layout->addWidget(new QLabel(QStringLiteral("Import procedures the task runs:"), this));
  layout->addWidget(definitions_);
  layout->addWidget(buttons);

  for (QWidget* w : findChildren<QWidget*>())
    if (w != buttons && !buttons->isAncestorOf(w) && !qobject_cast<QLabel*>(w) && !qobject_cast<QGroupBox*>(w))
      w->setEnabled(!del);
  for (QCheckBox* b : weekdays_) connect(b, &QCheckBox::toggled, this, &UpdateTask::showNextRun);
  for (QSpinBox* s : monthDays_) connect(s, &QSpinBox::valueChanged, this, &UpdateTask::showNextRun);
  connect(repeatTime_, &QTimeEdit::timeChanged, this, &UpdateTask::showNextRun);
  showNextRun();
  qv::GlobalResponse = 0;
}

qv::TaskEdit UpdateTask::edited() const {
  qv::TaskEdit e = edit_;
  qv::TasksRec& t = e.task;
  t.DESCRIPTION = name_->text().trimmed().toStdString();
  t.ACTIVE = active_->isChecked() ? 1 : 0;
  t.RUNNOWDATE = once_->isChecked() ? dayOf(onceDate_->date()) : 0;
  t.RUNNOWTIME = once_->isChecked() ? timeOf(onceTime_->time()) : 0;
  for (int i = 0; i < 7; ++i) t.DAYS[size_t(i)] = weekdays_[i]->isChecked() ? 1 : 0;
  for (int i = 0; i < 5; ++i) t.MONTHDAYS[size_t(i)] = uint8_t(monthDays_[i]->value());
  t.RUNNEXTTIME = qv::hasRepeatDays(t) ? timeOf(repeatTime_->time()) : edit_.task.RUNNEXTTIME;
  // Changed repeat days or time: the next run is worked out again from them.
  if (!sameRepeat(t, edit_.task)) t.RUNNEXTDATE = 0;
  if (!qv::hasRepeatDays(t) && !qv::hasRepeatDays(edit_.task)) t.RUNNEXTDATE = edit_.task.RUNNEXTDATE;
  uint8_t* flags[4] = {&t.DODUPELIM, &t.DOPURGE, &t.DOCOUNT, &t.DOINDEX};
  for (int i = 0; i < 4; ++i) *flags[i] = cleanup_[i]->isChecked() ? 1 : 0;
  e.definitions.clear();
  for (int i = 0; i < definitions_->count(); ++i)
    if (definitions_->item(i)->checkState() == Qt::Checked)
      e.definitions.push_back(definitions_->item(i)->data(Qt::UserRole).toUInt());
  return e;
}

void UpdateTask::showNextRun() {
  qv::TaskEdit e = edited();
  int32_t date = e.task.RUNNEXTDATE;
  if (date == 0 && qv::hasRepeatDays(e.task)) date = qv::FirstRepeatDate(e.task, qv::today(), qv::clockNow());
  nextRun_->setText(date ? whenText(date, e.task.RUNNEXTTIME) : QStringLiteral("-"));
}

void UpdateTask::accept() {
  bool ok;
  if (request_ == TaskFormDelete) {
    ok = qv::DeleteTask(edit_.task.ID);
  } else {
    qv::TaskEdit e = edited();
    if (e.task.DESCRIPTION.str().empty()) {
      name_->setFocus();
      return;
    }
    if (request_ == TaskFormAdd) {
      e.task.ID = qv::AddTask(e);
      ok = e.task.ID != 0;
    } else {
      ok = qv::UpdateTask(e);
    }
    if (ok) edit_ = e;
  }
  if (!ok) return;
  qv::GlobalResponse = 1;
  QDialog::accept();
}

}  // namespace qvm
