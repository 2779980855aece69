// Chooses the directory of an import and either the file
// masks (directory tree and directory modes) or the files themselves (file
// mode). Shared by the import wizard and the definition editor (procedure DIRECTORYDIALOG).
#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>

class QComboBox;
class QFileSystemModel;
class QLabel;
class QLineEdit;
class QListWidget;
class QTreeView;

namespace qvm {

enum class DirectoryMode { Tree = 0, Directory = 1, Files = 2 };

class DirectoryDialog : public QDialog {
  Q_OBJECT

 public:
  // `formatText` names the format in the title; `masks` are the masks
  // offered (or, in file mode, those that filter the file list).
  DirectoryDialog(DirectoryMode mode, const QString& formatText, const QString& directory, const QStringList& masks,
                  const QStringList& selectedFiles = {}, QWidget* parent = nullptr);
  QString directory() const { return directory_; }
  // The masks, or in file mode the selected file names.
  QStringList selection() const { return selection_; }
  QLineEdit* masksField() const { return masks_; }
  QListWidget* fileList() const { return files_; }
  // File mode: the file types offered, the format's masks first, then every
  // file.
  QComboBox* fileTypes() const { return types_; }
  void setDirectory(const QString& dir);
  // "Save selection": checks and closes with the choice.
  void accept() override;

 private:
  void fillFiles();
  DirectoryMode mode_;
  QFileSystemModel* model_;
  QTreeView* tree_;
  QLabel* current_;
  QLineEdit* masks_ = nullptr;
  QListWidget* files_ = nullptr;
  QComboBox* types_ = nullptr;
  QStringList fileMasks_;
  QStringList preselected_;
  QString directory_;
  QStringList selection_;
};

// The file-type filters of the file mode: "<format> (<masks>)" when
// the format has masks, then "All files (*)".
QStringList fileTypeFilters(const QString& formatText, const QStringList& masks);

DirectoryDialog* openDirectoryDialog(QWidget* parent, DirectoryMode mode, const QString& formatText,
                                     const QString& directory, const QStringList& masks, const QStringList& files,
                                     std::function<void(QString, QStringList)> saved);

}  // namespace qvm
