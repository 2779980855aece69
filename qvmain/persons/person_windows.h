// The person windows of the current database: the person list
// (BROWSEPERSON), the name form (UPDATEPERSON), the alias window (SALIAS)
// and the merge window (PMERGE), and what passes between them.
#pragma once

#include <QString>
#include <cstdint>

class QMimeData;

namespace qvm {

inline const QString kBrowsePersonThread = QStringLiteral("BrowsePersonMerge");
inline const QString kShowAliasThread = QStringLiteral("ShowAlias");
inline const QString kMergePersonsThread = QStringLiteral("MergePersons");

// What a person dragged from the person list carries: its PER:PERSONID.
inline const QString kPersonMimeType = QStringLiteral("application/x-quorvane-person-id");
QMimeData* personMimeData(uint32_t personId);
// The person a drop carries; 0 when it carries none.
uint32_t droppedPerson(const QMimeData* data);

// Adds a person to the merge window, opening it when it does not run.
void addPersonToMerge(uint32_t personId);
// The person highlighted in the person list; 0 when it does not run or
// nothing is highlighted.
uint32_t highlightedPerson();

// Opens the person list of the current database (procedure 8).
void openBrowsePerson();

void registerPersonWindows();

}  // namespace qvm
