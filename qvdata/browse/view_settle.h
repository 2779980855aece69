// Keeps a browser's view in step with the records: the chosen item of the
// view (thread, section, person, key word, topic) read again after a purge,
// a merge or a deletion, and a selection that lost its subject or holds no
// message any more given up for the view of every message.
#pragma once

#include "browse/browse_state.h"

namespace qv {

// The view that lists every message of a kind in its order: the number view
// (forum and newsgroup), the date view (mail).
int numberView(int kind);

// Reads the chosen item of the state's view again (its name and count); an
// item that no longer exists is dropped with its limit. True when it was
// dropped. The items of the other views are left as they are.
bool refreshSubject(BrowseState& s);

// refreshSubject, then: a view that showed a selection and lost its subject,
// or that shows a selection holding no message, becomes the number view.
// True when the view changed to it.
bool settleView(BrowseState& s);

}  // namespace qv
