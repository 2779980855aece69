// Which installation the window program works on: --root DIR, else
// $QUORVANE_ROOT, else the folder "Quorvane" in the user's home folder. The
// folder the program was started in plays no part: a program started from
// the desktop's menu starts wherever the desktop happens to be.
#pragma once

#include <QString>
#include <optional>

namespace qvm {

inline constexpr const char* kRootVariable = "QUORVANE_ROOT";
inline constexpr const char* kHomeInstallationName = "Quorvane";

// The installation's directory from --root's value (nullopt when the option
// was not given), the value of $QUORVANE_ROOT (empty when unset) and the
// user's home folder.
QString installationRoot(const std::optional<QString>& rootOption, const QString& rootVariable,
                         const QString& homeFolder);

// The same from this process's environment and home folder.
QString installationRoot(const std::optional<QString>& rootOption);

}  // namespace qvm
