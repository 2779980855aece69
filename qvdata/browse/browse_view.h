// A browser view walked as a key order with a range limit: the messages of
// one view in the order the list shows them. The list, the text find and the
// professional search's intersection walk views through this one class, so
// that they agree on what a view holds.
//
// Positions are message numbers: every view holds a message at most once.
// The walk reads the view's own file (MsgNmbr, Mail, MasIdx, SIndex or
// Search) and leaves the message's header record (MSG or MAI) in its buffer
// after every successful move.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "browse/browse_state.h"

namespace qv {

class BrowseView {
 public:
  explicit BrowseView(const BrowseState& s);

  // The first / last message of the view in its order; false when the view is empty.
  bool toFirst();
  bool toLast();
  // Positions on message `id` when the view holds it.
  bool toMessage(uint32_t id);
  // Locators: the number view (forum mode 1) positions at the nearest
  // message number, the date views (forum 6, mail 1) at the nearest date.
  // False when the view is empty.
  bool seekNumber(uint32_t number);
  bool seekDate(int32_t date);

  // One message on (previous: back) in the view's order. At the end of the
  // view they return false and the position stays where it was.
  bool next();
  bool previous();

  // The message at the position; 0 when there is none.
  uint32_t current() const { return current_; }

  // Up to n message numbers following (forward) or preceding the position,
  // nearest first; the position does not move.
  std::vector<uint32_t> fetch(int n, bool forward);

  // True when message `id` belongs to the view (used to keep only the hits
  // of a professional search that lie inside the current selection).
  bool holds(uint32_t id);

  const BrowseState& state() const { return state_; }

 private:
  // The view's walk: file, key, components of the limit, and the stored
  // position of the current record in it (the walk is set anew before each
  // move, so views never disturb each other's walks).
  bool seekLimit();
  bool step(bool forward);
  bool inView();
  uint32_t recordMessage();
  bool messageExists(uint32_t id);
  bool moveTo(bool forward, bool fromEnd);

  BrowseState state_;
  uint32_t current_ = 0;
  int64_t pos_ = 0;
  std::shared_ptr<void> files_;  // keeps the view's files open while a copy of the view lives
};

}  // namespace qv
