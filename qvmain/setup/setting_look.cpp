#include "setup/setting_look.h"

#include <QLabel>
#include <QPalette>

#include "services/settings.h"
#include "services/settings_items.h"

namespace qvm {

QColor colourOfBgr(uint32_t bgr) { return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF)); }

uint32_t bgrOfColour(const QColor& c) {
  return uint32_t(c.red()) | uint32_t(c.green()) << 8 | uint32_t(c.blue()) << 16;
}

QColor settingColour(int item) { return colourOfBgr(uint32_t(qv::KonfigGet(item))); }

QFont settingFont(int item, const QFont& base) {
  qv::FontSetting fs = qv::KonfigFont(item);
  QFont f = base;
  if (!fs.name.empty()) f.setFamily(QString::fromStdString(fs.name));
  if (fs.size > 0) f.setPointSize(fs.size);
  f.setBold(fs.bold);
  return f;
}

void applyCounterLook(const QList<QLabel*>& counters) {
  QColor colour = settingColour(qv::ItemColourCounters);
  for (QLabel* c : counters) {
    QPalette p = c->palette();
    p.setColor(QPalette::Window, colour);
    p.setColor(QPalette::WindowText, colour.lightness() > 140 ? Qt::black : Qt::white);
    c->setPalette(p);
    c->setAutoFillBackground(true);
    c->setFont(settingFont(qv::ItemFontCounters, c->font()));
  }
}

}  // namespace qvm
