// The registry of open procedure windows by thread name and group.
//
// Every procedure window registers itself when it opens and is removed when
// it is destroyed. A second start of a running procedure only activates it;
// a whole group can be asked to close at once. Everything runs on the GUI
// thread.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace qvm {

inline const QString kFindGroup = QStringLiteral("FindGroup");
inline const QString kNotToolsGroup = QStringLiteral("NotToolsGroup");
inline const QString kImportGroup = QStringLiteral("ImportGroup");
inline const QString kFrameThread = QStringLiteral("MainMeny");

// Registers a window under a thread name and group (empty: no group) and
// returns its ID (> 0). The window is removed from the registry when it is
// destroyed. Registered windows answer the activate event (546) by restoring
// themselves when minimised, else by coming to the front.
int TmCreate(QWidget* window, const QString& name, const QString& group = QString());
// Removes a window from the registry (by ID or by window).
void TmDestroy(int id);
void TmDestroy(QWidget* window);
// The ID of the running window of that name; 0 when none runs.
int TmGetId(const QString& name);
// The window of an ID; nullptr when it no longer runs.
QWidget* TmWindow(int id);
// True when any window of the group runs.
bool TmQuery(const QString& group);
// The thread names of the running windows of a group, in the order they opened.
QStringList TmMembers(const QString& group);
// Asks every window of the group to close. A window may refuse (its close
// event is ignored) and then stays registered.
void TmDestroyGroup(const QString& group);
// Brings a window to the front, restoring it when minimised (inside the
// frame's window area when it lives there).
void activateWindow(QWidget* window);

}  // namespace qvm
