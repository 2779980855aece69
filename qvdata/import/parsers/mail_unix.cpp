// The parser of Unix Mail, Becky Mail and Agent Mail files: messages are
// told apart by their header blocks.
//
// A header block is a run of lines from a recognised header line (mail_lines.h,
// unixHeaderLine) to the first empty line. A block that holds at least three
// of "From:", "Date:", "To:" and "Subject:" starts a new message and ends the
// one before; a block with fewer is text of the current message. Text before
// the first message is passed over.
//
// Real mailboxes need more than that, so besides:
// - an mbox separator line followed by a header line (mail_lines.h,
//   mboxSeparator: the asctime forms with or without an "@", the Mozilla
//   forms) starts a message whatever its header block holds, and is never
//   kept as text of the message before it;
// - in a file whose first message begins at such a separator, only
//   separators start messages: a header block inside a message (a forwarded
//   message, a digest, a quoted header) stays its text, and body lines
//   escaped as ">From " lose one ">";
// - a file that begins with a header block holding at least one of the four
//   headers is a message (a Maildir file, a saved .eml), and its header
//   block is kept whole from its first line.
// A separator or header block inside a forwarded message (a message/rfc822
// part, a pasted "Begin Included Message") is that message's own and stays
// in the message that forwards it (mail_parts.h).
// Becky folders end each message with a line holding a single "." and
// dot-stuff its lines (a line that begins with "." is written with one dot
// more): such a line, followed by the end of the file or a header line, ends
// the message, and the message's lines lose their stuffed dot. A "." line
// followed by anything else is text.
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
      // Inside a forwarded message its separator and header block are its own.
      bool forwarded = message_.started() && parts_.inForwardedMessage();
      if (line.start && !forwarded) {
        bool separator = line.ended && mail::mboxSeparator(line.text, lines_->peek());
        bool candidate = separator || (!mboxMode_ && (mail::unixHeaderLine(line.text) ||
                                                      (first && mail::headerShaped(line.text))));
        if (candidate) {
          unsigned bits = readBlock(line, separator);
          bool boundary = separator || bitCount(bits) >= 3 || (first && bits != 0);
          if (!boundary) {
            if (message_.started()) {
              message_.add(block_);
              followParts(block_.bytes());
            }
            continue;
          }
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
  // next message). Returns which of the four message headers it holds. A
  // block that begins with a separator line has its original begin after it.
  unsigned readBlock(const MailLine& first, bool separator) {
    block_.begin();
    block_.addLine(first.text, first.ended, first.eol);
    if (separator) block_.restartOriginal();
    unsigned bits = mail::messageHeaderBit(first.text);
    MailLine line;
    while (lines_->next(line)) {
      if (line.start && line.ended && mail::mboxSeparator(line.text, lines_->peek())) {
        lines_->unget(std::move(line));
        break;
      }
      block_.addLine(line.text, line.ended, line.eol);
      if (line.blank()) break;
      if (line.start) bits |= mail::messageHeaderBit(line.text);
    }
    return bits;
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
