// The wizard page of the word characters: one row per character code with
// whether it may start a word, stand inside a word and end a word, shown as
// "yes" and "no" and switched by a click (or the space bar).
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>

class QTableWidget;
class QTableWidgetItem;

namespace qvm {

class WordTablePage : public QWidget {
  Q_OBJECT

 public:
  enum Column : int { ColumnCode, ColumnCharacter, ColumnStart, ColumnInside, ColumnEnd };
  explicit WordTablePage(QWidget* parent = nullptr);
  QTableWidget* table() const { return table_; }
  // Shows the tables (entries 0 yes, non-zero no).
  void show(const std::array<uint8_t, 256>& start, const std::array<uint8_t, 256>& inside,
            const std::array<uint8_t, 256>& end);
  // The tables as shown; an entry the page turned to "no" is 1, one it
  // left alone keeps its value.
  void read(std::array<uint8_t, 256>& start, std::array<uint8_t, 256>& inside, std::array<uint8_t, 256>& end) const;
  // Switches one entry between yes and no.
  void toggle(int code, int column);

 Q_SIGNALS:
  void changed();

 private:
  void setEntry(int code, int column, bool yes);
  QTableWidget* table_;
};

}  // namespace qvm
