// The colours and fonts of the display settings (block 9) as Qt sees them.
// A colour item holds 0xBBGGRR; a font item that names no family or size
// keeps the family or size of the font it is applied to.
#pragma once

#include <QColor>
#include <QFont>
#include <cstdint>

namespace qvm {

QColor colourOfBgr(uint32_t bgr);
uint32_t bgrOfColour(const QColor& c);
// A colour item (qv::DisplayItem) as a colour.
QColor settingColour(int item);
// `base` with the family, size and weight of a font item (qv::DisplayItem).
QFont settingFont(int item, const QFont& base);

}  // namespace qvm
