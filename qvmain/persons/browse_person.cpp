#include "persons/browse_person.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTreeView>
#include <QVBoxLayout>

#include "browse/browse_kinds.h"
#include "events.h"
#include "frame/procedures.h"
#include "frame/window_host.h"
#include "help/help_window.h"
#include "persons/person_aliases.h"
#include "persons/person_list.h"
#include "persons/person_messages.h"
#include "persons/person_names.h"
#include "persons/person_windows.h"
#include "persons/show_alias.h"
#include "persons/update_person.h"
#include "services/active_database.h"
#include "services/db_kind.h"
#include "services/prompt.h"
#include "services/utilities.h"
#include "window_registry/window_registry.h"
#include "persons/lookup_sources.h"

namespace qvm {

namespace {

constexpr int kNameWidth = 35;

LookupDef personListDef() {
  LookupDef d;
  d.columns = {QStringLiteral("Name"), QStringLiteral("Address"), QStringLiteral("Msg Sent"),
               QStringLiteral("Msg Rec.")};
  d.widths = {220, 260, 70, 70};
  d.numberColumns = {2, 3};
  d.cuts = {kNameWidth};
  d.listSlot = ListBrowsePerson;
  d.walk = qv::personListWalk();
  return d;
}

}  // namespace

// ---- the list's rows

Qt::ItemFlags PersonListModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags f = LookupModel::flags(index);
  return index.isValid() ? f | Qt::ItemIsDragEnabled : f;
}

QStringList PersonListModel::mimeTypes() const { return {kPersonMimeType}; }

QMimeData* PersonListModel::mimeData(const QModelIndexList& indexes) const {
  for (const QModelIndex& i : indexes)
    if (const LookupRow* r = rowAt(i.row())) return personMimeData(r->id);
  return nullptr;
}

// ---- the window

BrowsePerson::BrowsePerson(QWidget* parent) : QWidget(parent), kind_(qv::activeKind()) {
  setAttribute(Qt::WA_DeleteOnClose);
  const QString help = QString::fromLatin1(qv::personListHelp(kind_));
  setProperty("helpTopic", help);
  def_ = personListDef();

  model_ = new PersonListModel(def_, this);
  view_ = makeLookupView(this, model_, def_, this, [this] { updatePerson(); });
  view_->setDragEnabled(true);
  view_->setDragDropMode(QAbstractItemView::DragOnly);
  view_->setToolTip(QStringLiteral("Drag a person onto the merge window, or press Insert to add it there"));

  byName_ = new QRadioButton(QStringLiteral("By Last&Name"), this);
  byName_->setToolTip(QStringLiteral("Sort by lastname"));
  byAddress_ = new QRadioButton(QStringLiteral("By &Address"), this);
  byAddress_->setToolTip(QStringLiteral("Sort by CIS adress"));
  byName_->setChecked(true);
  connect(byName_, &QRadioButton::toggled, this, [this](bool on) {
    if (on) reorder(qv::PersonByName);
  });
  connect(byAddress_, &QRadioButton::toggled, this, [this](bool on) {
    if (on) reorder(qv::PersonByAddress);
  });

  alias_ = new QPushButton(QStringLiteral("Show &Alias"), this);
  alias_->setToolTip(QStringLiteral("Show related alias addresses"));
  merge_ = new QPushButton(QStringLiteral("&Merge"), this);
  merge_->setToolTip(QStringLiteral("Open merge duplicates window"));
  show_ = new QPushButton(QStringLiteral("&Show msg"), this);
  show_->setToolTip(QStringLiteral("Show messages for this sender"));
  update_ = new QPushButton(QStringLiteral("&Update"), this);
  update_->setToolTip(QStringLiteral("Change first and last name"));
  connect(alias_, &QPushButton::clicked, this, &BrowsePerson::showAliases);
  connect(merge_, &QPushButton::clicked, this, &BrowsePerson::openMerge);
  connect(show_, &QPushButton::clicked, this, &BrowsePerson::showMessages);
  connect(update_, &QPushButton::clicked, this, &BrowsePerson::updatePerson);

  auto* top = new QHBoxLayout;
  top->addWidget(byName_);
  top->addWidget(byAddress_);
  top->addStretch();
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(alias_);
  buttons->addWidget(merge_);
  buttons->addWidget(show_);
  buttons->addWidget(update_);
  buttons->addStretch();
  buttons->addWidget(helpButton(this, help));
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(view_);
  layout->addLayout(buttons);

  TmCreate(this, kBrowsePersonThread, kNotToolsGroup);
  showAt(model_->loadAtStart());
  retitle();
  updateButtons();
  view_->setFocus();
}

BrowsePerson::~BrowsePerson() = default;

void BrowsePerson::retitle() {
  std::string title = std::string(qv::trimRight(qv::activeDescription())) + " " + qv::personListTitle(kind_) +
                      std::to_string(model_->records()) + "]";
  setWindowTitle(QString::fromStdString(title));
}

uint32_t BrowsePerson::currentId() const {
  const LookupRow* r = model_->rowAt(view_->currentIndex().row());
  return r ? r->id : 0;
}

bool BrowsePerson::showPerson(uint32_t id) {
  int row = model_->loadAtId(id);
  if (row < 0) return false;
  showAt(row);
  return true;
}

void BrowsePerson::reload() {
  uint32_t id = currentId();
  int row = id != 0 ? model_->loadAtId(id) : -1;
  if (row < 0) row = model_->loadAtStart();
  showAt(row);
  retitle();
  updateButtons();
}

void BrowsePerson::updateButtons() { update_->setEnabled(model_->rowCount() > 0); }

void BrowsePerson::showAt(int row) { showLookupRow(view_, model_, row); }
void BrowsePerson::reorder(int order) { reorderLookup(view_, model_, order, currentId()); }

void BrowsePerson::showAliases() {
  qv::AliasList aliases;
  if (!qv::buildAliasList(currentId(), aliases) || aliases.entries.empty()) {
    qv::Beep();
    return;
  }
  openShowAlias(std::move(aliases));
}

void BrowsePerson::openMerge() { startProcedure(kMergePersonsThread); }

void BrowsePerson::showMessages() {
  uint32_t id = currentId();
  qv::PersonRow person;
  if (!qv::readPersonRow(id, person)) {
    qv::Beep();
    return;
  }
  if (qv::preparePersonMessages(id) == 0) {
    qv::Message("No messages from address " + std::string(qv::trimRight(person.address)), "Warning!",
                qv::Icon::Exclamation);
    return;
  }
  const QString browser = browseThreadName(kind_);
  if (TmGetId(browser) == 0) {
    // The browser opens on its own view and publishes it: the person's view
    // is written again for it to take.
    if (!startProcedure(browser)) return;
    qv::preparePersonMessages(id);
  }
  postToThread(browser, EvJumpFromTree);
  postToThread(browser, EvBrowseToFront);
}

void BrowsePerson::updatePerson() {
  uint32_t id = currentId();
  if (id == 0) return;
  openUpdatePerson(this, id, [this] {
    reload();
    postToThread(browseThreadName(kind_), EvToolsEnded);
  });
}

bool BrowsePerson::event(QEvent* e) {
  const QvEvent* ev = privateEvent(e);
  // 1351 after a merge; 1330 after a count, purge or duplicate run changed persons.
  if (ev && (ev->number() == EvPersonsChanged || ev->number() == EvToolsEnded)) {
    reload();
    return true;
  }
  return QWidget::event(e);
}

bool BrowsePerson::eventFilter(QObject* watched, QEvent* e) {
  if (watched == view_ && e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    switch (k->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
        updatePerson();
        return true;
      case Qt::Key_Insert:
        // The keyboard's way of dragging a person onto the merge window.
        addPersonToMerge(currentId());
        return true;
      default:
        if (lookupNavigationKey(k, view_, model_, &typeAhead_)) return true;
        break;
    }
  }
  return QWidget::eventFilter(watched, e);
}

void openBrowsePerson() {
  if (!qv::hasActiveDatabase() || qv::activeKind() == qv::KindNoDb) return;
  showProcedureWindow(new BrowsePerson, SlotBrowsePerson);
}

}  // namespace qvm
