// The open state of the installation.
#include "services/installation_state.h"

namespace qv {

namespace {
bool opened = false;
bool openedReadOnly = false;
}  // namespace

bool installationOpen() { return opened; }
bool installationReadOnly() { return opened && openedReadOnly; }

void setInstallationState(bool open, bool readOnly) {
  opened = open;
  openedReadOnly = open && readOnly;
}

}  // namespace qv
