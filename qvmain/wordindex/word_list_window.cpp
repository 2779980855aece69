#include "wordindex/word_list_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeView>
#include <QVBoxLayout>

#include "frame/icons.h"
#include "frame/window_host.h"
#include "help/help_window.h"
#include "services/active_database.h"
#include "persons/lookup_sources.h"
#include "services/lookup_walk.h"
#include "services/globals.h"
#include "services/menu_texts.h"
#include "services/prompt.h"
#include "window_registry/window_registry.h"
#include "wordindex/word_marks.h"

namespace qvm {

namespace {

const QString kWordListThread = QStringLiteral("WordList");
enum WordOrder : int { OrderByWord = 0, OrderByCount = 1 };
enum WordColumn : int { ColumnWord, ColumnCount, ColumnMark };
const QString kMarked = QStringLiteral("remove");

LookupDef wordListDef(const qv::WordMarks* marks) {
  LookupDef s;
  s.title = QStringLiteral(" Word List [");
  s.columns = {QStringLiteral("Word"), QStringLiteral("Messages"), QStringLiteral("Marked")};
  s.widths = {260, 80, 70};
  s.numberColumns = {ColumnCount};
  s.orders = {QStringLiteral("Sort alphabetically by word"), QStringLiteral("Sort by number of related messages")};
  s.slot = SlotWordList;
  s.listSlot = ListWordList;
  s.adjust = [marks](LookupRow& r) {
    const bool marked = marks->count(int32_t(r.id)) > 0;
    r.texts.append(marked ? kMarked : QString());
    r.status = marked ? 2 : 0;  // drawn in the colour of things to delete
  };
  return s;
}

}  // namespace

BrowseWordList::BrowseWordList(QWidget* parent) : QWidget(parent), def_(wordListDef(&marks_)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowIcon(systemIcon(QStringLiteral("KONTROLL")));
  // A count order an interrupted run left stale is made again first.
  if (!qv::refreshWordCountOrder())
    qv::Message("The list of words by number of messages could not be rebuilt.", "Word List", qv::Icon::Exclamation);
  marks_ = loaded_ = qv::loadWordMarks();
  // The walk holds the word list open for as long as the window lives.
  def_.walk = qv::wordWalk();
  setWindowTitle(def_.title + QString::fromStdString(qv::activeDescription()).trimmed() + QStringLiteral("]"));

  auto* explanation = new QLabel(QString::fromStdString(qv::GetMenuText(qv::kMenuWordList)), this);
  explanation->setWordWrap(true);
  orderBox_ = new QComboBox(this);
  orderBox_->addItems(def_.orders);
  model_ = new LookupModel(def_, this);
  view_ = makeLookupView(this, model_, def_, this, [this] { toggleMark(); });
  connect(orderBox_, &QComboBox::currentIndexChanged, this, &BrowseWordList::setOrder);

  mark_ = new QPushButton(QStringLiteral("&Mark"), this);
  mark_->setToolTip(QStringLiteral("Mark highlighted word for deletion"));
  // An indexing run owns the marks while it lasts.
  mark_->setEnabled(qv::IndexingInProgress == 0);
  connect(mark_, &QPushButton::clicked, this, &BrowseWordList::toggleMark);
  auto* close = new QPushButton(QStringLiteral("&Close"), this);
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(helpButton(this, QStringLiteral("~Word_list")));
  buttons->addStretch();
  buttons->addWidget(mark_);
  buttons->addWidget(close);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(explanation);
  layout->addWidget(orderBox_);
  layout->addWidget(view_);
  layout->addLayout(buttons);
  TmCreate(this, kWordListThread, kNotToolsGroup);
  showAt(model_->loadAtStart());
}

BrowseWordList::~BrowseWordList() {
  saveMarks();
}

// The marks go back to PurgeList once, when the window goes, and only when
// they changed.
void BrowseWordList::saveMarks() {
  if (saved_) return;
  saved_ = true;
  if (marks_ != loaded_ && !qv::saveWordMarks(marks_))
    qv::Message("The marks for removal could not be saved.", "Word List", qv::Icon::Exclamation);
}

uint32_t BrowseWordList::currentId() const {
  const LookupRow* r = model_->rowAt(view_->currentIndex().row());
  return r ? r->id : 0;
}

QString BrowseWordList::currentWord() const {
  const LookupRow* r = model_->rowAt(view_->currentIndex().row());
  return r ? r->texts.value(ColumnWord) : QString();
}

void BrowseWordList::showAt(int row) { showLookupRow(view_, model_, row); }

void BrowseWordList::showWord(const QString& word) {
  int row = model_->order() == OrderByWord ? model_->loadAtText(word) : -1;
  if (model_->order() != OrderByWord) {
    int32_t id = qv::wordIdOf(word.toStdString());
    row = id != 0 ? model_->loadAtId(uint32_t(id)) : -1;
  }
  showAt(row);
}


void BrowseWordList::setOrder(int order) {
  if (orderBox_->currentIndex() != order) orderBox_->setCurrentIndex(order);  // comes back here
  if (model_->order() == order) return;
  uint32_t id = currentId();
  model_->setOrder(order);
  int row = id != 0 ? model_->loadAtId(id) : -1;
  if (row < 0) row = model_->loadAtStart();
  showAt(row);
}

void BrowseWordList::toggleMark() {
  uint32_t id = currentId();
  if (id == 0 || !mark_->isEnabled()) return;
  if (!marks_.erase(int32_t(id))) marks_.insert(int32_t(id));
  model_->refreshRow(view_->currentIndex().row());
}

void BrowseWordList::closeEvent(QCloseEvent* e) {
  saveMarks();
  e->accept();
}

bool BrowseWordList::eventFilter(QObject* watched, QEvent* e) {
  if (watched == view_ && e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->key() == Qt::Key_Space || k->key() == Qt::Key_Delete) {
      toggleMark();
      return true;
    }
    if (lookupNavigationKey(k, view_, model_, nullptr)) return true;
  }
  return QWidget::eventFilter(watched, e);
}

void openBrowseWordList() { showProcedureWindow(new BrowseWordList, SlotWordList, Geometry::PositionAndSize); }

}  // namespace qvm
