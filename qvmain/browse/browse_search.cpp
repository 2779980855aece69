// The professional search from a browser (event 1395): the search window
// runs over the word index; its hits are kept inside the current selection,
// written as the result set and shown in the result view, with the searched
// words marked in the reading pane.
#include <QPointer>

#include "browse/browse_window.h"
#include "browse/pro_search.h"
#include "dictionary/dictionary.h"
#include "browse/browse_files.h"
#include "search/build_search.h"
#include "services/prompt.h"

namespace qvm {

namespace {

// The words the search looked for (not those it excluded).
std::vector<std::string> searchedWords(BuildSearch* dlg) {
  std::vector<std::string> words;
  if (!dlg) return words;
  qv::WordSearch& s = dlg->search();
  for (const auto* list : {&s.andList, &s.orList})
    for (const qv::SearchWord& w : *list)
      if (!w.negated) words.push_back(w.word);
  for (const std::string& w : s.phrase) words.push_back(w);
  return words;
}

}  // namespace

void BrowseWindow::professionalSearch() {
  bool indexed = false;
  {
    auto use = qv::useFiles({29});
    indexed = qv::MasIdx.records() > 0;
  }
  if (!indexed) {
    qv::Message("You cannot use the Professional search if the database is not indexed. Please run Build Word Index "
                "from the Indexing menu.",
                " Database not indexed!", qv::Icon::Exclamation);
    return;
  }
  QPointer<BrowseWindow> self(this);
  auto window = std::make_shared<QPointer<BuildSearch>>();
  buildSearch(this, kind_, [self, window](std::vector<uint32_t> ids) {
    if (self) self->takeSearchHits(ids, searchedWords(*window));
  });
  const auto open = findChildren<BuildSearch*>();
  if (!open.isEmpty()) *window = open.last();
}

void BrowseWindow::takeSearchHits(const std::vector<uint32_t>& hits, const std::vector<std::string>& words) {
  // Nothing came back (the search found nothing, or was closed without a
  // search): the window has said so, and the browser stays as it is.
  if (hits.empty()) return;
  qv::BrowseState s = state_;
  switch (qv::applySearchResult(s, hits)) {
    case qv::SearchShown:
      state_ = s;
      resultOffered_ = true;
      resultWords_ = words;
      break;
    case qv::SearchNone:
      resultOffered_ = false;
      fillSelector();
      return;
    case qv::SearchFellBack:
      state_ = s;
      resultOffered_ = false;
      resultWords_.clear();
      break;
    default: return;
  }
  fillSelector();
  relabel();
  rerun(state_.selected);
}

}  // namespace qvm
