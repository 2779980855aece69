// The program's icons, by the names of the system's icon files.
#pragma once

#include <QIcon>
#include <QString>

namespace qvm {

// "IMPORT" gives the icon drawn for IMPORT.ICO.
QIcon systemIcon(const QString& name);

}  // namespace qvm
