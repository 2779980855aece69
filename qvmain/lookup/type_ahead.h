// Type-ahead in a list over a LookupModel: the letters typed in quick
// succession position the list at the first entry at or after them, through
// the list's sort order; a pause starts a new text.
#pragma once

#include <string>

class QKeyEvent;
class QTreeView;

namespace qvm {

class LookupModel;

class TypeAhead {
 public:
  // Takes a key press on `view`: a printable Latin-1 key without Ctrl or
  // Alt adds to (or, after a pause, starts) the typed text, and the list is
  // shown at it. True when the key was taken; other keys are left to the
  // caller.
  bool key(const QKeyEvent* k, QTreeView* view, LookupModel* model);
  const std::string& typed() const { return typed_; }

 private:
  std::string typed_;
};

}  // namespace qvm
