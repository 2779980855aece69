// The list of a database's topics for choosing one (the import
// wizard's topic look-up), and UPDATECODES: the form that adds (request 1),
// changes (2) or deletes (3) a topic (procedure GP_CODES).
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>

#include "services/topics.h"

class QCheckBox;
class QLineEdit;
class QTreeWidget;

namespace qvm {

class UpdateCodes : public QDialog {
  Q_OBJECT

 public:
  UpdateCodes(int request, const qv::Topic& topic, QWidget* parent = nullptr);
  QLineEdit* textField() const { return text_; }
  QCheckBox* matchCase() const { return case_; }
  QCheckBox* matchWord() const { return word_; }
  uint32_t topicId() const { return topic_.id; }
  void accept() override;

 private:
  int request_;
  qv::Topic topic_;
  QLineEdit* text_;
  QCheckBox* case_;
  QCheckBox* word_;
};

// SemaFore 210: runs the form on the topic in the record buffer (COD) with
// GlobalRequest; leaves GlobalResponse 1 when the topic was stored.
int runUpdateCodes();

class GpCodes : public QDialog {
  Q_OBJECT

 public:
  // The topics of the database in directory F<dirNumber> (0: the current one).
  GpCodes(uint32_t dirNumber, QWidget* parent = nullptr);
  QTreeWidget* list() const { return list_; }
  uint32_t chosenId() const { return chosen_; }
  QString chosenText() const { return chosenText_; }
  void reload();
  void accept() override;

 private:
  uint32_t dir_;
  QTreeWidget* list_;
  uint32_t chosen_ = 0;
  QString chosenText_;
};

GpCodes* openGpCodes(QWidget* parent, uint32_t dirNumber, std::function<void(uint32_t, QString)> chosen);

}  // namespace qvm
