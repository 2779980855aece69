#include "wordindex/word_table_page.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include "services/menu_texts.h"

namespace qvm {

namespace {

constexpr int kCodes = 256;
const QString kYes = QStringLiteral("yes");
const QString kNo = QStringLiteral("no");

// How a character code is shown: its Windows-1252 character, or a name for
// the codes that have no visible one.
QString characterText(int code) {
  if (code < 32) return QStringLiteral("^%1").arg(QChar(char16_t(code + 64)));
  if (code == 32) return QStringLiteral("blank");
  if (code == 127) return QStringLiteral("DEL");
  if (code == 160) return QStringLiteral("no-break blank");
  QByteArray one(1, char(code));
  QString t = QString::fromLatin1(one);
  // The codes 128..159 are Windows-1252's own characters.
  static const char16_t cp1252[32] = {0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                                      0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  if (code >= 128 && code < 160) return cp1252[code - 128] ? QString(QChar(cp1252[code - 128])) : QStringLiteral("-");
  return t;
}

}  // namespace

WordTablePage::WordTablePage(QWidget* parent) : QWidget(parent) {
  auto* explanation = new QLabel(QString::fromStdString(qv::GetMenuText(qv::kMenuWizardTables)), this);
  explanation->setWordWrap(true);
  table_ = new QTableWidget(kCodes, 5, this);
  table_->setHorizontalHeaderLabels({QStringLiteral("Code"), QStringLiteral("Character"), QStringLiteral("Starts a word"),
                                     QStringLiteral("Inside a word"), QStringLiteral("Ends a word")});
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
  table_->setSelectionBehavior(QAbstractItemView::SelectItems);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  for (int c = 0; c < kCodes; ++c) {
    auto* code = new QTableWidgetItem(QString::number(c));
    code->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    table_->setItem(c, ColumnCode, code);
    table_->setItem(c, ColumnCharacter, new QTableWidgetItem(characterText(c)));
    for (int col = ColumnStart; col <= ColumnEnd; ++col) {
      auto* item = new QTableWidgetItem(kYes);
      item->setTextAlignment(Qt::AlignCenter);
      item->setData(Qt::UserRole, 0);
      table_->setItem(c, col, item);
    }
  }
  table_->resizeColumnsToContents();
  table_->horizontalHeader()->setStretchLastSection(true);
  connect(table_, &QTableWidget::cellClicked, this, [this](int row, int col) {
    if (col >= ColumnStart) toggle(row, col);
  });
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(explanation);
  layout->addWidget(table_);
}

void WordTablePage::setEntry(int code, int column, bool yes) {
  QTableWidgetItem* item = table_->item(code, column);
  item->setText(yes ? kYes : kNo);
  QFont f = item->font();
  f.setBold(!yes);
  item->setFont(f);
}

void WordTablePage::show(const std::array<uint8_t, 256>& start, const std::array<uint8_t, 256>& inside,
                         const std::array<uint8_t, 256>& end) {
  const std::array<uint8_t, 256>* tables[] = {&start, &inside, &end};
  for (int c = 0; c < kCodes; ++c)
    for (int t = 0; t < 3; ++t) {
      uint8_t v = (*tables[t])[size_t(c)];
      table_->item(c, ColumnStart + t)->setData(Qt::UserRole, int(v));
      setEntry(c, ColumnStart + t, v == 0);
    }
}

void WordTablePage::read(std::array<uint8_t, 256>& start, std::array<uint8_t, 256>& inside,
                         std::array<uint8_t, 256>& end) const {
  std::array<uint8_t, 256>* tables[] = {&start, &inside, &end};
  for (int c = 0; c < kCodes; ++c)
    for (int t = 0; t < 3; ++t) {
      const QTableWidgetItem* item = table_->item(c, ColumnStart + t);
      bool yes = item->text() == kYes;
      int stored = item->data(Qt::UserRole).toInt();
      (*tables[t])[size_t(c)] = yes ? 0 : uint8_t(stored != 0 ? stored : 1);
    }
}

void WordTablePage::toggle(int code, int column) {
  if (code < 0 || code >= kCodes || column < ColumnStart || column > ColumnEnd) return;
  setEntry(code, column, table_->item(code, column)->text() != kYes);
  Q_EMIT changed();
}

}  // namespace qvm
