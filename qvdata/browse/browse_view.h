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
#include <functional>
#include <memory>
#include <vector>

#include "browse/browse_state.h"
#include "storage/file.h"
#include "storage/record.h"

namespace qv {

class BrowseView {
 public:
  explicit BrowseView(const BrowseState& s);

  // The first / last message of the view in its order; false when the view is empty.
  bool toFirst();
  bool toLast();
  // Positions on message `id` when the view holds it.
  bool toMessage(uint32_t id);
  // Locators: the number view (forum mode 1) and the key word, topic and
  // result views position at the nearest message number in their order
  // (the number itself, else the next one in the view's order), the date
  // views (forum 6, mail 1) at the nearest date. False when the view is
  // empty. In other views seekNumber positions at
  // that message when the view holds it, and seekDate at the first message.
  bool seekNumber(uint32_t number);
  bool seekDate(int32_t date);

  // One message on (previous: back) in the view's order. At the end of the
  // view they return false and the position stays where it was.
  bool next();
  bool previous();

  // The message at the position; 0 when there is none.
  uint32_t current() const { return current_; }

  // Up to n message numbers following (forward) or preceding the position,
  // nearest first; the position does not move. Without a position: the
  // view's first (last) n messages.
  std::vector<uint32_t> fetch(int n, bool forward);

  // True when message `id` belongs to the view (used to keep only the hits
  // of a professional search that lie inside the current selection).
  bool holds(uint32_t id);

  const BrowseState& state() const { return state_; }

 private:
  // The view's file and key, the limit (its values put into the file's
  // buffer; the number of key components it fixes, 0 for none, -1 when the
  // view can hold nothing), and whether the buffer's record is inside it.
  File& file() const;
  Key key() const;
  int putLimit() const;
  bool inLimit() const;
  bool indexView() const;
  // The message of the buffer's record; with an index view it is read too
  // (false when it does not exist).
  uint32_t recordMessage() const;
  void putRecordMessage(uint32_t id) const;
  bool seekIndexed(uint32_t number);
  // Steps from the current record (or from the limit's start / end when
  // `fresh`) to the next record of the view that names an existing message;
  // calls `take` with it until `take` returns false.
  void walk(bool forward, bool fresh, const std::function<bool(uint32_t)>& take);
  bool land(bool forward, bool fresh);
  void restoreCurrent();

  BrowseState state_;
  uint32_t current_ = 0;
  RecordImage image_;            // the view file's record at the position
  std::shared_ptr<void> files_;  // keeps the view's files open while a copy of the view lives
};

}  // namespace qv
