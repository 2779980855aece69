// Type-ahead for the look-up lists and the person list.
#include "lookup/type_ahead.h"

#include <QKeyEvent>

#include "lookup/lookup_list.h"
#include "services/datetime.h"
#include "services/utilities.h"

namespace qvm {

bool TypeAhead::key(const QKeyEvent* k, QTreeView* view, LookupModel* model) {
  const QString t = k->text();
  if (t.size() != 1 || (k->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) || t.at(0).unicode() > 0xFF)
    return false;
  if (!qv::IncrementStep(typed_, char32_t(t.at(0).unicode()), qv::clockNow())) return false;
  if (!typed_.empty()) showLookupRow(view, model, model->loadAtText(QString::fromStdString(typed_)));
  return true;
}

}  // namespace qvm
