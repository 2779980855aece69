// Guides a first-time user through setting up a mailbox and
// the import defaults, and on to the first import (procedure STARTUPWIZARD).
#pragma once

#include <QWidget>
#include <cstdint>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;

namespace qvm {

class StartupWizard : public QWidget {
  Q_OBJECT

 public:
  explicit StartupWizard(QWidget* parent = nullptr);
  int page() const;
  void next();
  void back();
  // Stores the defaults, closes and starts the import wizard.
  void startImport();
  QPushButton* mailboxButton() const { return mailbox_; }
  QComboBox* formatList() const { return format_; }
  QLineEdit* directoryField() const { return directory_; }
  QPushButton* quitButton() const { return quit_; }

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  QWidget* makePage(int text, QWidget* extra);
  void update();
  void saveDefaults();
  void activateCreated();
  uint32_t created_ = 0;  // the mailbox made in the wizard
  bool importFollows_ = false;
  QStackedWidget* pages_;
  QLabel* mailboxState_;
  QPushButton* mailbox_;
  QComboBox* format_;
  QLineEdit* directory_;
  QPushButton* back_;
  QPushButton* next_;
  QPushButton* start_;
  QPushButton* quit_;
};

void openStartupWizard();

}  // namespace qvm
