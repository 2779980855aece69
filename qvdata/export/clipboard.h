// The clipboard as the library reaches it. The program installs its own
// (the GUI one over the desktop's clipboard); without one there is none.
#pragma once

#include <string>

namespace qv {

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  virtual void setText(const std::string& text) = 0;
  virtual std::string text() = 0;
};

// Installs the process-wide clipboard (nullptr: none).
void setClipboard(Clipboard* c);
Clipboard* clipboard();

}  // namespace qv
