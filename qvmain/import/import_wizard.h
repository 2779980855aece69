// The import wizard. Its pages fill the import settings (format,
// message kinds and targets, selection method, files, reimport and topic);
// Start checks them, saves them as an import definition when asked, and
// starts the import window while the wizard stays open (procedure IMPORTMENY).
#pragma once

#include <QWidget>
#include <cstdint>

#include "import/formats.h"
#include "import/import_settings.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace qvm {

class ImportMeny : public QWidget {
  Q_OBJECT

 public:
  explicit ImportMeny(QWidget* parent = nullptr);
  ~ImportMeny() override;

  enum Page { Welcome, FileType, MessageTypes, Method, Files, Reimport };
  int page() const;
  void next();
  void back();
  // "S&tart": checks the settings and starts the import; false when a check failed.
  bool start();
  // The settings as the pages show them.
  qv::ImportSettings settings() const;

  // The controls, for the tests and the screenshots.
  QCheckBox* saveSession() const { return save_; }
  QListWidget* formatList() const { return formats_; }
  QCheckBox* mailCheck() const { return mail_; }
  QComboBox* mailboxList() const { return mailbox_; }
  QCheckBox* forumCheck() const { return forum_; }
  QLineEdit* forumName() const { return forumName_; }
  QCheckBox* newsCheck() const { return news_; }
  QRadioButton* createOnly() const { return createOnly_; }
  QButtonGroup* methodGroup() const { return method_; }
  QPushButton* selectButton() const { return select_; }
  QCheckBox* reimportCheck() const { return reimport_; }
  QCheckBox* topicCheck() const { return topic_; }
  QPushButton* startButton() const { return next_; }
  // What "&Select" chose: the directory and the masks or file names.
  void setSelection(const QString& directory, const QStringList& masksOrFiles);
  void setFormat(const QString& name);
  // Files or a folder dropped on the frame: one folder becomes a directory
  // selection, files become a file selection of the first one's folder (files
  // of other folders are left out). The choice stays when the file type is
  // chosen after.
  void takeDropped(const QStringList& paths);

 protected:
  bool event(QEvent* e) override;

 private:
  QWidget* page(const QString& heading, int text, QWidget* body);
  QWidget* welcomePage();
  QWidget* fileTypePage();
  QWidget* messageTypesPage();
  QWidget* methodPage();
  QWidget* filesPage();
  QWidget* reimportPage();
  void formatChanged();
  void fillMailboxes();
  void update();
  void openSelection();
  const qv::FormatInfo* format() const;

  QStackedWidget* pages_;
  QLabel* instructions_;
  QCheckBox* save_;
  QListWidget* formats_ = nullptr;
  QCheckBox* mail_;
  QComboBox* mailbox_;
  QPushButton* mailLookup_;
  QCheckBox* forum_;
  QLineEdit* forumName_;
  QPushButton* forumLookup_;
  uint32_t forumId_ = 0;
  QCheckBox* news_;
  QRadioButton* importAll_;
  QRadioButton* createOnly_;
  QButtonGroup* method_;
  QLabel* directory_;
  QListWidget* selection_;
  QPushButton* select_;
  QCheckBox* reimport_;
  QCheckBox* topic_;
  QLineEdit* topicName_;
  QPushButton* topicLookup_;
  uint32_t topicId_ = 0;
  QPushButton* back_;
  QPushButton* next_;
  QString path_;
  QStringList masks_;
  QStringList files_;
  bool running_ = false;
  bool keepSelection_ = false;  // the files came from a drop: a new file type keeps them
};

void openImportMeny();
// Hands dropped files or folders to the wizard that is open, or to the next
// one that opens (the frame opens it after closing the windows it needs
// closed).
void dropIntoImportMeny(const QStringList& paths);

}  // namespace qvm
