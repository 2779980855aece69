// The colours and fonts of the display settings (block 9) as Qt sees them.
// A colour item holds 0xBBGGRR; a font item that names no family or size
// keeps the family or size of the font it is applied to.
#pragma once

#include <QColor>
#include <QList>
#include <QFont>
#include <cstdint>

class QLabel;

namespace qvm {

QColor colourOfBgr(uint32_t bgr);
uint32_t bgrOfColour(const QColor& c);
// A colour item (qv::DisplayItem) as a colour.
QColor settingColour(int item);
// `base` with the family, size and weight of a font item (qv::DisplayItem).
QFont settingFont(int item, const QFont& base);
// The number labels of a run's counters in the counters' colour and font.
void applyCounterLook(const QList<QLabel*>& counters);

}  // namespace qvm
