// USERPANEL, "Changing program setup": the preferences window. It edits the
// configuration items whose meaning is known — directories, date and time
// formats, speed positions, colours and fonts, export settings, the task
// settings and the completion setting — and stores them through the
// settings keepers.
#pragma once

#include <QWidget>
#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QSpinBox;
class QTabWidget;
class QTimeEdit;

namespace qvm {

class UserPanel : public QWidget {
  Q_OBJECT

 public:
  explicit UserPanel(QWidget* parent = nullptr);
  ~UserPanel() override;
  // OK: checks the directories and stores every item; false when a check failed.
  bool save();

  QTabWidget* tabs() const { return tabs_; }
  QLineEdit* tempDir() const { return temp_; }
  QLineEdit* dataDir() const { return data_; }
  QLineEdit* indexDir() const { return index_; }
  QLineEdit* importDir() const { return import_; }
  QComboBox* dateFormat() const { return date_; }
  QComboBox* timeFormat() const { return time_; }
  QSlider* speed(int item) const { return speeds_[size_t(item - 26)]; }
  QComboBox* completion() const { return completion_; }
  QComboBox* afterTask() const { return afterTask_; }
  QComboBox* mailLayout() const { return mailLayout_; }
  QComboBox* newsLayout() const { return newsLayout_; }
  QSpinBox* wrapColumn() const { return wrap_; }

 private:
  QWidget* directoriesTab();
  QWidget* displayTab();
  QWidget* speedTab();
  QWidget* exportTab();
  QWidget* tasksTab();
  QWidget* directoryRow(QLineEdit*& edit, const std::string& value);
  void showColour(int item);
  void showFont(int item);
  void updatePreview();

  QTabWidget* tabs_;
  QLineEdit* temp_;
  QLineEdit* data_;
  QLineEdit* index_;
  QLineEdit* import_;
  QComboBox* date_;
  QComboBox* time_;
  QLabel* preview_;
  std::array<QSlider*, 5> speeds_{};
  std::array<QPushButton*, 5> colours_{};  // items 22..25 and 37
  std::array<unsigned, 5> colourValues_{};
  std::array<QPushButton*, 4> fonts_{};    // items 33..36
  std::array<QFont, 4> fontValues_;
  QCheckBox* restoreFrame_;
  QSpinBox* wrap_;
  QCheckBox* hardCr_;
  QComboBox* mailLayout_;
  QComboBox* forumLayout_;
  QComboBox* newsLayout_;
  QCheckBox* restrict_;
  QTimeEdit* restrictFrom_;
  QTimeEdit* restrictTo_;
  QCheckBox* noTasks_;
  QComboBox* afterTask_;
  QComboBox* completion_;
  QComboBox* defaultFormat_;
};

void openUserPanel();

}  // namespace qvm
