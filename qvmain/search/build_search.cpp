#include "search/build_search.h"

#include <algorithm>

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "frame/icons.h"
#include "help/help_window.h"
#include "search/search_word_entry.h"
#include "services/active_database.h"
#include "services/prompt.h"
#include "wordindex/search_input.h"

namespace qvm {

namespace {

// A word of the phrase that is removed or negated ends the phrase check;
// the other words stay in the list.
void dropPhraseOf(qv::WordSearch& s, const std::string& word) {
  if (std::find(s.phrase.begin(), s.phrase.end(), word) != s.phrase.end()) s.phrase.clear();
}

}  // namespace

BuildSearch::BuildSearch(int kind, QWidget* parent) : QDialog(parent), engine_(kind) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowIcon(systemIcon(QStringLiteral("SEARCH3")));
  QString db = QString::fromStdString(qv::activeDescription());
  setWindowTitle(db.isEmpty() ? QStringLiteral(" Professional Search")
                              : QStringLiteral(" Professional Search [%1]").arg(db));
  const QString captions[2] = {QStringLiteral("&AND: every word must occur"),
                               QStringLiteral("&OR: at least one word must occur")};
  const QString tips[2] = {QStringLiteral("Words that must all occur in a message (NOT: must not occur)"),
                           QStringLiteral("Words of which at least one must occur (NOT: must not occur)")};
  scope_ = new QLabel(this);
  scope_->setTextFormat(Qt::PlainText);
  scope_->setWordWrap(true);
  QFont bold = scope_->font();
  bold.setBold(true);
  scope_->setFont(bold);
  scope_->hide();
  auto* listsLayout = new QGridLayout;
  for (int i = 0; i < 2; ++i) {
    auto* t = new QTreeWidget(this);
    t->setColumnCount(3);
    t->setHeaderLabels({QStringLiteral("Word"), QStringLiteral("Messages"), QStringLiteral("NOT")});
    t->setRootIsDecorated(false);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->setToolTip(tips[i]);
    t->header()->setStretchLastSection(false);
    t->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    t->header()->resizeSection(1, 80);
    t->header()->resizeSection(2, 44);
    t->setMinimumSize(300, 200);
    auto* label = new QLabel(captions[i], this);
    label->setBuddy(t);
    listsLayout->addWidget(label, 0, i);
    listsLayout->addWidget(t, 1, i);
    lists_[i] = t;
    // One entry is selected at a time, in either list.
    connect(t, &QTreeWidget::itemSelectionChanged, this, [this, i] {
      if (!lists_[i]->selectedItems().isEmpty()) lists_[1 - i]->clearSelection();
    });
  }

  insert_ = new QPushButton(QStringLiteral("&Insert"), this);
  insert_->setToolTip(QStringLiteral("Type words and add them to a list"));
  delete_ = new QPushButton(QStringLiteral("&Delete"), this);
  delete_->setToolTip(QStringLiteral("Remove the highlighted word from its list"));
  not_ = new QPushButton(QStringLiteral("&NOT"), this);
  not_->setToolTip(QStringLiteral("The highlighted word must not occur (press again to undo)"));
  search_ = new QPushButton(QStringLiteral("&Search!"), this);
  search_->setToolTip(QStringLiteral("Find the messages that match the lists"));
  search_->setDefault(true);
  close_ = new QPushButton(QStringLiteral("Cancel"), this);
  status_ = new QLabel(this);
  status_->setWordWrap(true);
  status_->setMinimumHeight(status_->fontMetrics().height() * 2);

  connect(insert_, &QPushButton::clicked, this,
          [this] { openSingleUi(this, [this](const PickedWords& w) { addWords(w); }); });
  connect(delete_, &QPushButton::clicked, this, &BuildSearch::deleteSelected);
  connect(not_, &QPushButton::clicked, this, &BuildSearch::negateSelected);
  connect(search_, &QPushButton::clicked, this, &BuildSearch::runSearch);
  connect(close_, &QPushButton::clicked, this, &QDialog::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(insert_);
  buttons->addWidget(delete_);
  buttons->addWidget(not_);
  buttons->addStretch();
  buttons->addWidget(search_);
  buttons->addWidget(close_);
  buttons->addWidget(helpButton(this, QStringLiteral("~Professional_Search")));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(scope_);
  layout->addLayout(listsLayout);
  layout->addWidget(status_);
  layout->addLayout(buttons);
  refresh();
}

void BuildSearch::addWords(const PickedWords& picked) {
  int list = picked.toAnd ? 0 : 1;
  bool changed = false;
  for (const qv::SearchWord& w : picked.words) changed = qv::addSearchWord(words(list), w) || changed;
  if (!picked.phrase.empty()) {
    engine_.phrase = picked.phrase;  // one phrase per search: a new one replaces the last
    changed = true;
  }
  if (changed) listsChanged();
}

bool BuildSearch::selected(int& list, int& row) const {
  for (int i = 0; i < 2; ++i) {
    QList<QTreeWidgetItem*> sel = lists_[i]->selectedItems();
    if (!sel.isEmpty()) {
      list = i;
      row = lists_[i]->indexOfTopLevelItem(sel.first());
      return row >= 0;
    }
  }
  list = row = -1;
  return false;
}

void BuildSearch::deleteSelected() {
  int list, row;
  if (!selected(list, row)) {
    qv::Message("Please Pick an Entry in one of the Lists Above to Delete and Try Again.", "Pick One First",
                qv::Icon::Exclamation);
    return;
  }
  std::vector<qv::SearchWord>& ws = words(list);
  if (list == 0) dropPhraseOf(engine_, ws[size_t(row)].word);
  ws.erase(ws.begin() + row);
  listsChanged();
}

void BuildSearch::negateSelected() {
  int list, row;
  if (!selected(list, row)) {
    qv::Message("Please Click on a Search Word in one of the Lists Above to NOT and Try Again.", "Nothing Selected",
                qv::Icon::Exclamation);
    return;
  }
  qv::SearchWord& w = words(list)[size_t(row)];
  w.negated = !w.negated;
  if (list == 0 && w.negated) dropPhraseOf(engine_, w.word);
  listsChanged();
  lists_[list]->setCurrentItem(lists_[list]->topLevelItem(row));
}

void BuildSearch::runSearch() {
  if (engine_.andList.empty() && engine_.orList.empty()) {
    qv::Message("Please use the Insert Button to Locate words of Interest!\r\nThen Try Again.", "No Search Words",
                qv::Icon::Exclamation);
    return;
  }
  bool ok = engine_.run();
  results_ = ok ? engine_.results() : std::vector<uint32_t>();
  if (ok && !engine_.morePending()) {
    accept();  // everything searched: the caller shows the hits
    return;
  }
  refresh();
}

void BuildSearch::listsChanged() {
  engine_.reset();
  results_.clear();
  refresh();
}

void BuildSearch::refresh() {
  QLocale loc;
  for (int i = 0; i < 2; ++i) {
    QTreeWidget* t = lists_[i];
    t->clear();
    for (const qv::SearchWord& w : words(i)) {
      auto* row = new QTreeWidgetItem(t);
      row->setText(0, QString::fromStdString(w.word));
      row->setText(1, loc.toString(w.count));
      row->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
      row->setText(2, w.negated ? QStringLiteral("NOT") : QString());
    }
  }
  QString status;
  if (!engine_.phrase.empty()) {
    QStringList p;
    for (const std::string& w : engine_.phrase) p << QString::fromStdString(w);
    status = QStringLiteral("Phrase: \"%1\". ").arg(p.join(QLatin1Char(' ')));
  }
  if (!results_.empty())
    status += QStringLiteral("%1 messages found so far. Search! searches on; Close shows them.")
                  .arg(loc.toString(qulonglong(results_.size())));
  status_->setText(status);
  close_->setText(results_.empty() ? QStringLiteral("Cancel") : QStringLiteral("Close"));
  close_->setToolTip(results_.empty() ? QStringLiteral("Close without searching")
                                      : QStringLiteral("Close and show the messages found"));
}

void BuildSearch::setScope(const QString& text) {
  scope_->setText(text);
  scope_->setVisible(!text.isEmpty());
}

void buildSearch(QWidget* parent, int kind, std::function<void(std::vector<uint32_t> ids)> done,
                 const QString& scope) {
  auto* dlg = new BuildSearch(kind, parent);
  dlg->setScope(scope);
  dlg->setWindowModality(Qt::WindowModal);
  QObject::connect(dlg, &QDialog::finished, dlg, [dlg, done](int) {
    if (done) done(dlg->results());
  });
  dlg->open();
}

}  // namespace qvm
