// The form that adds, changes or deletes one non index word
// of the stop list. Words are shown and stored in upper case; a word that is
// on the list already is refused with a message and the form stays open (procedure UPDATESTOPLIST).
#pragma once

#include <QDialog>
#include <functional>

class QLineEdit;

namespace qvm {

enum StopListRequest : int { StopInsert = 1, StopChange = 2, StopDelete = 3 };

class UpdateStopList : public QDialog {
  Q_OBJECT

 public:
  // `word` is the highlighted word for a change or a delete.
  UpdateStopList(int request, const QString& word, QWidget* parent = nullptr);
  QLineEdit* wordEdit() const { return edit_; }
  int request() const { return request_; }
  // The word as stored after a successful add or change.
  QString savedWord() const { return saved_; }
  // OK: carries out the request; closes the form when it was done.
  void accept() override;

 private:
  int request_;
  QString original_;
  QString saved_;
  QLineEdit* edit_;
};

// Opens the form window-modal over `parent`; `done` gets the stored word
// when the request was carried out.
void openUpdateStopList(QWidget* parent, int request, const QString& word,
                        std::function<void(bool done, const QString& word)> done);

}  // namespace qvm
