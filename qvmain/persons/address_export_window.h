// AddressExport: the persons of the active database written as an address
// book. The window offers the formats of the database's kind (the one last
// chosen for the kind first) and a file name in the temporary directory;
// Start runs the library's address export from a zero-interval timer and
// counts the persons written. Procedure 40 of the frame opens it.
#pragma once

#include <QWidget>
#include <memory>

#include "export/address_export.h"

class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace qvm {

class AddressExportWindow : public QWidget {
  Q_OBJECT

 public:
  explicit AddressExportWindow(QWidget* parent = nullptr);
  ~AddressExportWindow() override;

  QButtonGroup* formats() const { return formats_; }
  QLineEdit* fileName() const { return name_; }
  QPushButton* startButton() const { return start_; }
  QLabel* countLabel() const { return count_; }
  QLabel* resultLabel() const { return result_; }
  bool running() const { return run_ != nullptr; }
  // The result of the last run (qv::AddressRunning before any).
  int lastResult() const { return lastResult_; }
  // The format chosen in the window.
  int format() const;

  // The Start button.
  void start();

 private:
  void formatChosen(int code);
  void tick();
  void finish();

  int kind_;
  int lastResult_ = qv::AddressRunning;
  std::unique_ptr<qv::AddressRun> run_;
  QButtonGroup* formats_;
  QLineEdit* name_;
  QPushButton* start_;
  QLabel* count_;
  QLabel* result_;
  QTimer* timer_;
};

// Registers the opener of "AddressExport".
void registerAddressExportWindow();

}  // namespace qvm
