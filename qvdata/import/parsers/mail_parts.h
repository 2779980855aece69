// The MIME parts of a mailbox message followed line by line while a store is
// cut into messages, to tell the lines that stand inside a forwarded message:
// the content of a message/rfc822 part, or a message pasted between
// "----- Begin Included Message -----" and "----- End Included Message -----".
// There a mailbox separator line or a header block is the forwarded message's
// own (a mailbox attached as a part holds several), not the start of the
// next message of the store.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qv::mail {

class PartTracker {
 public:
  // A new message begins: its header block (after its separator line) follows.
  void begin();
  // Each line of the message in order, without its line end.
  void line(std::string_view text);
  // True when the lines now stand inside a forwarded message.
  bool inForwardedMessage() const { return state_ == State::Forwarded; }
  // True when the lines now stand inside a part of a multipart whose closing
  // boundary has not come yet (a digest, a delivery report, a message with
  // attachments), or inside a forwarded message. A multipart whose next
  // boundary line does not come within a megabyte (a message cut short) is
  // no longer taken for open.
  bool insideParts() const;

 private:
  enum class State { MessageHeader, Body, PartHeader, Forwarded };
  void endHeader();
  // The boundary (its index) of a boundary line, -1 for other lines.
  int boundaryLine(std::string_view text, bool& closing) const;

  State state_ = State::Body;
  std::vector<std::string> boundaries_;  // of the message's multiparts
  std::vector<bool> closed_;             // their closing boundary has come
  size_t sinceBoundary_ = 0;             // bytes read since the last boundary line
  std::string contentType_;              // of the header block being read
  bool inContentType_ = false;
  bool headerSeen_ = false;
  bool included_ = false;       // the forwarded message is pasted, not a part
  size_t forwardedBytes_ = 0;   // read inside the forwarded message so far
};

}  // namespace qv::mail
