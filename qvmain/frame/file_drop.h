// Files and folders dropped on the frame's window area: the import wizard
// opens with them chosen.
#pragma once

#include <QStringList>
#include <functional>

class QWidget;

namespace qvm {

// Lets `target` take drops of local files and folders; `onDrop` gets their
// paths. Other drops (text, remote addresses) are refused as before.
void acceptFileDrops(QWidget* target, std::function<void(const QStringList&)> onDrop);

}  // namespace qvm
