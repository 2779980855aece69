#include "services/settings.h"

#include <cstring>
#include <functional>
#include <vector>

#include "dictionary/dictionary.h"
#include "services/datetime.h"
#include "services/file_scope.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/installation_state.h"
#include "services/paths.h"
#include "services/prompt.h"
#include "services/settings_items.h"
#include "services/word_break_tables.h"

namespace qv {

namespace {

enum class Kind { U8, U16, I32, U32, Text, Flag, Font };

// One item of a block: where it lives in the 200 bytes and its default.
struct Item {
  int number;
  Kind kind;
  int offset;
  int size;  // bytes (texts and fonts)
  int64_t def;
  const char* defText;
  // A directory: kept relative to the installation's root when inside it.
  bool directory = false;
};

// Block 1: general preferences.
const std::vector<Item> kGeneral = {
    {2, Kind::U16, 0, 2, 1, nullptr},    {3, Kind::U16, 2, 2, 15, nullptr},  // type-ahead pause, tenths
    {4, Kind::U16, 4, 2, 1, nullptr},    {5, Kind::I32, 6, 4, 0, nullptr},   // date of the last ID check
    {6, Kind::U32, 180, 4, 0, nullptr},  // the last used database (an ID: 32 bits, in the block's free tail)
    {7, Kind::U16, 12, 2, 0, nullptr},
    {8, Kind::U16, 14, 2, 0, nullptr},   {9, Kind::U16, 16, 2, 1, nullptr},
    {10, Kind::U16, 18, 2, 17, nullptr},  // date display format
    {11, Kind::U16, 20, 2, 0, nullptr},  {12, Kind::U16, 22, 2, 17, nullptr},
    {13, Kind::U16, 24, 2, 7, nullptr},   // time display format
    {14, Kind::Text, 26, 100, 0, ""},    {15, Kind::I32, 126, 4, 0, nullptr},  // scheduler idle interval
    {16, Kind::U16, 130, 2, 2, nullptr}, {17, Kind::U16, 132, 2, 0, nullptr},
    {18, Kind::U16, 134, 2, 0, nullptr}, {19, Kind::U32, 136, 4, 0, nullptr},  // last mailbox created or chosen
    {20, Kind::Text, 140, 15, 0, ""},    {21, Kind::Text, 155, 25, 0, ""},
};

// Block 9: display and tuning.
std::vector<Item> makeDisplay() {
  std::vector<Item> v = {
      {22, Kind::I32, 0, 4, 255, nullptr},  // colours as 0xBBGGRR
      {23, Kind::I32, 4, 4, 12632256, nullptr},
      {24, Kind::I32, 8, 4, 8388608, nullptr},
      {25, Kind::I32, 12, 4, 255, nullptr},
  };
  for (int i = 26; i <= 30; ++i) v.push_back({i, Kind::U8, 16 + (i - 26), 1, 4, nullptr});  // tuning positions
  v.push_back({31, Kind::U8, 21, 1, 0, nullptr});
  v.push_back({32, Kind::U8, 22, 1, 0, nullptr});  // completion setting
  for (int i = 33; i <= 36; ++i) v.push_back({i, Kind::Font, 23 + (i - 33) * 22, 22, 8, "Arial"});
  int off = 23 + 4 * 22;  // 111
  for (int i = 37; i <= 66; ++i) {
    int64_t def = i == 38 || i == 39 || i == 59 ? 1 : i == 58 ? 78 : 0;
    v.push_back({i, Kind::U8, off++, 1, def, nullptr});
  }
  return v;
}
const std::vector<Item> kDisplay = makeDisplay();

// Block 4: directories.
const std::vector<Item> kPaths = {{17, Kind::Text, 0, 100, 0, "", true}, {18, Kind::Text, 100, 100, 0, "", true}};

// Block 10: word index.
const std::vector<Item> kWordIndex = {
    {44, Kind::Text, 0, 100, 0, "", true}, {49, Kind::Flag, 100, 1, 1, nullptr}, {50, Kind::I32, 101, 4, 10000, nullptr},
    {51, Kind::Flag, 105, 1, 0, nullptr}, {52, Kind::Flag, 106, 1, 0, nullptr}, {53, Kind::Flag, 107, 1, 1, nullptr},
    {54, Kind::Flag, 108, 1, 1, nullptr}, {55, Kind::Flag, 109, 1, 1, nullptr}, {56, Kind::Flag, 110, 1, 1, nullptr},
};

struct Block {
  uint8_t id;
  const std::vector<Item>* items;
  std::array<uint8_t, 200> data{};
  bool loaded = false;
};
Block general{BlockGeneral, &kGeneral};
Block display{BlockDisplay, &kDisplay};
Block paths{BlockPaths, &kPaths};
Block wordIndex{BlockWordIndex, &kWordIndex};

const Item& findItem(const Block& b, int item) {
  for (const Item& it : *b.items)
    if (it.number == item) return it;
  Halt("Internal Error - invalid xType");
}

// Block 9's items follow block 1's.
Block& blockOfItem(int item) { return item >= ItemColourHighlight ? display : general; }

int64_t readItem(const Block& b, const Item& it) {
  const uint8_t* p = b.data.data() + it.offset;
  switch (it.kind) {
    case Kind::U8: return p[0];
    case Kind::U16: return p[0] | (p[1] << 8);
    case Kind::I32: return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
    case Kind::U32: return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    case Kind::Flag: return p[0] >= '0' && p[0] <= '9' ? p[0] - '0' : 0;
    case Kind::Font: return p[20];
    case Kind::Text: return 0;
  }
  return 0;
}

// The root that an older version wrote the absolute directories of the
// loaded settings under (see formerRoot), when that was another one.
std::string settingsFormerRoot;

std::string storedText(const Block& b, const Item& it) {
  const char* p = reinterpret_cast<const char*>(b.data.data() + it.offset);
  int n = it.kind == Kind::Font ? 20 : it.size;
  return std::string(trimRight(std::string_view(p, strnlen(p, n))));
}

std::string readText(const Block& b, const Item& it) {
  if (it.kind != Kind::Text && it.kind != Kind::Font) return std::to_string(readItem(b, it));
  std::string text = storedText(b, it);
  return it.directory ? resolvedDirectory(text, Mem.Net, settingsFormerRoot) : text;
}

void writeItem(Block& b, const Item& it, int64_t v) {
  uint8_t* p = b.data.data() + it.offset;
  switch (it.kind) {
    case Kind::U8: p[0] = uint8_t(v); break;
    case Kind::U16: p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); break;
    case Kind::I32:
    case Kind::U32:
      for (int i = 0; i < 4; ++i) p[i] = uint8_t(uint64_t(v) >> (8 * i));
      break;
    case Kind::Flag: p[0] = uint8_t('0' + (v % 10 + 10) % 10); break;
    case Kind::Font: p[20] = uint8_t(v); break;
    case Kind::Text: break;
  }
}

void writeText(Block& b, const Item& it, const std::string& textIn) {
  if (it.kind != Kind::Text && it.kind != Kind::Font) {
    writeItem(b, it, std::atoll(textIn.c_str()));
    return;
  }
  std::string text = it.directory ? storedDirectory(textIn, Mem.Net) : textIn;
  int n = it.kind == Kind::Font ? 20 : it.size;
  char* p = reinterpret_cast<char*>(b.data.data() + it.offset);
  std::memset(p, ' ', n);
  std::memcpy(p, text.data(), utf8CutLength(text, n));
}

bool itemBlank(const Block& b, const Item& it) {
  const uint8_t* p = b.data.data() + it.offset;
  if (it.kind == Kind::Flag) return !(p[0] >= '0' && p[0] <= '9');
  if (it.kind == Kind::Text || it.kind == Kind::Font) return storedText(b, it).empty();
  return readItem(b, it) == 0;
}

// Fills every item that is empty with its default.
void applyDefaults(Block& b) {
  for (const Item& it : *b.items) {
    if (!itemBlank(b, it)) continue;
    if (it.kind == Kind::Text) {
      if (it.defText && *it.defText) writeText(b, it, it.defText);
    } else if (it.kind == Kind::Font) {
      writeText(b, it, it.defText);
      writeItem(b, it, it.def);
    } else if (it.def != 0) {
      writeItem(b, it, it.def);
    }
  }
}

std::array<uint8_t, 200> blankData(const Block& b) {
  std::array<uint8_t, 200> d{};
  for (const Item& it : *b.items)
    if (it.kind == Kind::Text || it.kind == Kind::Font) std::memset(d.data() + it.offset, ' ', it.kind == Kind::Font ? 20 : it.size);
  return d;
}

// Stores the directory items in their stored form: a legacy absolute path
// inside the root becomes relative.
void normaliseDirectories(Block& b) {
  for (const Item& it : *b.items)
    if (it.directory && !itemBlank(b, it)) writeText(b, it, readText(b, it));
}

// Operations shared by every keeper. A block is written back only when
// loading changed it (defaults filled in, a block made), so that opening an
// installation leaves its control file alone; an installation opened for
// reading is never written.
bool load(Block& b, const std::function<void(Block&, bool created)>& fill) {
  bool created = false;
  std::array<uint8_t, 200> data{};
  if (!loadBlock(b.id, data, blankData(b), created)) return false;
  b.data = data;
  fill(b, created);
  b.loaded = true;
  if ((!created && b.data == data) || installationReadOnly()) return true;
  return saveBlock(b.id, b.data);
}

bool access(Block& b, int op, int item, int64_t& value, std::string& text, int setOp, int getOp) {
  const Item& it = findItem(b, item);
  if (op == setOp) {
    if (it.kind == Kind::Text || it.kind == Kind::Font)
      writeText(b, it, text);
    else
      writeItem(b, it, value);
    if (it.kind == Kind::Font) writeItem(b, it, value);
    return true;
  }
  if (op == getOp) {
    value = readItem(b, it);
    text = readText(b, it);
    return true;
  }
  return false;
}

std::array<int64_t, 6> speed = {500, 300, 4, 4, 20, 16};  // working values of items 26..31

}  // namespace

// ---- raw blocks ----

void controlFileFailure() {
  Message("The control file is not available - no access to application!", "Fatal Error!", Icon::Hand);
}

bool loadBlock(uint8_t id, std::array<uint8_t, 200>& data, const std::array<uint8_t, 200>& defaults,
               bool& created) {
  FileScope scope({FileControl});
  created = false;
  CTL = ControlRec();
  CTL.ID = id;
  bool ok = Control.get(CTL_IdKey);
  if (ok) {
    data = CTL.CTLFIELD;
  } else if (ErrorCode() == ErrNotFound && installationReadOnly()) {
    data = defaults;  // read as the defaults; nothing is written
    ok = true;
  } else if (ErrorCode() == ErrNotFound) {
    CTL = ControlRec();
    CTL.ID = id;
    CTL.CTLFIELD = defaults;
    if (id == BlockGeneral) CTL.NEXTNUMBER = kFirstId;
    ok = Control.add();
    data = defaults;
    created = ok;
  }
  scope.release();
  if (!ok) controlFileFailure();
  return ok;
}

bool saveBlock(uint8_t id, const std::array<uint8_t, 200>& data) {
  FileScope scope({FileControl});
  CTL = ControlRec();
  CTL.ID = id;
  bool ok = Control.get(CTL_IdKey);
  if (ok) {
    // The record is read again so that the ID counter kept beside the block is not overwritten.
    CTL.CTLFIELD = data;
    ok = Control.put();
  } else if (ErrorCode() == ErrNotFound) {
    CTL = ControlRec();
    CTL.ID = id;
    CTL.CTLFIELD = data;
    if (id == BlockGeneral) CTL.NEXTNUMBER = kFirstId;
    ok = Control.add();
  }
  scope.release();
  if (!ok) controlFileFailure();
  return ok;
}

// ---- Konfig ----

bool Konfig(int op) {
  int64_t v = 0;
  std::string t;
  return Konfig(op, 0, v, t);
}

bool Konfig(int op, int item, int64_t& value, std::string& text) {
  switch (op) {
    case KLoad: {
      bool ok = load(general, [](Block& b, bool) {
        applyDefaults(b);
        if (readItem(b, findItem(b, ItemLastIdCheck)) == 0) writeItem(b, findItem(b, ItemLastIdCheck), today());
      });
      if (!ok) return false;
      if (installationReadOnly()) return true;
      // The ID counter starts at kFirstId.
      FileScope scope({FileControl});
      CTL = ControlRec();
      CTL.ID = BlockGeneral;
      bool found = Control.get(CTL_IdKey);
      if (found && CTL.NEXTNUMBER < kFirstId) {
        CTL.NEXTNUMBER = kFirstId;
        found = Control.put();
      }
      scope.release();
      if (!found) controlFileFailure();
      return found;
    }
    case KSave: return saveBlock(general.id, general.data);
    case KSet:
    case KGet: return access(general, op, item, value, text, KSet, KGet);
    case KLoadDisplay: {
      bool ok = load(display, [](Block& b, bool) { applyDefaults(b); });
      if (ok) SpeedVal(KSet, 0);
      return ok;
    }
    case KSetDisplay:
    case KGetDisplay: return access(display, op, item, value, text, KSetDisplay, KGetDisplay);
    case KSaveDisplay: return saveBlock(display.id, display.data);
    default: return false;
  }
}

int64_t KonfigGet(int item) {
  Block& b = blockOfItem(item);
  return readItem(b, findItem(b, item));
}
std::string KonfigText(int item) {
  Block& b = blockOfItem(item);
  return readText(b, findItem(b, item));
}
void KonfigSet(int item, int64_t value) {
  Block& b = blockOfItem(item);
  writeItem(b, findItem(b, item), value);
}
void KonfigSetText(int item, const std::string& text) {
  Block& b = blockOfItem(item);
  writeText(b, findItem(b, item), text);
}

FontSetting KonfigFont(int item) {
  const Item& it = findItem(display, item);
  if (it.kind != Kind::Font) Halt("Internal Error - invalid xType");
  return {readText(display, it), int(display.data[it.offset + 20]), display.data[it.offset + 21] != 0};
}

void KonfigSetFont(int item, const FontSetting& f) {
  const Item& it = findItem(display, item);
  if (it.kind != Kind::Font) Halt("Internal Error - invalid xType");
  writeText(display, it, f.name);
  display.data[it.offset + 20] = uint8_t(f.size);
  display.data[it.offset + 21] = f.bold ? 1 : 0;
}

// ---- AutoPath ----

bool AutoPath(int op) {
  std::string t;
  return AutoPath(op, 0, t);
}

bool AutoPath(int op, int item, std::string& text) {
  switch (op) {
    case KLoad:
      return load(paths, [](Block& b, bool) {
        settingsFormerRoot = formerRoot(storedText(b, findItem(b, ItemTempDirectory)),
                                        storedText(b, findItem(b, ItemDataDirectory)), Mem.Net);
        normaliseDirectories(b);
        if (itemBlank(b, findItem(b, ItemTempDirectory)))
          writeText(b, findItem(b, ItemTempDirectory), joinPath({Mem.Net, "TEMP"}));
        if (itemBlank(b, findItem(b, ItemDataDirectory))) writeText(b, findItem(b, ItemDataDirectory), Mem.Net);
      });
    case KSave: return saveBlock(paths.id, paths.data);
    case KSet:
    case KGet: {
      int64_t v = 0;
      return access(paths, op, item, v, text, KSet, KGet);
    }
    default: return false;
  }
}

std::string AutoPathGet(int item) { return readText(paths, findItem(paths, item)); }

// ---- WSVars ----

bool WSVars(int op) {
  int64_t v = 0;
  std::string t;
  return WSVars(op, 0, v, t);
}

bool WSVars(int op, int item, int64_t& value, std::string& text) {
  switch (op) {
    case KLoad:
      // The word-breaking tables (records 11..16) come with the block.
      return load(wordIndex, [](Block& b, bool) {
        if (itemBlank(b, findItem(b, ItemIndexNumbers))) {
          // A block without its first switch was never set up: start from the defaults.
          b.data = blankData(b);
          for (const Item& it : *b.items)
            if (it.kind != Kind::Text) writeItem(b, it, it.def);
        }
        normaliseDirectories(b);
        if (itemBlank(b, findItem(b, ItemIndexRoot))) writeText(b, findItem(b, ItemIndexRoot), Mem.FileDir);
      }) && loadWordTables();
    case KSave: return saveBlock(wordIndex.id, wordIndex.data) && saveWordTables();
    case KSet:
    case KGet: return access(wordIndex, op, item, value, text, KSet, KGet);
    default: return false;
  }
}

int64_t WSVarsGet(int item) { return readItem(wordIndex, findItem(wordIndex, item)); }
std::string WSVarsText(int item) { return readText(wordIndex, findItem(wordIndex, item)); }
void WSVarsSet(int item, int64_t value) { writeItem(wordIndex, findItem(wordIndex, item), value); }
void WSVarsSetText(int item, const std::string& text) { writeText(wordIndex, findItem(wordIndex, item), text); }

// ---- SpeedVal ----

int64_t SpeedVal(int op, int item, int64_t value) {
  static const int64_t t26[] = {50, 100, 250, 500, 750, 1000, 1250};
  static const int64_t t27[] = {50, 100, 200, 275, 350, 500, 700};
  static const int64_t t28[] = {1, 3, 7, 10, 20, 30, 40};
  static const int64_t t30[] = {10, 20, 20, 25, 25, 50, 50};
  static const int64_t t31[] = {8, 16, 30, 50, 70, 85, 100};
  if (op == KSet) {
    auto pos = [](int it) -> int {
      int64_t p = readItem(display, findItem(display, it));
      return p >= 1 && p <= 7 ? int(p) : 0;
    };
    int p;
    speed[0] = (p = pos(ItemSpeedDuplicates)) ? t26[p - 1] : 500;
    speed[1] = (p = pos(ItemSpeedPurge)) ? t27[p - 1] : 300;
    speed[2] = (p = pos(ItemSpeedIndex)) ? t28[p - 1] : 4;
    speed[3] = (p = pos(ItemSpeedFind)) ? t28[p - 1] : 4;
    if ((p = pos(ItemSpeedImport))) {
      speed[4] = t30[p - 1];
      speed[5] = t31[p - 1];
    } else {
      speed[5] = 4;
    }
    return 0;
  }
  if (op == KGet && item >= ItemSpeedDuplicates && item <= ItemImportSlice) return speed[item - ItemSpeedDuplicates];
  return value;
}

namespace {

Block rawBlock(uint8_t block, const std::array<uint8_t, 200>& data) {
  const std::vector<Item>* items = block == BlockGeneral ? &kGeneral
                                   : block == BlockDisplay ? &kDisplay
                                   : block == BlockPaths   ? &kPaths
                                   : block == BlockWordIndex ? &kWordIndex
                                                             : nullptr;
  if (!items) Halt("Internal Error - invalid xType");
  Block b{block, items};
  b.data = data;
  return b;
}

}  // namespace

int64_t rawItem(uint8_t block, const std::array<uint8_t, 200>& data, int item) {
  Block b = rawBlock(block, data);
  return readItem(b, findItem(b, item));
}

void setRawItem(uint8_t block, std::array<uint8_t, 200>& data, int item, int64_t value) {
  Block b = rawBlock(block, data);
  writeItem(b, findItem(b, item), value);
  data = b.data;
}

std::string rawText(uint8_t block, const std::array<uint8_t, 200>& data, int item) {
  Block b = rawBlock(block, data);
  return storedText(b, findItem(b, item));
}

void setRawText(uint8_t block, std::array<uint8_t, 200>& data, int item, const std::string& text) {
  Block b = rawBlock(block, data);
  const Item& it = findItem(b, item);
  char* p = reinterpret_cast<char*>(b.data.data() + it.offset);
  std::memset(p, ' ', it.size);
  std::memcpy(p, text.data(), utf8CutLength(text, it.size));
  data = b.data;
}

}  // namespace qv
