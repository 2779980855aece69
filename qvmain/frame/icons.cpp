#include "frame/icons.h"

#include <QFile>

namespace qvm {

QIcon systemIcon(const QString& name) {
  QString path = QStringLiteral(":/icons/%1.svg").arg(name.toUpper());
  if (QFile::exists(path)) return QIcon(path);
  return QIcon();
}

}  // namespace qvm
