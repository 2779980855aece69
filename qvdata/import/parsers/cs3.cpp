// The parser of the CompuServe 3.x message cabinet (FCABINET.DAT).
//
// The file begins with "FCAB". Its records each begin with the marker
// "~CS~FCR~" and run to the byte before the next marker (the last one to the
// end of the file). The first pass lists the records longer than 120 bytes;
// the convert calls read them, at most 9 per call. Strings are a length byte
// and that many bytes (at most 75 characters kept), integers little-endian,
// and the date and time one packed 32-bit value (binary_fields.h).
//
// A record from its marker on: the marker and two bytes; a byte that must be
// 0; 93 bytes; the kind (2 forum message, 9 mail); 4 bytes; date and time;
// 4 bytes; seven strings: subject, sender name, sender address, section
// name, forum name, and two one-character strings. Then
//   forum message: 2 bytes; a string; the section number (8 bits); 4 bytes;
//     recipient name and address; 4 bytes; message number (32); reference
//     (32); 10 bytes;
//   mail: a 16-bit count of main recipients and a 16-bit count of copy
//     recipients, each count followed by its entries (name, address);
// and last, in both, when at least 4 bytes remain, a 32-bit text length n and,
// when the text fits in the record, the text of n bytes (else it is empty).
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "import/parsers/binary_fields.h"
#include "import/parsers/block_reader.h"
#include "import/parsers/cis_text.h"
#include "import/parsers/message_record.h"
#include "import/parsers/parsers.h"
#include "services/prompt.h"

namespace qv {

namespace {

using cis::FieldReader;

constexpr std::string_view kCabinet = "FCAB";
// "~CS~FCR~" as the last eight bytes read, the first one highest.
constexpr uint64_t kMarker = 0x7E43537E4643527EULL;
constexpr int64_t kMarkerLength = 8;
constexpr int64_t kShortest = 120;  // records of at most this length hold no message
constexpr int kRecordsPerCall = 9;
constexpr size_t kBytesPerScan = 1000000;  // bytes scanned per first-pass call
constexpr size_t kChars = 75;
// The kinds of record that hold a message.
constexpr uint8_t kRecordForumMessage = 2;
constexpr uint8_t kRecordMail = 9;

struct Record {
  int64_t begin;  // offset of the marker
  int64_t end;    // offset past the last byte
};

class Cs3Parser : public Parser {
 public:
  bool start(ImportContext& ctx) override {
    reader_ = std::make_unique<BlockReader>(ctx.source());
    reader_->rewind();
    records_.clear();
    next_ = 0;
    scanned_ = false;
    scanPos_ = 0;
    window_ = 0;
    lastMarker_ = -1;
    failed_ = false;
    if (!reader_->startsWith(kCabinet)) {
      Message(ctx.filePath() + " is not a CompuServe 3.x file!\r\n" + "This file will be skipped!", "Warning!",
              Icon::Exclamation);
      return false;
    }
    return true;
  }

  bool firstPass(ImportContext& ctx) override {
    if (!reader_) start(ctx);
    if (scanned_) return true;
    BlockReader& r = *reader_;
    r.seek(scanPos_);
    for (size_t n = 0; n < kBytesPerScan; ++n) {
      int c = r.get();
      if (c < 0) {
        if (lastMarker_ >= 0) list(lastMarker_, r.position());
        scanned_ = true;
        ctx.progress(int64_t(n));
        return true;
      }
      window_ = (window_ << 8) | uint64_t(c);
      int64_t at = r.position() - kMarkerLength;
      if (window_ == kMarker && at >= 0) {
        if (lastMarker_ >= 0) list(lastMarker_, at);
        lastMarker_ = at;
      }
    }
    scanPos_ = r.position();
    ctx.progress(int64_t(kBytesPerScan));
    return false;
  }

  bool convert(ImportContext& ctx) override {
    if (!reader_) start(ctx);
    while (!scanned_) firstPass(ctx);
    for (int i = 0; i < kRecordsPerCall && next_ < records_.size() && !failed_; ++i) {
      const Record& rec = records_[next_++];
      readRecord(ctx, rec);
      ctx.progress(1);
    }
    return failed_ || next_ >= records_.size();
  }

 private:
  void list(int64_t begin, int64_t end) {
    if (end - begin > kShortest) records_.push_back({begin, end});
  }

  void readRecord(ImportContext& ctx, const Record& rec) {
    BlockReader& r = *reader_;
    r.seek(rec.begin);
    FieldReader f(r, rec.end);
    f.skip(10);
    // Records that are not messages are passed over without counting.
    if (!f.ok() || f.remaining() < 112 || r.peek() != 0) return;
    f.skip(1);
    f.skip(32);
    f.skip(52);
    f.skip(9);
    uint8_t kind = f.byte();
    if (!f.ok() || (kind != kRecordForumMessage && kind != kRecordMail)) return;

    f.skip(4);
    MessageFields m;
    cis::PackedDateTime when = cis::unpackDateTime(f.u32());
    m.date = when.date;
    m.time = when.time;
    f.skip(4);
    if (!f.ok() || f.remaining() < 50) return ctx.skip();
    std::string subject = f.string(255);
    m.senderName = f.string(kChars);
    m.senderAddress = f.string(kChars);
    m.sectionName = f.string(kChars);
    m.forum = cis::forumName(f.string(kChars));
    f.string(kChars);
    f.string(kChars);
    if (!f.ok()) return ctx.skip();
    if (kind == kRecordForumMessage) {
      m.subject = cis::cutChars(subject, kChars);
      readForumMessage(ctx, f, m);
    } else {
      m.subject = cis::cutChars(cis::withoutCopyOf(subject), kChars);
      readMail(ctx, f, m);
    }
  }

  // The text at the end of a record: a 32-bit length and the text, when both
  // are there; an empty text otherwise.
  static std::string recordText(FieldReader& f) {
    if (!f.has(4)) return {};
    uint32_t length = f.u32();
    if (!f.has(length)) return {};
    return f.text(length, true);
  }

  // The rest of a forum message's record; `m` holds the fields before it.
  void readForumMessage(ImportContext& ctx, FieldReader& f, MessageFields& m) {
    if (!ctx.settings().importForum || m.forum.empty()) return ctx.skip();
    Target* t = ctx.target(m.forum, KindForumDb);
    if (t == nullptr) return ctx.skip();
    f.skip(2);
    f.string(kChars);
    m.section = f.byte();
    f.skip(4);
    m.recipientName = f.string(kChars);
    m.recipientAddress = f.string(kChars);
    f.skip(4);
    m.number = f.u32();
    m.parent = cis::olderParent(f.u32(), m.number);
    f.skip(10);
    if (!f.ok() || !cis::validMessageNumber(m.number)) return ctx.skip();
    if (const char* why = forumSkipReason(ctx, t, m.number)) return ctx.skip(why);
    m.text = recordText(f);
    if (!f.ok()) return ctx.skip();
    if (!emitForumMessage(ctx, *t, m)) failed_ = true;
  }

  // The rest of a mail's record; `m` holds the fields before it, the sender
  // address as stored.
  void readMail(ImportContext& ctx, FieldReader& f, MessageFields& m) {
    if (!ctx.settings().importMail) return ctx.skip();
    Target* box = ctx.mailbox();
    if (box == nullptr || ctx.creationOnly()) return ctx.skip();
    // Entries of a name and an address.
    std::vector<Recipient> to, copies;
    cis::readRecipients(f, f.u16(), kChars, 0, "TO", to);
    cis::readRecipients(f, f.u16(), kChars, 0, "CC", copies);
    m.text = recordText(f);
    if (!f.ok()) return ctx.skip();

    std::string rawSender = std::move(m.senderAddress);
    m.senderAddress = cis::withoutInternetPrefix(rawSender);
    m.senderName = cis::senderName(std::move(m.senderName), rawSender, m.senderAddress);
    if (!to.empty()) {
      m.recipientName = to.front().name;
      m.recipientAddress = to.front().address;
    }
    // Mail without a sender address was written by the owner; its recipient
    // address is lower-cased as that of a sent mail.
    bool unsent = m.senderAddress.empty();
    if (unsent) {
      for (char& c : m.recipientAddress)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    }
    if (!emitMail(ctx, *box, unsent ? MailSent : DirectionUndecided, m)) {
      failed_ = true;
      return;
    }
    // Further main recipients keep their type; copies are "CC".
    if (!emitCarbonCopies(ctx, m.number, to, 1) || !emitCarbonCopies(ctx, m.number, copies, 0)) failed_ = true;
  }

  std::unique_ptr<BlockReader> reader_;
  std::vector<Record> records_;
  size_t next_ = 0;
  bool scanned_ = false;
  int64_t scanPos_ = 0;
  uint64_t window_ = 0;     // the last eight bytes scanned
  int64_t lastMarker_ = -1;  // offset of the last marker found
  bool failed_ = false;      // a temporary record could not be written
};

}  // namespace

std::unique_ptr<Parser> makeCs3Parser() { return std::make_unique<Cs3Parser>(); }

}  // namespace qv
