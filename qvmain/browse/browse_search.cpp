// The professional search from a browser (event 1395): the search window
// runs over the word index; its hits are kept inside the current selection,
// written as the result set and shown in the result view, with the searched
// words marked in the reading pane.
#include <QLocale>
#include <QPointer>
#include <algorithm>

#include "browse/browse_window.h"
#include "browse/pro_search.h"
#include "browse/browse_state.h"
#include "frame/window_host.h"
#include "search/build_search.h"
#include "services/search_result.h"
#include "wordindex/index_status.h"
#include "services/prompt.h"

namespace qvm {

namespace {

// What the search looked for: its phrase as a whole, and the other words it
// looked for one by one (not those it excluded). The phrase's words stand in
// the AND list too; they are marked where the phrase stands, not alone.
qv::SearchMarks searchedMarks(BuildSearch* dlg) {
  qv::SearchMarks marks;
  if (!dlg) return marks;
  qv::WordSearch& s = dlg->search();
  marks.phrase = s.phrase;
  auto inPhrase = [&](const std::string& w) { return std::find(s.phrase.begin(), s.phrase.end(), w) != s.phrase.end(); };
  for (const auto* list : {&s.andList, &s.orList})
    for (const qv::SearchWord& w : *list)
      if (!w.negated && !inPhrase(w.word)) marks.words.push_back(w.word);
  return marks;
}

}  // namespace

QString BrowseWindow::searchScope() const {
  const qv::BrowseState& s = state_;
  if (!qv::isSelection(s)) return QStringLiteral("Searching all messages of the database");
  QLocale loc;
  auto within = [&](const QString& what, int64_t count) {
    return count > 0 ? QStringLiteral("Searching within %1 (%2 messages)").arg(what, loc.toString(qlonglong(count)))
                     : QStringLiteral("Searching within %1").arg(what);
  };
  if (s.mode == qv::resultMode(kind_)) return within(QStringLiteral("the current search result"), qv::searchResultCount());
  const QString name = chosenText();
  switch (modeInfo().entry) {
    case EntryKind::Thread: return within(QStringLiteral("the thread \"%1\"").arg(name), s.threadCount);
    case EntryKind::Section: return within(QStringLiteral("the section \"%1\"").arg(name), s.sectionCount);
    case EntryKind::Sender: return within(QStringLiteral("the messages from %1").arg(name), s.sender.count);
    case EntryKind::Receiver: return within(QStringLiteral("the messages to %1").arg(name), s.receiver.count);
    case EntryKind::Partner: return within(QStringLiteral("the mail exchanged with %1").arg(name), s.partner.count);
    case EntryKind::Word: return within(QStringLiteral("the messages holding the word \"%1\"").arg(name), 0);
    case EntryKind::Topic: return within(QStringLiteral("the messages of the topic \"%1\"").arg(name), 0);
    default: return within(QStringLiteral("the messages shown"), 0);
  }
}

void BrowseWindow::professionalSearch() {
  if (!qv::isWordIndexed()) {
    qv::Message("You cannot use the Professional search if the database is not indexed. Please run Build Word Index "
                "from the Indexing menu.",
                " Database not indexed!", qv::Icon::Exclamation);
    return;
  }
  QPointer<BrowseWindow> self(this);
  auto window = std::make_shared<QPointer<BuildSearch>>();
  // The hits are kept within the selection the browser shows: the window says so.
  buildSearch(this, kind_, [self, window](std::vector<uint32_t> ids) {
    if (self) self->takeSearchHits(ids, searchedMarks(*window));
  }, searchScope());
  const auto open = findChildren<BuildSearch*>();
  if (!open.isEmpty()) *window = open.last();
}

void BrowseWindow::takeSearchHits(const std::vector<uint32_t>& hits, const qv::SearchMarks& marks) {
  // Nothing came back (the search found nothing, or was closed without a
  // search): the window has said so, and the browser stays as it is.
  if (hits.empty()) return;
  qv::BrowseState s = state_;
  switch (qv::applySearchResult(s, hits)) {
    case qv::SearchShown:
      state_ = s;
      resultOffered_ = true;
      resultMarks_ = marks;
      break;
    case qv::SearchNone:
      resultOffered_ = false;
      fillSelector();
      return;
    case qv::SearchFellBack:
      state_ = s;
      resultOffered_ = false;
      resultMarks_ = {};
      break;
    default: return;
  }
  fillSelector();
  relabel();
  rerun(state_.selected);
  if (state_.mode == qv::resultMode(kind_))
    noteInStatusBar(QStringLiteral("Professional Search: %1 messages found")
                        .arg(QLocale().toString(qlonglong(qv::searchResultCount()))));
}

}  // namespace qvm
