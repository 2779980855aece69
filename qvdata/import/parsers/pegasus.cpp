// The parser of Pegasus folders (.PMM): Internet messages one after the
// other, each ended by the byte 26 (Ctrl-Z).
//
// A folder file begins with a 128-byte header (the folder's name and its
// identifier, padded with NUL bytes) before the first message; a header
// with a NUL byte in it is passed over, so it never becomes part of the first
// message. Files holding a single message without a header (the new-mail
// files) read as one message. A piece between two end bytes is a message
// only when it begins with a header block that holds one of the headers
// every message has (From:, Received:, Subject: ...); anything else (a
// file of other data read as a folder) is passed over, so such a file holds
// no message.
//
// Pegasus keeps some folders in the Unix layout instead (".MBX", its name
// in a ".PMG" file beside it): no header, each message opened by a mailbox
// separator line ("From ???@???" and a date). A file that begins with such a
// line is read in that layout, a message from each separator followed by a
// header line to the next.
#include <string_view>

#include "import/parsers/mail_parser.h"
#include "import/parsers/parsers.h"

namespace qv {

namespace {

constexpr size_t kFolderHeader = 128;
constexpr char kEnd = 26;
constexpr int kMaxHeaderLines = 200;  // lines of a header block looked at

// Whether the bytes begin (after empty lines) with a header block, or a
// mailbox separator line and a header block, holding a message header.
bool messageLike(std::string_view raw) {
  size_t pos = raw.find_first_not_of("\r\n");
  for (int n = 0; pos < raw.size() && n < kMaxHeaderLines; ++n) {
    size_t eol = raw.find('\n', pos);
    std::string_view line = raw.substr(pos, eol == std::string_view::npos ? std::string_view::npos : eol - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) return false;  // the header block ended without one
    bool continuation = line[0] == ' ' || line[0] == '\t';
    bool separator = n == 0 && line.substr(0, 5) == "From ";
    if (mail::messageHeaderLine(line)) return true;
    if (!continuation && !separator && !mail::headerShaped(line)) return false;
    if (eol == std::string_view::npos) break;
    pos = eol + 1;
  }
  return false;
}

// A folder in the Unix layout: the file begins with a separator line.
bool unixLayout(BlockReader& r) { return r.startsWith("From "); }

class PegasusCutter : public mail::Cutter {
 public:
  bool start(ImportContext& ctx, BlockReader& r) override {
    reader_ = &r;
    unix_.reset();
    if (unixLayout(r)) {
      unix_ = mail::makeSeparatorCutter(mail::mboxSeparator, false);
      return unix_->start(ctx, r);
    }
    for (size_t i = 0; i < kFolderHeader; ++i) {
      int c = r.peek(i);
      if (c < 0) break;
      if (c == 0) {
        r.skip(kFolderHeader);
        break;
      }
    }
    return true;
  }

  bool next(std::string& raw) override {
    if (unix_) return unix_->next(raw);
    for (;;) {
      mail::MessageBytes message;
      message.begin();
      bool ended = false;
      std::string chunk;
      while (!ended) {
        chunk.clear();
        // Up to the next end byte, a few thousand bytes at a time.
        int c;
        while (chunk.size() < 4096 && (c = reader_->get()) >= 0) {
          if (c == kEnd) {
            ended = true;
            break;
          }
          chunk.push_back(static_cast<char>(c));
        }
        message.add(chunk);
        if (!ended && chunk.size() < 4096) break;  // the end of the file
      }
      raw = message.take();
      if (messageLike(raw)) return true;
      if (!ended) return false;  // no message up to the end of the file
    }
  }

  std::optional<std::string> original(const std::string& raw) override {
    return unix_ ? unix_->original(raw) : std::optional<std::string>(raw);
  }
  bool classicMac() const override { return unix_ && unix_->classicMac(); }

 private:
  BlockReader* reader_ = nullptr;
  std::unique_ptr<mail::Cutter> unix_;  // the reader of a folder in the Unix layout
};

}  // namespace

std::unique_ptr<Parser> makePegasusParser() {
  return mail::makeMailParser(std::make_unique<PegasusCutter>(), mail::Flavour::Internet);
}

}  // namespace qv
