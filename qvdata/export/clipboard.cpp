#include "export/clipboard.h"

#include <atomic>

namespace qv {

namespace {
std::atomic<Clipboard*> current{nullptr};
}

void setClipboard(Clipboard* c) { current = c; }
Clipboard* clipboard() { return current; }

}  // namespace qv
