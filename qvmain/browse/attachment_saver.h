// "Save attachment as..." of the browsers' reading pane: the attachment
// lines of the message shown ("[Attachment: name, type, n bytes]") offered
// in a button's menu and in the reader's context menu; the part a line
// stands for is taken from the message's original and saved under the name
// the user picks. An existing file is never replaced (the part gets
// "name (2).ext" instead), the file is private, and nothing is opened or run.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "originals/attachment_lines.h"

class QAction;
class QMenu;
class QPoint;
class QToolButton;
class QWidget;

namespace qvm {

class MessagePane;

class AttachmentSaver : public QObject {
  Q_OBJECT

 public:
  // The saver of the pane of a browser of database kind `kind`; its button
  // goes into the pane's header row.
  AttachmentSaver(int kind, MessagePane* pane, QWidget* window);

  // The message the pane shows now (0: none); its attachment lines fill the
  // button's menu.
  void setMessage(uint32_t id);
  // Adds "Save attachment as..." to `menu` when `at` (a point of the
  // reader's viewport) is on an attachment line.
  void addToMenu(QMenu* menu, const QPoint& at);
  // Saves the part of attachment line `index` of the message shown; false
  // when nothing was saved (refused, cancelled, or no original).
  bool save(size_t index);

  QToolButton* button() const { return button_; }
  const std::vector<qv::AttachmentLineRef>& lines() const { return lines_; }

  // Asks where to save (the window, the suggested path); "" cancels. A file
  // dialog unless a test puts its own answer here.
  static std::function<QString(QWidget*, const QString&)> chooseFile;

 private:
  int kind_;
  MessagePane* pane_;
  QWidget* window_;
  QToolButton* button_;
  QMenu* menu_;
  bool offered_ = false;  // mail and newsgroup databases: forum messages have no originals
  uint32_t id_ = 0;
  std::vector<qv::AttachmentLineRef> lines_;
};

}  // namespace qvm
