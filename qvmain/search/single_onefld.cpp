#include "search/single_onefld.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace qvm {

SingleOneFld::SingleOneFld(const std::string& typed, std::vector<qv::WordCandidate> candidates, QWidget* parent)
    : QDialog(parent), candidates_(std::move(candidates)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral(" Matching Words [%1]").arg(QString::fromStdString(typed)));
  auto* hint = new QLabel(QStringLiteral("Pick the words to search for (Ctrl+click picks several):"), this);
  list_ = new QTreeWidget(this);
  list_->setColumnCount(2);
  list_->setHeaderLabels({QStringLiteral("Word"), QStringLiteral("Messages")});
  list_->setRootIsDecorated(false);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setToolTip(QStringLiteral("Words of the word list that match the typed word"));
  QLocale loc;
  for (size_t i = 0; i < candidates_.size(); ++i) {
    auto* row = new QTreeWidgetItem(list_);
    row->setText(0, QString::fromStdString(candidates_[i].word));
    row->setText(1, loc.toString(candidates_[i].count));
    row->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    row->setData(0, Qt::UserRole, qulonglong(i));
  }
  list_->header()->setStretchLastSection(false);
  list_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  list_->header()->resizeSection(1, 90);
  list_->setMinimumSize(320, 220);
  if (list_->topLevelItemCount() > 0) list_->setCurrentItem(list_->topLevelItem(0));

  pick_ = new QPushButton(QStringLiteral("&Select"), this);
  pick_->setToolTip(QStringLiteral("Add the highlighted words to the search"));
  pick_->setDefault(true);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(pick_, QDialogButtonBox::AcceptRole);
  buttons->addButton(QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { accept(); });
  auto updateButton = [this] { pick_->setEnabled(!list_->selectedItems().isEmpty()); };
  connect(list_, &QTreeWidget::itemSelectionChanged, this, updateButton);
  updateButton();

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(hint);
  layout->addWidget(list_);
  layout->addWidget(buttons);
}

std::vector<qv::WordCandidate> SingleOneFld::chosen() const {
  std::vector<qv::WordCandidate> out;
  for (int i = 0; i < list_->topLevelItemCount(); ++i) {
    QTreeWidgetItem* row = list_->topLevelItem(i);
    if (row->isSelected()) out.push_back(candidates_[size_t(row->data(0, Qt::UserRole).toULongLong())]);
  }
  return out;
}

SingleOneFld* openSingleOneFld(QWidget* parent, const std::string& typed, std::vector<qv::WordCandidate> candidates,
                               std::function<void(std::vector<qv::WordCandidate>)> picked,
                               std::function<void()> closed) {
  auto* dlg = new SingleOneFld(typed, std::move(candidates), parent);
  dlg->setWindowModality(Qt::WindowModal);
  QObject::connect(dlg, &QDialog::finished, dlg, [dlg, picked, closed](int result) {
    if (result == QDialog::Accepted && picked) picked(dlg->chosen());
    if (closed) closed();
  });
  dlg->open();
  return dlg;
}

}  // namespace qvm
