#include "browse/pro_search.h"

#include "browse/browse_view.h"
#include "services/prompt.h"
#include "storage/errors.h"
#include "wordindex/search.h"

namespace qv {

std::vector<uint32_t> keepInSelection(const BrowseState& s, const std::vector<uint32_t>& hits) {
  if (!isSelection(s)) return hits;
  BrowseView view(s);
  std::vector<uint32_t> kept;
  for (uint32_t id : hits)
    if (view.holds(id)) kept.push_back(id);
  return kept;
}

int resultMode(int kind) { return kind == KindMailDb ? int(MmResult) : int(FmResult); }

SearchOutcome applySearchResult(BrowseState& s, const std::vector<uint32_t>& hits) {
  std::vector<uint32_t> kept = hits.empty() ? hits : keepInSelection(s, hits);
  if (kept.empty()) {
    if (s.mode != resultMode(s.kind)) return SearchNone;
    Message("No messages found!", " Search failed!", Icon::Exclamation);
    s.mode = 1;
    return SearchFellBack;
  }
  if (!writeSearchFile(kept)) {
    // The old set may be gone: the view is not switched to a set that was not written.
    Message("The search result could not be stored:\r\n" + ErrorText(), " Search failed!", Icon::Exclamation);
    return SearchFailed;
  }
  BrowseState next = s;
  next.mode = resultMode(s.kind);
  BrowseView view(next);
  next.selected = view.toFirst() ? view.current() : 0;
  s = next;
  return SearchShown;
}

}  // namespace qv
