#include "import/parsers/mail_parts.h"

#include "import/parsers/ascii_text.h"
#include "import/parsers/mail_lines.h"
#include "mime/content_type.h"

namespace qv::mail {

namespace {

constexpr size_t kMaxBoundaries = 64;
// A forwarded message whose closing boundary or end marker never comes (a
// message cut short) holds at most this much: past it, separators start
// messages again, so a broken message cannot swallow the rest of the store.
constexpr size_t kMaxForwarded = 1u << 20;
constexpr std::string_view kIncludedBegin = "----- Begin Included Message -----";
constexpr std::string_view kIncludedEnd = "----- End Included Message -----";

bool blank(std::string_view s) { return s.find_first_not_of(" \t\r") == std::string_view::npos; }

}  // namespace

void PartTracker::begin() {
  state_ = State::MessageHeader;
  boundaries_.clear();
  closed_.clear();
  sinceBoundary_ = 0;
  contentType_.clear();
  inContentType_ = headerSeen_ = included_ = false;
  forwardedBytes_ = 0;
}

int PartTracker::boundaryLine(std::string_view text, bool& closing) const {
  if (text.size() < 3 || text[0] != '-' || text[1] != '-') return -1;
  for (size_t i = 0; i < boundaries_.size(); ++i) {
    const std::string& b = boundaries_[i];
    if (text.compare(2, b.size(), b) != 0) continue;
    std::string_view rest = text.substr(2 + b.size());
    closing = rest.substr(0, 2) == "--";
    if (blank(closing ? rest.substr(2) : rest)) return int(i);
  }
  return -1;
}

bool PartTracker::insideParts() const {
  if (state_ == State::Forwarded) return true;
  if (sinceBoundary_ > kMaxForwarded) return false;
  for (bool closed : closed_)
    if (!closed) return true;
  return false;
}

void PartTracker::endHeader() {
  std::string type = contentType_.empty() ? std::string() : mime::mediaType(contentType_);
  if (type.rfind("multipart/", 0) == 0 && boundaries_.size() < kMaxBoundaries) {
    std::string b = mime::contentTypeParameter(contentType_, "boundary");
    if (!b.empty()) {
      boundaries_.push_back(std::move(b));
      closed_.push_back(false);
    }
  }
  bool forwarded = state_ == State::PartHeader && type == "message/rfc822";
  state_ = forwarded ? State::Forwarded : State::Body;
  included_ = false;
  forwardedBytes_ = 0;
  contentType_.clear();
  inContentType_ = headerSeen_ = false;
}

void PartTracker::line(std::string_view text) {
  bool closing = false;
  sinceBoundary_ += text.size() + 1;
  int boundary = state_ == State::MessageHeader || (state_ == State::Forwarded && included_) ? -1
                                                                                              : boundaryLine(text, closing);
  if (boundary >= 0) {
    if (state_ == State::PartHeader) endHeader();
    state_ = closing ? State::Body : State::PartHeader;
    sinceBoundary_ = 0;
    // Closing a multipart closes the ones inside it.
    if (closing)
      for (size_t i = size_t(boundary); i < closed_.size(); ++i) closed_[i] = true;
    return;
  }
  switch (state_) {
    case State::MessageHeader:
    case State::PartHeader:
      if (text.empty()) {
        endHeader();
      } else if ((text[0] == ' ' || text[0] == '\t') && headerSeen_) {
        if (inContentType_) contentType_.append(" ").append(text);
      } else if (headerShaped(text)) {
        inContentType_ = ascii::startsWithNoCase(text, "content-type:");
        if (inContentType_) contentType_.assign(text.substr(13));
        headerSeen_ = true;
      } else if (!(state_ == State::MessageHeader && !headerSeen_ && text.substr(0, 5) == "From ")) {
        endHeader();  // a header block without its empty line
      }
      return;
    case State::Body:
      if (text == kIncludedBegin) {
        state_ = State::Forwarded;
        included_ = true;
        forwardedBytes_ = 0;
      }
      return;
    case State::Forwarded:
      forwardedBytes_ += text.size() + 1;
      if ((included_ && text == kIncludedEnd) || forwardedBytes_ > kMaxForwarded) {
        state_ = State::Body;
        included_ = false;
      }
      return;
  }
}

}  // namespace qv::mail
