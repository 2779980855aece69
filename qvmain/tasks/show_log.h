// The task log (CFG/TaskLog.Txt) in a read-only text window, at its
// end, with Refresh to read it again (procedure SHOWLOG).
#pragma once

#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace qvm {

inline const QString kShowLogThread = QStringLiteral("ShowLog");

class ShowLog : public QWidget {
  Q_OBJECT

 public:
  explicit ShowLog(QWidget* parent = nullptr);
  QPlainTextEdit* text() const { return text_; }
  QLabel* fileLabel() const { return file_; }
  QPushButton* refreshButton() const { return refresh_; }
  void reload();
  QSize sizeHint() const override { return QSize(640, 420); }

 protected:
  bool event(QEvent* e) override;

 private:
  QPlainTextEdit* text_;
  QLabel* file_;
  QPushButton* refresh_;
};

void openShowLog();

}  // namespace qvm
