// The parser of IE Mail, Outlook Express Mail and Netscape Mail files.
//
// IE Mail and Outlook Express Mail (.MBX stores): a file header, then one
// record per message. A record opens with the marker bytes 0, 127, 0, 127,
// then the message's number, the record's size and the text's size (32 bits
// each), then the message as received. The size fields are often wrong (a
// store cut short, an edited store), so records are found by scanning for
// the bytes 127, 0, 127 alone: a message's text runs to the next marker,
// less the NUL bytes that pad it. A pair 127, 0 not followed by 127 is
// dropped from the text. The header block starts at the record's text when
// that begins with a header line; else lines are passed over until one
// begins with "From:", "Date:", "To:" or "Subject:".
// Outlook Express 5 and later keep mail in .dbx stores: a file that begins
// with their signature is read as one (mail_dbx.cpp).
//
// Netscape Mail: every message begins with a line "From - " (the Mozilla
// family also writes "From -" alone and a bare "From ", which start a
// message when a header line follows) and runs to the next one; body lines
// escaped as ">From " lose one ">".
#include "import/parsers/dbx_store.h"
#include "import/parsers/mail_parser.h"
#include "import/parsers/parsers.h"

namespace qv {

namespace {

constexpr int kMark = 127;
constexpr size_t kRecordHeader = 12;  // number, record size, text size after the marker

std::string_view lineAt(std::string_view s, size_t pos, size_t& next) {
  size_t lf = s.find('\n', pos);
  next = lf == std::string_view::npos ? s.size() : lf + 1;
  std::string_view line = s.substr(pos, (lf == std::string_view::npos ? s.size() : lf) - pos);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

// Where the header block of a record's text begins; npos when the text holds
// no message.
size_t headerStart(std::string_view text) {
  size_t next = 0;
  if (mail::headerShaped(lineAt(text, 0, next))) return 0;
  for (size_t pos = 0; pos < text.size(); pos = next) {
    std::string_view line = lineAt(text, pos, next);
    if (mail::messageHeaderBit(line) != 0) return pos;
  }
  return std::string_view::npos;
}

class RecordCutter : public mail::Cutter {
 public:
  bool start(ImportContext&, BlockReader& r) override {
    reader_ = &r;
    return true;
  }

  bool next(std::string& raw) override {
    while (findMarker()) {
      reader_->skip(3 + kRecordHeader);
      mail::MessageBytes message;
      message.begin();
      std::string chunk;
      for (int c; (c = reader_->peek()) >= 0;) {
        if (c == kMark && reader_->peek(1) == 0) {
          if (reader_->peek(2) == kMark) break;  // the next record
          reader_->skip(2);
          continue;
        }
        chunk.push_back(static_cast<char>(reader_->get()));
        if (chunk.size() >= 4096) {
          message.add(chunk);
          chunk.clear();
        }
      }
      message.add(chunk);
      raw = message.take();
      while (!raw.empty() && raw.back() == '\0') raw.pop_back();
      size_t at = headerStart(raw);
      if (at == std::string::npos || mail::blankMessage(std::string_view(raw).substr(at))) continue;
      raw.erase(0, at);
      return true;
    }
    return false;
  }

 private:
  // Moves to the next bytes 127, 0, 127; false at the end of the file.
  bool findMarker() {
    for (int c; (c = reader_->peek()) >= 0; reader_->skip(1))
      if (c == kMark && reader_->peek(1) == 0 && reader_->peek(2) == kMark) return true;
    return false;
  }

  BlockReader* reader_ = nullptr;
};

// Netscape Mail reads by separator lines, the .MBX stores by records, the
// .dbx stores by their index.
class MbxCutter : public mail::Cutter {
 public:
  bool start(ImportContext& ctx, BlockReader& r) override {
    if (std::string_view(ctx.format().name) == "Netscape Mail")
      inner_ = mail::makeSeparatorCutter(mail::mozillaSeparator, true);
    else if (r.startsWith(dbx::kSignature))
      inner_ = mail::makeDbxCutter();
    else
      inner_ = std::make_unique<RecordCutter>();
    return inner_->start(ctx, r);
  }
  bool next(std::string& raw) override { return inner_->next(raw); }
  std::optional<std::string> original(const std::string& raw) override { return inner_->original(raw); }
  int64_t progress(const BlockReader& r) const override { return inner_->progress(r); }
  bool quiet() const override { return inner_->quiet(); }

 private:
  std::unique_ptr<mail::Cutter> inner_;
};

}  // namespace

std::unique_ptr<Parser> makeMailMbxParser() {
  return mail::makeMailParser(std::make_unique<MbxCutter>(), mail::Flavour::Internet);
}

}  // namespace qv
