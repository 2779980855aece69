// The desktop's clipboard behind the library's clipboard interface.
#pragma once

#include "export/clipboard.h"

namespace qvm {

class QtClipboard : public qv::Clipboard {
 public:
  void setText(const std::string& text) override;
  std::string text() override;
};

// Installs the desktop's clipboard for the library (once; later calls do nothing).
void installClipboard();

}  // namespace qvm
