// Whether an installation is open, and whether for reading only: what the
// settings, the file service and the tools ask of the installation without
// opening one (services/installation.h opens and closes it).
#pragma once

namespace qv {

bool installationOpen();
// True while the open installation is open for reading only.
bool installationReadOnly();
// Set by openInstallation and closeInstallation only.
void setInstallationState(bool open, bool readOnly);

}  // namespace qv
