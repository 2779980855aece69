// Which installation the window program works on (see installation_root.h).
#include "frame/installation_root.h"

#include <QDir>

#include <cstdlib>

namespace qvm {

QString installationRoot(const std::optional<QString>& rootOption, const QString& rootVariable,
                         const QString& homeFolder) {
  if (rootOption) return *rootOption;
  if (!rootVariable.isEmpty()) return rootVariable;
  return QDir(homeFolder).filePath(QString::fromLatin1(kHomeInstallationName));
}

QString installationRoot(const std::optional<QString>& rootOption) {
  const char* variable = std::getenv(kRootVariable);
  return installationRoot(rootOption, variable ? QString::fromLocal8Bit(variable) : QString(), QDir::homePath());
}

}  // namespace qvm
