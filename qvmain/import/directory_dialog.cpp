#include "import/directory_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileSystemModel>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTreeView>
#include <QVBoxLayout>

#include "frame/window_host.h"
#include "help/help_window.h"
#include "import/import_settings.h"
#include "services/paths.h"
#include "services/prompt.h"

namespace qvm {

namespace {
// The file-type filter that lists every file, whatever the format's masks.
const QString kAllFilesFilter = QStringLiteral("All files (*)");

QString titleOf(DirectoryMode mode, const QString& formatText) {
  switch (mode) {
    case DirectoryMode::Tree: return QStringLiteral(" Directory Tree Selection Dialog - ") + formatText;
    case DirectoryMode::Directory: return QStringLiteral(" Directory Selection Dialog - ") + formatText;
    case DirectoryMode::Files: return QStringLiteral(" File Selection Dialog - ") + formatText;
  }
  return QString();
}

// The masks that are not blank, trimmed.
QStringList maskList(const QStringList& masks) {
  QStringList list;
  for (const QString& m : masks)
    if (!m.trimmed().isEmpty()) list << m.trimmed();
  return list;
}

}  // namespace

QStringList fileTypeFilters(const QString& formatText, const QStringList& masks) {
  QStringList filters;
  const QStringList list = maskList(masks);
  if (!list.isEmpty())
    filters << formatText.trimmed() + QStringLiteral(" (") + list.join(QLatin1Char(' ')) + QLatin1Char(')');
  filters << kAllFilesFilter;
  return filters;
}

DirectoryDialog::DirectoryDialog(DirectoryMode mode, const QString& formatText, const QString& directory,
                                 const QStringList& masks, const QStringList& selectedFiles, QWidget* parent)
    : QDialog(parent), mode_(mode), fileMasks_(masks), preselected_(selectedFiles) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(titleOf(mode, formatText));
  model_ = new QFileSystemModel(this);
  model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
  model_->setRootPath(QDir::rootPath());
  tree_ = new QTreeView(this);
  tree_->setModel(model_);
  for (int c = 1; c < model_->columnCount(); ++c) tree_->hideColumn(c);
  tree_->header()->hide();
  tree_->setMinimumWidth(260);
  current_ = new QLabel(this);
  current_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  current_->setWordWrap(true);

  auto* side = new QWidget(this);
  auto* form = new QVBoxLayout(side);
  form->setContentsMargins(0, 0, 0, 0);
  QString currentCaption = mode == DirectoryMode::Tree ? QStringLiteral(" Currently selected top directory ")
                                                       : QStringLiteral(" Currently selected directory ");
  form->addWidget(new QLabel(currentCaption, side));
  form->addWidget(current_);
  if (mode == DirectoryMode::Files) {
    files_ = new QListWidget(side);
    files_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    form->addWidget(new QLabel(QStringLiteral(" Select the file(s) to import "), side));
    form->addWidget(files_, 1);
    types_ = new QComboBox(side);
    types_->addItems(fileTypeFilters(formatText, masks));
    form->addWidget(new QLabel(QStringLiteral(" Files of type "), side));
    form->addWidget(types_);
    // Files chosen before that the format's masks do not list stay in view.
    for (const QString& n : selectedFiles) {
      bool match = false;
      for (const QString& m : maskList(masks)) match = match || qv::matchesPattern(n.toStdString(), m.toStdString());
      if (!match) types_->setCurrentIndex(types_->count() - 1);
    }
    connect(types_, &QComboBox::currentIndexChanged, this, [this] { fillFiles(); });
  } else {
    masks_ = new QLineEdit(masks.join(QLatin1Char(';')), side);
    masks_->setToolTip(QStringLiteral("File extensions, for example *.MBX;*.TXT"));
    form->addWidget(new QLabel(QStringLiteral(" File extensions "), side));
    form->addWidget(masks_);
    form->addStretch(1);
  }

  auto* split = new QSplitter(this);
  auto* left = new QWidget(split);
  auto* ll = new QVBoxLayout(left);
  ll->setContentsMargins(0, 0, 0, 0);
  ll->addWidget(new QLabel(mode == DirectoryMode::Tree ? QStringLiteral(" Select top directory ")
                                                       : QStringLiteral(" Select directory "),
                           left));
  ll->addWidget(tree_);
  split->addWidget(left);
  split->addWidget(side);
  split->setStretchFactor(0, 1);
  split->setStretchFactor(1, 1);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* save = buttons->addButton(QStringLiteral("Save selection"), QDialogButtonBox::AcceptRole);
  save->setDefault(true);
  buttons->addButton(QStringLiteral("Exit without saving"), QDialogButtonBox::RejectRole);
  buttons->addButton(helpButton(this, QStringLiteral("~Directory_selection")), QDialogButtonBox::HelpRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &DirectoryDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& i) { setDirectory(model_->filePath(i)); });

  // The tree fills in as directories are read: keep the chosen one in view.
  connect(model_, &QFileSystemModel::directoryLoaded, this, [this] {
    QModelIndex i = model_->index(directory_);
    if (i.isValid()) tree_->scrollTo(i, QAbstractItemView::PositionAtCenter);
  });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(split, 1);
  layout->addWidget(buttons);
  resize(720, 440);
  setDirectory(directory.isEmpty() ? QDir::homePath() : directory);
}

void DirectoryDialog::setDirectory(const QString& dir) {
  directory_ = QDir(dir).absolutePath();
  current_->setText(directory_);
  QModelIndex i = model_->index(directory_);
  if (i.isValid() && tree_->currentIndex() != i) {
    tree_->setCurrentIndex(i);
    tree_->scrollTo(i);
    tree_->expand(i);
  }
  fillFiles();
}

void DirectoryDialog::fillFiles() {
  if (!files_) return;
  // What is chosen in the list now stays chosen when the list is filled
  // again (another file type), beside the chosen files it did not show.
  QStringList shown;
  for (int i = 0; i < files_->count(); ++i) shown << files_->item(i)->text();
  QStringList chosen;
  for (const QString& n : preselected_)
    if (!shown.contains(n)) chosen << n;
  for (QListWidgetItem* it : files_->selectedItems()) chosen << it->text();
  preselected_ = chosen;
  files_->clear();
  const bool formatFiles = types_->currentText() != kAllFilesFilter;
  const QStringList filters = formatFiles ? maskList(fileMasks_) : QStringList();
  // Masks keep their DOS meaning ("*.*" every file, "*." names without a
  // dot) and match whatever letter case the source program gave its names.
  QStringList names;
  for (const QString& n : QDir(directory_).entryList(QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase)) {
    bool match = filters.isEmpty();
    for (const QString& m : filters) match = match || qv::matchesPattern(n.toStdString(), m.toStdString());
    if (match) names << n;
  }
  for (const QString& n : names) {
    auto* it = new QListWidgetItem(n, files_);
    if (preselected_.contains(n)) it->setSelected(true);
  }
}

void DirectoryDialog::accept() {
  selection_.clear();
  if (mode_ == DirectoryMode::Files) {
    for (QListWidgetItem* it : files_->selectedItems()) selection_ << it->text();
    if (selection_.isEmpty()) {
      qv::Message("No file(s) selected", "Warning!", qv::Icon::Exclamation);
      return;
    }
  } else {
    for (const std::string& m : qv::ImportSettings::splitMasks(masks_->text().toStdString()))
      selection_ << QString::fromStdString(m);
    if (selection_.isEmpty()) {
      qv::Message("No file extension(s) specified", "Warning!", qv::Icon::Exclamation);
      return;
    }
  }
  QDialog::accept();
}

DirectoryDialog* openDirectoryDialog(QWidget* parent, DirectoryMode mode, const QString& formatText,
                                     const QString& directory, const QStringList& masks, const QStringList& files,
                                     std::function<void(QString, QStringList)> saved) {
  auto* dlg = new DirectoryDialog(mode, formatText, directory, masks, files, parent);
  QObject::connect(dlg, &QDialog::accepted, dlg, [dlg, saved] {
    if (saved) saved(dlg->directory(), dlg->selection());
  });
  dlg->open();
  return dlg;
}

}  // namespace qvm
