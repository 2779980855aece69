// Every topic of the database as a check list for the message
// selected in the running browser; a row toggled attaches or detaches its
// topic at once. The marks follow the browser's selection (procedure CLASSIFY).
#pragma once

#include <QWidget>
#include <cstdint>

class QTreeWidget;
class QTreeWidgetItem;

namespace qvm {

class ClassifyWindow : public QWidget {
  Q_OBJECT

 public:
  explicit ClassifyWindow(QWidget* parent = nullptr);
  QTreeWidget* list() const { return list_; }
  uint32_t message() const { return message_; }
  // The row of a topic; nullptr when the list has none.
  QTreeWidgetItem* rowOf(uint32_t topicId) const;
  static bool attached(const QTreeWidgetItem* row);
  // Attaches the row's topic to the message, or detaches it.
  void toggle(QTreeWidgetItem* row);
  // Re-reads the browser's selection; the marks are built again when it
  // changed or when `force` is set.
  void followSelection(bool force = false);

 protected:
  bool event(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void rebuild();
  void mark(QTreeWidgetItem* row, bool on);

  QTreeWidget* list_;
  int kind_;
  uint32_t message_ = 0;
  bool built_ = false;
};

void openClassify();

}  // namespace qvm
