// The parser of Pegasus folders (.PMM): Internet messages one after the
// other, each ended by the byte 26 (Ctrl-Z).
//
// A folder file begins with a 128-byte header (the folder's name and its
// identifier, padded with NUL bytes) before the first message; a header
// with a NUL byte in it is passed over, so it never becomes part of the first
// message. Files holding a single message without a header (the new-mail
// files) read as one message.
#include "import/parsers/mail_parser.h"
#include "import/parsers/parsers.h"

namespace qv {

namespace {

constexpr size_t kFolderHeader = 128;
constexpr char kEnd = 26;

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
      if (!mail::blankMessage(raw)) return true;
      if (!ended) return false;  // nothing but blanks up to the end of the file
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
