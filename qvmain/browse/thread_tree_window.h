// The reply structure of the thread that holds the message
// selected in the forum and newsgroup browser, as an indented tree of
// senders, from which the browser is sent to any message of the thread (procedure THREADTREE).
#pragma once

#include <QWidget>
#include <cstdint>

#include "browse/browse_state.h"
#include "browse/thread_tree.h"
#include "services/file_scope.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace qvm {

class ThreadTreeWindow : public QWidget {
  Q_OBJECT

 public:
  explicit ThreadTreeWindow(QWidget* parent = nullptr);
  ~ThreadTreeWindow() override;

  QTreeWidget* tree() const { return tree_; }
  uint32_t threadNumber() const { return tree_data_.threadNumber; }
  // How many times the tree was built (the first build included).
  int builds() const { return builds_; }
  // The item of a message; nullptr when the tree does not show it.
  QTreeWidgetItem* itemOf(uint32_t number) const;
  // Sends the browser to the message of an item (Enter or a double click).
  void choose(QTreeWidgetItem* item);
  // Re-reads the browser's selection; rebuilds when it lies in another thread.
  void followSelection();

  QSize sizeHint() const override { return QSize(380, 360); }

 protected:
  bool event(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void rebuild(const qv::BrowseState& s);
  void highlight(uint32_t selected);

  QTreeWidget* tree_;
  qv::FileScope files_{std::vector<int>{}};  // the files the tree reads, from when it shows
  qv::ThreadTree tree_data_;
  int textFormat_ = 2;
  int dateFormat_ = 17;
  int builds_ = 0;
};

// Opens the thread tree (thread "ThreadTree", group "FindGroup") on the
// browser's selection; closes at once without a date format setting.
void openThreadTree();
// Registers the opener of "ThreadTree".
void registerThreadTreeWindow();

}  // namespace qvm
