#include "browse/attachment_saver.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QToolButton>

#include "browse/message_pane.h"
#include "mime/message_parts.h"
#include "originals/originals_store.h"
#include "originals/safe_save.h"
#include "services/db_kind.h"
#include "services/prompt.h"

namespace qvm {

namespace {

const char* const kSaveText = "Save attachment as...";
const char* const kCaption = "Save attachment";

// Where the last attachment was saved; the home directory at first.
QString& lastDirectory() {
  static QString dir = QDir::homePath();
  return dir;
}

QString askWithDialog(QWidget* parent, const QString& suggested) {
  // The saver never replaces a file: the dialog does not offer to.
  return QFileDialog::getSaveFileName(parent, QString::fromLatin1(kSaveText), suggested, QString(), nullptr,
                                      QFileDialog::DontConfirmOverwrite);
}

void tell(const std::string& text, qv::Icon icon = qv::Icon::Exclamation) { qv::Message(text, kCaption, icon); }

}  // namespace

std::function<QString(QWidget*, const QString&)> AttachmentSaver::chooseFile = askWithDialog;

AttachmentSaver::AttachmentSaver(int kind, MessagePane* pane, QWidget* window)
    : QObject(window), kind_(kind), pane_(pane), window_(window) {
  button_ = new QToolButton(window);
  button_->setText(QString::fromLatin1(kSaveText));
  button_->setToolTip(QStringLiteral("Save an attachment of this message from its original"));
  button_->setAccessibleName(QString::fromLatin1(kSaveText));
  button_->setPopupMode(QToolButton::InstantPopup);
  button_->setAutoRaise(true);
  menu_ = new QMenu(button_);
  button_->setMenu(menu_);
  // Forum messages are kept as they were read: they have no originals.
  offered_ = kind == qv::KindMailDb || kind == qv::KindNewsDb;
  button_->setVisible(offered_);
  setMessage(0);
}

void AttachmentSaver::setMessage(uint32_t id) {
  id_ = id;
  lines_ = id ? qv::attachmentLines(pane_->shown()) : std::vector<qv::AttachmentLineRef>();
  menu_->clear();
  for (size_t i = 0; i < lines_.size(); ++i)
    menu_->addAction(QString::fromStdString(lines_[i].line), this, [this, i] { save(i); });
  button_->setEnabled(!lines_.empty());
}

void AttachmentSaver::addToMenu(QMenu* menu, const QPoint& at) {
  if (!offered_) return;
  int offset = pane_->offsetAt(at);
  if (offset < 0) return;
  const qv::AttachmentLineRef* line = qv::attachmentLineAt(lines_, size_t(offset));
  if (!line) return;
  size_t index = size_t(line - lines_.data());
  menu->addSeparator();
  menu->addAction(QString::fromLatin1(kSaveText), this, [this, index] { save(index); });
}

bool AttachmentSaver::save(size_t index) {
  if (id_ == 0 || index >= lines_.size()) return false;
  const qv::AttachmentLineRef& line = lines_[index];
  std::string damage;
  std::optional<std::string> raw = qv::readOriginal(kind_, id_, &damage);
  if (!raw) {
    if (!damage.empty())
      tell("The original of this message cannot be read: " + damage + ".");
    else
      tell(qv::keepsOriginals(kind_) || qv::originalsFileExists()
             ? "The original of this message was not kept, so its attachments cannot be saved."
             : "This database keeps no originals, so the attachments of its messages cannot be saved.\r\n"
               "Turn on \"Keep originals\" in the database's settings for the messages imported from then on.");
    return false;
  }
  std::vector<qv::mime::MessagePart> parts = qv::mime::listParts(*raw);
  int number = qv::mime::partOfAttachmentLine(parts, line.line, line.occurrence);
  std::optional<std::string> bytes = number ? qv::mime::partBytes(*raw, number) : std::nullopt;
  if (!bytes) {
    tell("The attachment " + line.line + " is not in the message's original.");
    return false;
  }
  std::string name = qv::safeFileName(parts[size_t(number - 1)].name, number);
  QString chosen = chooseFile(window_, QDir(lastDirectory()).filePath(QString::fromStdString(name)));
  if (chosen.isEmpty()) return false;
  QFileInfo info(chosen);
  std::string dir = info.absolutePath().toStdString();
  std::string wanted = qv::safeFileName(info.fileName().toStdString(), number);
  std::string error;
  std::string path = qv::saveNewFile(dir, wanted, *bytes, error);
  if (path.empty()) {
    tell(error);
    return false;
  }
  lastDirectory() = info.absolutePath();
  if (path != dir + "/" + wanted)
    tell("A file " + wanted + " is there already and was left as it is: the attachment was saved as " + path + ".",
         qv::Icon::Information);
  return true;
}

}  // namespace qvm
