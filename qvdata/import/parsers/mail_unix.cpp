// The parser of Unix Mail, Becky Mail and Agent Mail files, Maildir messages
// and saved .eml files.
//
// A message begins at a mailbox separator line followed by a header line
// (mail_lines.h, mboxSeparator: the asctime forms with or without an "@",
// the Mozilla forms), or, where no message has begun yet, at a header block:
// a run of lines from a recognised header line (mail_lines.h, unixHeaderLine)
// to the first empty line. A file that begins with a header block holding a
// message's header (mail_lines.h, messageHeaderLine) is a message (a Maildir
// file, a saved .eml), kept whole from its first line; text before a first
// message is passed over up to a separator or a block that holds at least
// three of "From:", "Date:", "To:" and "Subject:".
//
// Once a message has begun, only the store's own separator ends it: a
// separator line, or in a Becky folder its end line (below). A header block
// inside a message (a forwarded message, a digest, a delivery report's
// returned headers, a quoted header) is its text, however many message
// headers it holds: a file that holds one message is one message. A
// separator inside a forwarded message (a message/rfc822 part, a pasted
// "Begin Included Message") is that message's own and stays in the message
// that forwards it (mail_parts.h). In a file whose first message begins at a
// separator, body lines escaped as ">From " lose one ">".
//
// Becky folders end each message with a line holding a single "." and
// dot-stuff its lines (a line that begins with "." is written with one dot
// more): such a line, followed by the end of the file or a header line, ends
// the message, and the message's lines lose their stuffed dot; the header
// block after it begins the next message. A "." line followed by anything
// else is text.
#include "import/parsers/mail_parser.h"
#include "import/parsers/mail_parts.h"
#include "import/parsers/parsers.h"

namespace qv {

namespace {

using mail::MailLine;

int bitCount(unsigned bits) {
  int n = 0;
  for (; bits; bits &= bits - 1) ++n;
  return n;
}

constexpr const char* kBeckyFormat = "Becky Mail";

// A dot-stuffed message as it was before stuffing: every line that begins
// with "." loses one dot.
std::string unstuffDots(std::string raw) {
  std::string out;
  out.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '.' && (i == 0 || raw[i - 1] == '\n')) continue;
    out += raw[i];
  }
  return out;
}

class HeaderBlockCutter : public mail::Cutter {
 public:
  bool start(ImportContext& ctx, BlockReader& r) override {
    dotEnded_ = std::string_view(ctx.format().name) == kBeckyFormat;
    lines_ = std::make_unique<mail::MailLines>(r);
    message_.clear();
    atStart_ = true;
    mboxMode_ = false;
    seenMessage_ = false;
    return true;
  }

  bool next(std::string& raw) override {
    MailLine line;
    while (lines_->next(line)) {
      if (dotEnded_ && message_.started() && endLine(line)) {
        atStart_ = true;  // the next message's first header line starts it
        raw = unstuffDots(message_.take());
        original_ = message_.takeOriginal();
        if (original_) original_ = unstuffDots(std::move(*original_));
        if (!mail::blankMessage(raw)) return true;
        continue;
      }
      bool first = atStart_ && line.start;
      if (!line.blank()) atStart_ = false;
      // Inside a forwarded message its separator is its own.
      bool forwarded = message_.started() && parts_.inForwardedMessage();
      if (line.start && !forwarded) {
        bool separator = line.ended && mail::mboxSeparator(line.text, lines_->peek());
        // A header block begins a message only where none has begun.
        bool candidate =
            separator || (!message_.started() && !mboxMode_ &&
                          (mail::unixHeaderLine(line.text) ||
                           (first && (mail::headerShaped(line.text) || mail::messageHeaderLine(line.text)))));
        if (candidate) {
          BlockHeaders held = readBlock(line, separator);
          bool boundary = separator || bitCount(held.four) >= 3 || (first && (held.four != 0 || held.message));
          if (!boundary) continue;  // text before the first message
          if (separator && !seenMessage_) mboxMode_ = true;
          seenMessage_ = true;
          bool had = message_.started();
          if (had) {
            raw = message_.take();
            original_ = message_.takeOriginal();
            if (original_ && separator) mail::dropSeparatorBlank(*original_);
          }
          message_.begin();
          message_.add(block_);
          parts_.begin();
          followParts(block_.bytes());
          if (had) return true;
          continue;
        }
      }
      if (!message_.started()) continue;
      if (mboxMode_ && line.start) mail::unescapeFrom(line.text);
      message_.addLine(line.text, line.ended, line.eol);
      if (line.start) parts_.line(line.text);
    }
    if (!message_.started()) return false;
    raw = message_.take();
    original_ = message_.takeOriginal();
    if (original_ && mboxMode_) mail::dropSeparatorBlank(*original_);
    return !mail::blankMessage(raw);
  }

  std::optional<std::string> original(const std::string&) override { return std::move(original_); }

 private:
  // The message headers a header block holds: which of the four (bits of
  // messageHeaderBit) and whether any header only a message has.
  struct BlockHeaders {
    unsigned four = 0;
    bool message = false;
  };

  // Hands the lines of a block to the part tracker.
  void followParts(std::string_view bytes) {
    size_t pos = 0;
    while (pos < bytes.size()) {
      size_t eol = bytes.find('\n', pos);
      if (eol == std::string_view::npos) eol = bytes.size();
      std::string_view l = bytes.substr(pos, eol - pos);
      if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
      parts_.line(l);
      pos = eol + 1;
    }
  }

  // Reads the header block that begins with `first` into block_, up to and
  // with its empty line; a separator line ends it too (and is left for the
  // next message). Returns the message headers it holds. A block that
  // begins with a separator line has its original begin after it.
  BlockHeaders readBlock(const MailLine& first, bool separator) {
    block_.begin();
    block_.addLine(first.text, first.ended, first.eol);
    if (separator) block_.restartOriginal();
    BlockHeaders held;
    auto note = [&held](std::string_view text) {
      held.four |= mail::messageHeaderBit(text);
      held.message = held.message || mail::messageHeaderLine(text);
    };
    note(first.text);
    MailLine line;
    while (lines_->next(line)) {
      if (line.start && line.ended && mail::mboxSeparator(line.text, lines_->peek())) {
        lines_->unget(std::move(line));
        break;
      }
      block_.addLine(line.text, line.ended, line.eol);
      if (line.blank()) break;
      if (line.start) note(line.text);
    }
    return held;
  }

  // The "." line that ends a message of a dot-stuffing store: the end of
  // the file or a header line follows it.
  bool endLine(const MailLine& line) {
    if (!line.start || !line.ended || line.text != ".") return false;
    const MailLine* next = lines_->peek();
    return next == nullptr || (next->start && mail::headerShaped(next->text));
  }

  std::unique_ptr<mail::MailLines> lines_;
  mail::MessageBytes message_;
  mail::MessageBytes block_;
  std::optional<std::string> original_;
  mail::PartTracker parts_;  // the MIME parts of the current message
  bool atStart_ = true;      // nothing but empty lines read so far
  bool mboxMode_ = false;    // the first message began at a separator
  bool seenMessage_ = false;
  bool dotEnded_ = false;    // a Becky folder: "." ends a message, lines are dot-stuffed
};

}  // namespace

std::unique_ptr<Parser> makeMailUnixParser() {
  return mail::makeMailParser(std::make_unique<HeaderBlockCutter>(), mail::Flavour::Internet);
}

}  // namespace qv
