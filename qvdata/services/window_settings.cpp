#include "services/window_settings.h"

#include "services/settings.h"

namespace qv {

namespace {

// A block of 100 16-bit values and the marker block that says it exists.
struct ValueBlock {
  uint8_t marker;
  uint8_t values;
  std::array<uint16_t, 100> v{};
  bool loaded = false;
};
ValueBlock pos1{BlockWindowsMark, BlockWindows}, pos2{BlockWindows2Mark, BlockWindows2},
    cols{BlockColumnsMark, BlockColumns};

std::array<uint16_t, 100> windowDefaults() {
  std::array<uint16_t, 100> d{};
  for (int w = 0; w < kWindowSlots; ++w) {
    d[w * 4 + 0] = uint16_t(40 + 16 * (w % 10));
    d[w * 4 + 1] = uint16_t(40 + 16 * (w % 10));
    d[w * 4 + 2] = 800;
    d[w * 4 + 3] = 560;
  }
  return d;
}

std::array<uint16_t, 100> columnDefaults() {
  std::array<uint16_t, 100> d{};
  for (int l = 0; l < kListSlots; ++l) {
    d[l * 5 + 0] = 90;   // dates and numbers
    d[l * 5 + 1] = 160;  // names
    d[l * 5 + 2] = 320;  // subjects
    d[l * 5 + 3] = 80;
    d[l * 5 + 4] = 80;
  }
  return d;
}

std::array<uint8_t, 200> pack(const std::array<uint16_t, 100>& v) {
  std::array<uint8_t, 200> b{};
  for (int i = 0; i < 100; ++i) {
    b[2 * i] = uint8_t(v[i]);
    b[2 * i + 1] = uint8_t(v[i] >> 8);
  }
  return b;
}

std::array<uint16_t, 100> unpack(const std::array<uint8_t, 200>& b) {
  std::array<uint16_t, 100> v{};
  for (int i = 0; i < 100; ++i) v[i] = uint16_t(b[2 * i] | (b[2 * i + 1] << 8));
  return v;
}

// `zeroIsSet(i)` tells whether a stored 0 is a value (a window's x or y: the
// screen's left or top edge) rather than a value never set (a size or width).
template <typename ZeroIsSet>
bool load(ValueBlock& b, const std::array<uint16_t, 100>& defaults, ZeroIsSet zeroIsSet) {
  b.v = defaults;
  bool created = false;
  std::array<uint8_t, 200> marker{}, data{};
  if (!loadBlock(b.marker, marker, {}, created)) return false;
  if (!loadBlock(b.values, data, pack(defaults), created)) return false;
  std::array<uint16_t, 100> stored = unpack(data);
  // Values never set keep their defaults.
  for (int i = 0; i < 100; ++i)
    if (stored[i] != 0 || zeroIsSet(i)) b.v[i] = stored[i];
  b.loaded = true;
  return true;
}

bool windowOp(ValueBlock& b, int op, int window, WindowRect& r) {
  if (op == KLoad) return load(b, windowDefaults(), [](int i) { return i % 4 < 2; });
  if (op == KSave) return saveBlock(b.values, pack(b.v));
  if (window < 1 || window > kWindowSlots) return false;
  uint16_t* p = &b.v[(window - 1) * 4];
  if (op == KSet) {
    int in[4] = {r.x, r.y, r.width, r.height};
    for (int i = 0; i < 4; ++i)
      if (in[i] >= 0 && in[i] < 2000) p[i] = uint16_t(in[i]);
    return true;
  }
  if (op == KGet) {
    r = WindowRect{p[0], p[1], p[2], p[3]};
    return true;
  }
  return false;
}

}  // namespace

bool WindowPos(int op, int window, WindowRect& r) { return windowOp(pos1, op, window, r); }
bool WindowPos2(int op, int window, WindowRect& r) { return windowOp(pos2, op, window, r); }

bool ListCol(int op, int list, std::array<int, kListColumns>& widths, int columns) {
  if (op == KLoad) return load(cols, columnDefaults(), [](int) { return false; });
  if (op == KSave) return saveBlock(cols.values, pack(cols.v));
  if (list < 1 || list > kListSlots) return false;
  if (columns < 0) columns = 0;
  if (columns > kListColumns) columns = kListColumns;
  uint16_t* p = &cols.v[(list - 1) * kListColumns];
  if (op == KSet) {
    for (int i = 0; i < columns; ++i)
      if (widths[i] > 0 && widths[i] < 2000) p[i] = uint16_t(widths[i]);
    return true;
  }
  if (op == KGet) {
    for (int i = 0; i < kListColumns; ++i) widths[i] = i < columns ? p[i] : 0;
    return true;
  }
  return false;
}

}  // namespace qv
