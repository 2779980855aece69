// STARTUPWIZARD: guides a first-time user through setting up a mailbox and
// the import defaults, and on to the first import.
#pragma once

#include <QWidget>

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

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  QWidget* makePage(int text, QWidget* extra);
  void update();
  void saveDefaults();
  QStackedWidget* pages_;
  QLabel* mailboxState_;
  QPushButton* mailbox_;
  QComboBox* format_;
  QLineEdit* directory_;
  QPushButton* back_;
  QPushButton* next_;
  QPushButton* start_;
};

void openStartupWizard();

}  // namespace qvm
