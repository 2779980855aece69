// Window geometry and list column widths kept in the control file.
#pragma once

#include <array>
#include <cstdint>

namespace qv {

struct WindowRect {
  int x = 0, y = 0, width = 0, height = 0;
};

inline constexpr int kWindowSlots = 25;
inline constexpr int kListSlots = 20;
inline constexpr int kListColumns = 5;

// Two sets of 25 windows (block 3, marked by block 2; block 8, marked by
// block 7). The operations are the settings keepers' (settings.h): KLoad
// loads (defaults first), KSet sets (a value of 2000 or more is ignored),
// KGet gets, KSave saves. Windows are numbered 1..25.
bool WindowPos(int op, int window, WindowRect& r);
bool WindowPos2(int op, int window, WindowRect& r);
// Up to five column widths for each of 20 lists (block 6, marked by block 5).
bool ListCol(int op, int list, std::array<int, kListColumns>& widths, int columns = kListColumns);

}  // namespace qv
