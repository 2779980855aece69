// The form that adds (request 1), changes (2) or deletes (3) an
// import definition: name, format, target database, mailbox, message kinds,
// selection method with its directory and masks or files (chosen in the
// directory dialog), reimport and the topic given to imported mail (procedure UPDATEBATCH).
#pragma once

#include <QDialog>
#include <QStringList>

#include "tasks/definition_edit.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qvm {

class DirectoryDialog;

enum BatchFormRequest : int { BatchFormAdd = 1, BatchFormUpdate = 2, BatchFormDelete = 3 };

class UpdateBatch : public QDialog {
  Q_OBJECT

 public:
  UpdateBatch(int request, const qv::ImportDefinition& definition, QWidget* parent = nullptr);
  QLineEdit* nameField() const { return name_; }
  QComboBox* formatList() const { return format_; }
  QComboBox* targetList() const { return target_; }
  QComboBox* mailboxList() const { return mailbox_; }
  QCheckBox* mailCheck() const { return mail_; }
  QCheckBox* forumCheck() const { return forum_; }
  QCheckBox* newsCheck() const { return news_; }
  QButtonGroup* methodGroup() const { return method_; }
  QLineEdit* pathField() const { return path_; }
  // The masks (methods 0 and 1) or the selected file names (method 2), ";" between them.
  QLineEdit* masksField() const { return masks_; }
  QPushButton* selectButton() const { return select_; }
  QCheckBox* reimportCheck() const { return reimport_; }
  QComboBox* topicList() const { return topic_; }
  uint32_t definitionId() const { return def_.id; }
  // The directory dialog the select button opened last (nullptr once it closed).
  DirectoryDialog* directoryDialog() const { return dialog_; }

  void setFormat(const QString& name);
  // What the directory dialog chose.
  void setSelection(const QString& directory, const QStringList& masksOrFiles);
  void openSelection();
  // The definition as the form has it (not stored).
  qv::ImportDefinition edited() const;
  // Save (or confirm the deletion): the checks, then the definition stored.
  void accept() override;

 private:
  void formatChanged();
  void fillTopics();

  int request_;
  qv::ImportDefinition def_;
  QLineEdit* name_;
  QComboBox* format_;
  QComboBox* target_;
  QComboBox* mailbox_;
  QCheckBox* mail_;
  QCheckBox* forum_;
  QCheckBox* news_;
  QButtonGroup* method_;
  QLineEdit* path_;
  QLineEdit* masks_;
  QPushButton* select_;
  QCheckBox* reimport_;
  QComboBox* topic_;
  DirectoryDialog* dialog_ = nullptr;
};

}  // namespace qvm
