// The settings blocks of the control file and their keepers.
//
// Each block is the 200-byte CTLGROUP of one Control record, read as a small
// structure of numbered items (settings_items.h names them). A keeper loads
// its block (KLoad, with defaults; a missing block is created), sets (KSet)
// and gets (KGet) items in memory and writes the block back (KSave).
//   block 1  general preferences, items 2..21, and the ID counter  (Konfig 1-4)
//   block 9  display and tuning, items 22..66                       (Konfig 5-8)
//   block 4  directories, items 17 and 18                           (AutoPath)
//   block 10 word index, items 44, 49..56                           (WSVars)
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace qv {

enum KeeperOp : int {
  KLoad = 1,
  KSet = 2,
  KGet = 3,
  KSave = 4,
  KSaveDisplay = 5,
  KLoadDisplay = 6,
  KSetDisplay = 7,
  KGetDisplay = 8,
};

// The Control records that hold the settings blocks, by their ID.
enum SettingsBlock : uint8_t {
  BlockGeneral = 1,      // general preferences; the record also keeps the ID counter
  BlockWindowsMark = 2,  // marks that block 3 was written
  BlockWindows = 3,      // the first 25 window rectangles (window_settings.h)
  BlockPaths = 4,        // directories
  BlockColumnsMark = 5,  // marks that block 6 was written
  BlockColumns = 6,      // list column widths
  BlockWindows2Mark = 7, // marks that block 8 was written
  BlockWindows2 = 8,     // the second 25 window rectangles
  BlockDisplay = 9,      // display and tuning
  BlockWordIndex = 10,   // word index
  BlockWordTables = 11,  // 11..16: the word-breaking tables (word_break_tables.h)
};
// The first ID the counter of a new installation gives.
inline constexpr uint32_t kFirstId = 250000;

// Operations on block 1 (1..4) and block 9 (5..8). Items are numbers or texts;
// `value` and `text` carry them both ways. An item the block does not have
// stops the program. Returns false when the control file failed.
bool Konfig(int op, int item, int64_t& value, std::string& text);
bool Konfig(int op);
// Convenience forms for items of block 1 or block 9, chosen by the item number.
int64_t KonfigGet(int item);
std::string KonfigText(int item);
void KonfigSet(int item, int64_t value);
void KonfigSetText(int item, const std::string& text);

// Block 4: item 17 temporary directory, item 18 database root.
bool AutoPath(int op, int item, std::string& text);
bool AutoPath(int op);
std::string AutoPathGet(int item);

// Block 10: item 44 index root (text), 50 a number, 49 and 51..56 flags.
bool WSVars(int op, int item, int64_t& value, std::string& text);
bool WSVars(int op);
int64_t WSVarsGet(int item);
std::string WSVarsText(int item);
void WSVarsSet(int item, int64_t value);
void WSVarsSetText(int item, const std::string& text);

// KSet turns the tuning positions (items 26..30 of block 9) into working
// values; KGet returns the working value of item 26..31, or `value`
// unchanged for any other item.
int64_t SpeedVal(int op, int item, int64_t value = 0);

// Fonts of block 9 (items 33..36).
struct FontSetting {
  std::string name;
  int size = 0;
  bool bold = false;
};
FontSetting KonfigFont(int item);
void KonfigSetFont(int item, const FontSetting& f);

// Reads and writes one settings block as raw bytes (used by the keepers and
// the word-class tables). Missing blocks are created from `defaults`.
bool loadBlock(uint8_t id, std::array<uint8_t, 200>& data, const std::array<uint8_t, 200>& defaults,
               bool& created);
bool saveBlock(uint8_t id, const std::array<uint8_t, 200>& data);
// An item of a block held as raw bytes, for a program that reads a control
// file of its own (the upgrade converter) without loading the keepers.
// Texts are read and written as stored (directories not resolved).
int64_t rawItem(uint8_t block, const std::array<uint8_t, 200>& data, int item);
void setRawItem(uint8_t block, std::array<uint8_t, 200>& data, int item, int64_t value);
std::string rawText(uint8_t block, const std::array<uint8_t, 200>& data, int item);
void setRawText(uint8_t block, std::array<uint8_t, 200>& data, int item, const std::string& text);
// Shows the control-file failure message.
void controlFileFailure();

}  // namespace qv
