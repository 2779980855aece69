#include "persons/person_windows.h"

#include <QMimeData>

#include "frame/procedures.h"
#include "persons/browse_person.h"
#include "persons/merge_persons.h"
#include "window_registry/window_registry.h"

namespace qvm {

QMimeData* personMimeData(uint32_t personId) {
  auto* data = new QMimeData;
  data->setData(kPersonMimeType, QByteArray::number(personId));
  return data;
}

uint32_t droppedPerson(const QMimeData* data) {
  if (!data || !data->hasFormat(kPersonMimeType)) return 0;
  bool ok = false;
  uint32_t id = data->data(kPersonMimeType).toUInt(&ok);
  return ok ? id : 0;
}

void addPersonToMerge(uint32_t personId) {
  if (personId == 0) return;
  if (TmGetId(kMergePersonsThread) == 0) startProcedure(kMergePersonsThread);
  if (auto* w = qobject_cast<MergePersons*>(TmWindow(TmGetId(kMergePersonsThread)))) {
    w->addPerson(personId);
    activateWindow(w);
  }
}

uint32_t highlightedPerson() {
  auto* w = qobject_cast<BrowsePerson*>(TmWindow(TmGetId(kBrowsePersonThread)));
  return w ? w->currentId() : 0;
}

void registerPersonWindows() {
  registerProcedure(kBrowsePersonThread, openBrowsePerson);
  registerProcedure(kMergePersonsThread, openMergePersons);
}

}  // namespace qvm
