// The browsers' side of the professional search: the hits kept inside the
// current selection, the result set written, and the view switched to it.
#pragma once

#include <cstdint>
#include <vector>

#include "browse/browse_state.h"

namespace qv {

// The hits that lie inside the state's selection (every hit that exists when
// the view is not a selection), in the order given.
std::vector<uint32_t> keepInSelection(const BrowseState& s, const std::vector<uint32_t>& hits);

// The result mode of a kind: 9 for forum and newsgroup, 8 for mail.
int resultMode(int kind);

enum SearchOutcome : int {
  SearchShown = 1,     // the result set was written; the state shows it, at its first hit
  SearchNone = 2,      // nothing left; the state is unchanged
  SearchFellBack = 3,  // nothing left in the result view: " Search failed!" was shown and the state is in mode 1
  SearchFailed = 4,    // the result set could not be written (the user has been told); state unchanged
};

// Steps 3 to 5 of the professional search over the hits of the search
// engine: keeps those inside the selection, writes them as the result set
// (Search, one transaction) and switches the state to the result view with
// the first hit selected.
SearchOutcome applySearchResult(BrowseState& s, const std::vector<uint32_t>& hits);

}  // namespace qv
