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

#include "dictionary/dictionary.h"
#include "import/parsers/binary_fields.h"
#include "import/parsers/block_reader.h"
#include "import/parsers/cis_text.h"
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

bool validNumber(uint32_t n) { return n >= 1 && n <= cis::kMaxMessageNumber; }

struct Record {
  int64_t begin;  // offset of the marker
  int64_t end;    // offset past the last byte
};

struct Party {
  std::string name;
  std::string address;
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
    if (!f.ok() || (kind != 2 && kind != 9)) return;

    f.skip(4);
    cis::PackedDateTime when = cis::unpackDateTime(f.u32());
    f.skip(4);
    if (!f.ok() || f.remaining() < 50) return ctx.skip();
    std::string subject = f.string(255);
    std::string sName = f.string(kChars);
    std::string sAddr = f.string(kChars);
    std::string sectionName = f.string(kChars);
    std::string forum = cis::forumName(f.string(kChars));
    f.string(kChars);
    f.string(kChars);
    if (!f.ok()) return ctx.skip();
    if (kind == 2)
      readForumMessage(ctx, f, when, cis::cutChars(subject, kChars), sName, sAddr, sectionName, forum);
    else
      readMail(ctx, f, when, cis::cutChars(cis::withoutCopyOf(subject), kChars), sName, sAddr);
  }

  // The text at the end of a record: a 32-bit length and the text, when both
  // are there; an empty text otherwise.
  static std::string recordText(FieldReader& f) {
    if (!f.has(4)) return {};
    uint32_t length = f.u32();
    if (!f.has(length)) return {};
    return f.text(length, true);
  }

  void readForumMessage(ImportContext& ctx, FieldReader& f, const cis::PackedDateTime& when,
                        const std::string& subject, const std::string& sName, const std::string& sAddr,
                        const std::string& sectionName, const std::string& forum) {
    if (!ctx.settings().importForum || forum.empty()) return ctx.skip();
    Target* t = ctx.target(forum, 1);
    if (t == nullptr) return ctx.skip();
    f.skip(2);
    f.string(kChars);
    uint8_t section = f.byte();
    f.skip(4);
    std::string rName = f.string(kChars);
    std::string rAddr = f.string(kChars);
    f.skip(4);
    uint32_t number = f.u32();
    uint32_t reference = f.u32();
    f.skip(10);
    if (!f.ok() || !validNumber(number)) return ctx.skip();
    if (ctx.creationOnly() || ctx.alreadyImported(t->id, number)) return ctx.skip();
    std::string text = recordText(f);
    if (!f.ok()) return ctx.skip();

    NHR = ImpHeaderRec();
    NHR.INTERNAL = t->id;
    NHR.MSGNUMBER = number;
    NHR.REFNUMBER = reference > 0 && reference < number ? reference : 0;
    NHR.FOR_DESCRIPTION = forum;
    NHR.SECTIONNUMBER = section;
    NHR.SEC_DESCRIPTION = sectionName;
    NHR.HEADING = subject;
    NHR.S_NAME = sName;
    NHR.S_CISADRESS = sAddr;
    NHR.R_NAME = rName;
    NHR.R_CISADRESS = rAddr;
    NHR.DATE = when.date;
    NHR.TIME = when.time;
    NHR.MAILTYPE = 0;
    NHR.MSGTEXT = std::move(text);
    if (!ctx.emit()) failed_ = true;
  }

  static void readParties(FieldReader& f, std::vector<Party>& out) {
    size_t count = f.u16();
    for (size_t i = 0; i < count && f.ok(); ++i) {
      Party p;
      p.name = f.string(kChars);
      p.address = cis::withoutInternetPrefix(f.string(kChars));
      if (f.ok()) out.push_back(std::move(p));
    }
  }

  void readMail(ImportContext& ctx, FieldReader& f, const cis::PackedDateTime& when, const std::string& subject,
                std::string sName, const std::string& rawSender) {
    if (!ctx.settings().importMail) return ctx.skip();
    Target* box = ctx.mailbox();
    if (box == nullptr || ctx.creationOnly()) return ctx.skip();
    std::vector<Party> to, copies;
    readParties(f, to);
    readParties(f, copies);
    std::string text = recordText(f);
    if (!f.ok()) return ctx.skip();

    std::string owner = ctx.owner().name();
    if (owner.empty()) owner = Str<40>(box->name).str();
    std::string sAddr = cis::withoutInternetPrefix(rawSender);
    std::string rName, rAddr;
    if (!to.empty()) {
      rName = to.front().name;
      rAddr = to.front().address;
    }
    int direction;
    if (sAddr.empty()) {
      // Mail without a sender address was written by the owner.
      direction = 2;
      sName = owner;
      sAddr = ctx.owner().mainAddress();
      std::string lower = rAddr;
      for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
      rAddr = lower;
    } else {
      direction = ctx.owner().direction(sAddr, rAddr);
      if (direction == 1) {
        if (sName.size() >= 2 && sName.front() == '"' && sName.back() == '"')
          sName = sName.substr(1, sName.size() - 2);
        if (sName == rawSender || sName == sAddr) sName.clear();
        rName = owner;
      } else {
        sName = owner;
      }
    }

    uint32_t number = ctx.nextNumber();
    NHR = ImpHeaderRec();
    NHR.INTERNAL = box->id;
    NHR.MSGNUMBER = number;
    NHR.REFNUMBER = number;
    NHR.FOR_DESCRIPTION = box->name;
    NHR.HEADING = subject;
    NHR.S_NAME = sName;
    NHR.S_CISADRESS = sAddr;
    NHR.R_NAME = rName;
    NHR.R_CISADRESS = rAddr;
    NHR.DATE = when.date;
    NHR.TIME = when.time;
    NHR.MAILTYPE = static_cast<uint8_t>(direction);
    NHR.RECIPTYPE = "TO";
    NHR.MSGTEXT = std::move(text);
    if (!ctx.emit()) {
      failed_ = true;
      return;
    }
    // Further main recipients keep their type; copies are "CC".
    auto copy = [&](const Party& p, const char* type) {
      CCT = ImpCCRRec();
      CCT.MAILID = number;
      CCT.R_NAME = p.name;
      CCT.R_CISADRESS = p.address;
      CCT.RECIPTYPE = type;
      return ctx.emitCarbonCopy();
    };
    bool written = true;
    for (size_t i = 1; i < to.size() && written; ++i) written = copy(to[i], "TO");
    for (size_t i = 0; i < copies.size() && written; ++i) written = copy(copies[i], "CC");
    if (!written) failed_ = true;
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
