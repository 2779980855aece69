#include "wordindex/update_stop_list.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "frame/icons.h"
#include "frame/window_host.h"
#include "services/prompt.h"
#include "wordindex/stop_list_edit.h"

namespace qvm {

namespace {

constexpr int kStopWordLength = 40;

QString requestTitle(int request) {
  switch (request) {
    case StopChange: return QStringLiteral(" Update Non Index Word");
    case StopDelete: return QStringLiteral(" Delete Non Index Word");
    default: return QStringLiteral(" Add New Non Index Word");
  }
}

}  // namespace

UpdateStopList::UpdateStopList(int request, const QString& word, QWidget* parent)
    : QDialog(parent), request_(request), original_(word) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(requestTitle(request));
  setWindowIcon(systemIcon(QStringLiteral("KONTROLL")));
  edit_ = new QLineEdit(request == StopInsert ? QString() : word, this);
  edit_->setMaxLength(kStopWordLength);
  edit_->setMinimumWidth(280);
  edit_->setReadOnly(request == StopDelete);
  // Stop words are kept in upper case: the form shows them so as they are typed.
  connect(edit_, &QLineEdit::textEdited, this, [this](const QString& t) {
    int at = edit_->cursorPosition();
    edit_->setText(t.toUpper());
    edit_->setCursorPosition(at);
  });
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("&Word:"), edit_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  if (request == StopDelete) buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&Delete"));
  connect(buttons, &QDialogButtonBox::accepted, this, &UpdateStopList::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void UpdateStopList::accept() {
  std::string word = edit_->text().toStdString();
  std::string shown = qv::stopWordForm(word);
  qv::StopEdit r;
  switch (request_) {
    case StopDelete:
      if (qv::Message("Confirm deletion of Non Index Word", requestTitle(StopDelete).toStdString(),
                      qv::Icon::Question, qv::BtnYes | qv::BtnNo, qv::BtnNo) != qv::BtnYes)
        return;
      r = qv::deleteStopWord(original_.toStdString());
      shown = qv::stopWordForm(original_.toStdString());
      break;
    case StopChange: r = qv::changeStopWord(original_.toStdString(), word); break;
    default: r = qv::insertStopWord(word); break;
  }
  if (r != qv::StopEdit::Done) {
    const char* caption = r == qv::StopEdit::Duplicate ? "Duplicate Word" : "Non Index Word";
    qv::Message(qv::stopEditText(r, shown), caption, qv::Icon::Exclamation);
    edit_->setFocus();
    return;
  }
  saved_ = QString::fromStdString(shown);
  QDialog::accept();
}

void openUpdateStopList(QWidget* parent, int request, const QString& word,
                        std::function<void(bool done, const QString& word)> done) {
  auto* form = new UpdateStopList(request, word, parent);
  QObject::connect(form, &QDialog::finished, form, [form, done](int result) {
    if (done) done(result == QDialog::Accepted, form->savedWord());
  });
  form->setWindowModality(Qt::WindowModal);
  form->open();
}

}  // namespace qvm
