#include "wordindex/word_index_wizard.h"

#include <algorithm>

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "events.h"
#include "frame/icons.h"
#include "frame/window_host.h"
#include "help/help_window.h"
#include "services/active_database.h"
#include "services/menu_texts.h"
#include "services/prompt.h"
#include "window_registry/window_registry.h"
#include "wordindex/bar_lines.h"
#include "wordindex/word_table_page.h"
#include "wordindex/word_tables.h"

namespace qvm {

namespace {

const QString kSearchWzThread = QStringLiteral("SearchWz");
constexpr int kSetNameLength = 40;
constexpr int kPauseMin = 100;
constexpr int kPauseMax = 10000000;

const char* const kPageTitles[SearchWz::PageCount] = {"Indexing numbers",     "Footers of messages",
                                                      "Frequent words",       "Word characters",
                                                      "Word definition sets", "Search pause"};

QLabel* pageText(int text, QWidget* parent) {
  auto* l = new QLabel(QString::fromStdString(qv::GetMenuText(text)), parent);
  l->setWordWrap(true);
  return l;
}

}  // namespace

SearchWz::SearchWz(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral(" Word Index SetUp Wizard"));
  setWindowIcon(systemIcon(QStringLiteral("KONTROLL")));

  numbers_ = new QCheckBox(QStringLiteral("Index &numbers (words that begin with a digit)"), this);
  forumFooters_ = new QCheckBox(QStringLiteral("Index the footers of &forum messages"), this);
  newsFooters_ = new QCheckBox(QStringLiteral("Index the footers of &newsgroup messages"), this);
  frequent_[0] = new QCheckBox(QStringLiteral("&Forum databases"), this);
  frequent_[1] = new QCheckBox(QStringLiteral("&Mail databases"), this);
  frequent_[2] = new QCheckBox(QStringLiteral("&Newsgroup databases"), this);
  auto* frequentTitle = new QLabel(QStringLiteral("Move very frequent words to the stop list in:"), this);
  pause_ = new QSpinBox(this);
  pause_->setRange(kPauseMin, kPauseMax);
  pause_->setSingleStep(1000);
  pause_->setGroupSeparatorShown(true);
  auto* pauseRow = new QWidget(this);
  auto* pauseLayout = new QHBoxLayout(pauseRow);
  pauseLayout->setContentsMargins(0, 0, 0, 0);
  pauseLayout->addWidget(new QLabel(QStringLiteral("Index entries read before a search asks to go on:"), pauseRow));
  pauseLayout->addWidget(pause_);
  pauseLayout->addStretch();

  pages_ = new QStackedWidget(this);
  pages_->addWidget(switchPage(qv::kMenuWizardNumbers, {numbers_}));
  pages_->addWidget(switchPage(qv::kMenuWizardFooters, {forumFooters_, newsFooters_}));
  pages_->addWidget(switchPage(qv::kMenuWizardFrequent, {frequentTitle, frequent_[0], frequent_[1], frequent_[2]}));
  tables_ = new WordTablePage(this);
  pages_->addWidget(tables_);
  pages_->addWidget(setsPage());
  pages_->addWidget(switchPage(qv::kMenuWizardPause, {pauseRow}));
  pageTitle_ = new QLabel(this);
  QFont f = pageTitle_->font();
  f.setBold(true);
  pageTitle_->setFont(f);

  back_ = new QPushButton(QStringLiteral("< &Back"), this);
  back_->setToolTip(QStringLiteral("Go back to the previous page"));
  next_ = new QPushButton(QStringLiteral("&Next >"), this);
  next_->setToolTip(QStringLiteral("Proceed to the next page"));
  save_ = new QPushButton(QStringLiteral("&Save"), this);
  save_->setToolTip(QStringLiteral("Save the word index settings"));
  auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
  cancel->setToolTip(QStringLiteral("Close the wizard without saving"));
  connect(back_, &QPushButton::clicked, this, [this] { setPage(page() - 1); });
  connect(next_, &QPushButton::clicked, this, [this] { setPage(page() + 1); });
  connect(save_, &QPushButton::clicked, this, &SearchWz::save);
  connect(cancel, &QPushButton::clicked, this, &QWidget::close);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(helpButton(this, QStringLiteral("~Word_index_settings")));
  buttons->addStretch();
  for (QPushButton* b : {back_, next_, save_, cancel}) buttons->addWidget(b);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pageTitle_);
  layout->addWidget(pages_, 1);
  layout->addLayout(buttons);
  resize(560, 460);
  TmCreate(this, kSearchWzThread);

  readable_ = qv::readWordSettings(stored_);
  showSettings(stored_);
  save_->setEnabled(readable_);
  setPage(PageNumbers);
  if (!readable_) qv::Message("Unable to read configuration file.", "Config Problem", qv::Icon::Exclamation);
}

SearchWz::~SearchWz() { postToFrame(EvReevaluate); }

QWidget* SearchWz::switchPage(int text, std::initializer_list<QWidget*> boxes) {
  auto* page = new QWidget(this);
  auto* l = new QVBoxLayout(page);
  l->setContentsMargins(0, 0, 0, 0);
  l->addWidget(pageText(text, page));
  l->addSpacing(12);
  for (QWidget* w : boxes) l->addWidget(w);
  l->addStretch();
  return page;
}

QWidget* SearchWz::setsPage() {
  auto* page = new QWidget(this);
  sets_ = new QListWidget(page);
  setName_ = new QLineEdit(page);
  setName_->setMaxLength(kSetNameLength);
  setName_->setPlaceholderText(QStringLiteral("Name of a new set"));
  storeSet_ = new QPushButton(QStringLiteral("S&tore as set"), page);
  storeSet_->setToolTip(QStringLiteral("Keep the word characters as shown under this name"));
  useSet_ = new QPushButton(QStringLiteral("&Use set"), page);
  useSet_->setToolTip(QStringLiteral("Make the highlighted set your current word definition"));
  deleteSet_ = new QPushButton(QStringLiteral("&Delete set"), page);
  deleteSet_->setToolTip(QStringLiteral("Delete the highlighted set"));
  connect(storeSet_, &QPushButton::clicked, this, &SearchWz::storeSet);
  connect(useSet_, &QPushButton::clicked, this, &SearchWz::useSet);
  connect(deleteSet_, &QPushButton::clicked, this, &SearchWz::deleteSet);
  connect(sets_, &QListWidget::currentTextChanged, this, [this](const QString& t) {
    if (!t.isEmpty()) setName_->setText(t);
  });
  auto* row = new QHBoxLayout;
  row->addWidget(setName_, 1);
  row->addWidget(storeSet_);
  auto* side = new QVBoxLayout;
  side->addWidget(useSet_);
  side->addWidget(deleteSet_);
  side->addStretch();
  auto* listRow = new QHBoxLayout;
  listRow->addWidget(sets_, 1);
  listRow->addLayout(side);
  auto* l = new QVBoxLayout(page);
  l->setContentsMargins(0, 0, 0, 0);
  l->addWidget(pageText(qv::kMenuWizardSets, page));
  // The sets are kept with a database.
  if (qv::activeDatabaseId() == 0)
    l->addWidget(new QLabel(QStringLiteral("Open a database to keep word definition sets."), page));
  l->addLayout(listRow);
  l->addLayout(row);
  reloadSets();
  return page;
}

void SearchWz::reloadSets() {
  bool database = qv::activeDatabaseId() != 0;
  sets_->clear();
  if (database)
    for (const std::string& n : qv::wordSetNames()) sets_->addItem(QString::fromStdString(n));
  for (QWidget* w : std::initializer_list<QWidget*>{sets_, setName_, storeSet_}) w->setEnabled(database);
  useSet_->setEnabled(database && sets_->count() > 0);
  deleteSet_->setEnabled(database && sets_->count() > 0);
}

QString SearchWz::currentSet() const {
  QListWidgetItem* i = sets_->currentItem();
  return i ? i->text() : QString();
}

QCheckBox* SearchWz::frequentBox(int kind) const { return kind >= 1 && kind <= 3 ? frequent_[kind - 1] : nullptr; }

int SearchWz::page() const { return pages_->currentIndex(); }

void SearchWz::setPage(int p) {
  p = qBound(0, p, PageCount - 1);
  pages_->setCurrentIndex(p);
  pageTitle_->setText(QStringLiteral("%1 (step %2 of %3)").arg(QString::fromLatin1(kPageTitles[p])).arg(p + 1).arg(int(PageCount)));
  back_->setEnabled(p > 0);
  next_->setEnabled(p < PageCount - 1);
}

void SearchWz::showSettings(const qv::WordSettings& s) {
  numbers_->setChecked(s.indexNumbers != 0);
  forumFooters_->setChecked(s.forumFooters != 0);
  newsFooters_->setChecked(s.newsFooters != 0);
  frequent_[0]->setChecked(s.frequentForum != 0);
  frequent_[1]->setChecked(s.frequentMail != 0);
  frequent_[2]->setChecked(s.frequentNews != 0);
  pause_->setValue(int(std::clamp<int64_t>(s.searchPause, kPauseMin, kPauseMax)));
  tables_->show(s.start, s.inside, s.end);
}

qv::WordSettings SearchWz::edited() const {
  qv::WordSettings s = stored_;
  // A switch left as it was keeps its stored value (any non-zero value is "on").
  auto flag = [](QCheckBox* b, int stored) { return b->isChecked() == (stored != 0) ? stored : int(b->isChecked()); };
  s.indexNumbers = flag(numbers_, stored_.indexNumbers);
  s.forumFooters = flag(forumFooters_, stored_.forumFooters);
  s.newsFooters = flag(newsFooters_, stored_.newsFooters);
  s.frequentForum = flag(frequent_[0], stored_.frequentForum);
  s.frequentMail = flag(frequent_[1], stored_.frequentMail);
  s.frequentNews = flag(frequent_[2], stored_.frequentNews);
  if (pause_->value() != std::clamp<int64_t>(stored_.searchPause, kPauseMin, kPauseMax)) s.searchPause = pause_->value();
  tables_->read(s.start, s.inside, s.end);
  return s;
}

bool SearchWz::save() {
  if (!readable_) {
    qv::Message("Unable to read configuration file.", "Config Problem", qv::Icon::Exclamation);
    return false;
  }
  qv::WordSettings e = edited();
  bool tables = qv::tablesDiffer(e, stored_);
  if (!tables && !qv::switchesDiffer(e, stored_)) {
    qv::Message(qv::barLines("Nothing has changed!|No save needed."), "No Changes", qv::Icon::Information);
    return false;
  }
  if (tables && qv::Message(qv::barLines("Are you SURE you want to save and REINDEX?|It may take hours!|Searching "
                                         "will not work until you reindex."),
                            "Save and Reindex", qv::Icon::Question, qv::BtnYes | qv::BtnNo, qv::BtnNo) != qv::BtnYes)
    return false;
  if (!qv::writeWordSettings(e)) {
    qv::Message("Unable to save changes.", "Not Saved", qv::Icon::Exclamation);
    return false;
  }
  stored_ = e;
  close();
  return true;
}

bool SearchWz::storeSet() {
  std::string name = setName_->text().trimmed().toStdString();
  if (name.empty() || qv::activeDatabaseId() == 0) {
    qv::Message("Please type a name for the set.", "No Name", qv::Icon::Exclamation);
    return false;
  }
  if (!qv::writeWordSet(name, edited())) {
    qv::Message("Unable to save changes.", "Not Saved", qv::Icon::Exclamation);
    return false;
  }
  reloadSets();
  QList<QListWidgetItem*> found = sets_->findItems(QString::fromStdString(name), Qt::MatchExactly);
  if (!found.isEmpty()) sets_->setCurrentItem(found.first());
  return true;
}

bool SearchWz::useSet() {
  QString name = currentSet();
  if (name.isEmpty()) {
    qv::Message("Please pick a set in the list first.", "No Set", qv::Icon::Exclamation);
    return false;
  }
  if (qv::Message(qv::barLines("This will save the set: |" + name.toStdString() +
                               "|as your current word definition.|Is that what you want to do?"),
                  "Save Word Definition", qv::Icon::Question, qv::BtnYes | qv::BtnNo, qv::BtnNo) != qv::BtnYes)
    return false;
  qv::WordSettings e = edited();
  if (!qv::readWordSet(name.toStdString(), e)) {
    qv::Message("Unable to read the set " + name.toStdString() + ".", "Not Saved", qv::Icon::Exclamation);
    return false;
  }
  tables_->show(e.start, e.inside, e.end);
  return save();
}

bool SearchWz::deleteSet() {
  QString name = currentSet();
  if (name.isEmpty()) return false;
  if (qv::Message("Delete the word definition set " + name.toStdString() + "?", "Delete Word Definition",
                  qv::Icon::Question, qv::BtnYes | qv::BtnNo, qv::BtnNo) != qv::BtnYes)
    return false;
  bool ok = qv::deleteWordSet(name.toStdString());
  reloadSets();
  return ok;
}

void openSearchWz() { showProcedureWindow(new SearchWz, SlotSearchWz, Geometry::PositionAndSize); }

}  // namespace qvm
