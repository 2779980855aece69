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
#include <string_view>

#include "import/parsers/ascii_text.h"
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
  static constexpr std::string_view kMessageHeaders[] = {
      "from:", "to:", "cc:", "subject:", "date:", "message-id:", "received:", "return-path:", "sender:",
      "reply-to:", "newsgroups:"};
  size_t pos = raw.find_first_not_of("\r\n");
  for (int n = 0; pos < raw.size() && n < kMaxHeaderLines; ++n) {
    size_t eol = raw.find('\n', pos);
    std::string_view line = raw.substr(pos, eol == std::string_view::npos ? std::string_view::npos : eol - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) return false;  // the header block ended without one
    bool continuation = line[0] == ' ' || line[0] == '\t';
    bool separator = n == 0 && line.substr(0, 5) == "From ";
    if (!continuation && !separator && !mail::headerShaped(line)) return false;
    for (std::string_view h : kMessageHeaders)
      if (ascii::startsWithNoCase(line, h)) return true;
    if (eol == std::string_view::npos) break;
    pos = eol + 1;
  }
  return false;
}

class PegasusCutter : public mail::Cutter {
 public:
  bool start(ImportContext&, BlockReader& r) override {
    reader_ = &r;
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

 private:
  BlockReader* reader_ = nullptr;
};

}  // namespace

std::unique_ptr<Parser> makePegasusParser() {
  return mail::makeMailParser(std::make_unique<PegasusCutter>(), mail::Flavour::Internet);
}

}  // namespace qv
