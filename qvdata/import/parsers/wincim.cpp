// The parser of the filing-cabinet files of WinCIM, DOSCIM and CSNav. A file
// holds one mail (record type 1), one forum message (type 2) or one saved
// thread (type 3) and is read whole in one call.
//
// Header: "VIS000", the byte 26, a 16-bit header length H, the record type.
// Strings are a length byte and that many bytes (at most 50 characters kept),
// integers little-endian, dates four bytes passed over then day, month, year
// minus 1970, times seconds, minutes, hours. Skipped bytes are named "skip n".
//
// Forum message: skip H-1; a 16-bit block length L whose last byte is at P;
// date; skip 6; subject; sender name and address; skip 1; recipient name and
// address; skip 4; skip to P+L; skip 2; number (32); reference (32); skip 9;
// section number (8); section name; forum name; skip 1; two 32-bit values;
// n (8) and skip n; the text to the end of the file.
//
// Mail: skip 16 (from the byte after the record type); a string; a name and
// an address; a string; a 16-bit value; time; day, month, year; skip 6;
// subject; sender name and address; recipients as entries (name, address,
// skip 4): a one-byte count of main recipients; skip 2; a 16-bit count of
// more main recipients; a 16-bit value; a byte (4: no message); a one-byte
// count of copies; a one-byte count of blind copies; a string; skip 17; a
// string; skip 1; a one-byte count of attachments (each: skip 1, a 32-bit
// value, two strings, skip 5, a string); skip 1; a 16-bit count of more copies
// with their entries; a 16-bit count of more blind copies with their entries;
// the text to the end of the file.
//
// Saved thread: skip H-1; skip 2; section number; forum name; a 32-bit value;
// section name; n and skip n; a 16-bit value; subject; skip 4; then messages
// to the end of the file, each: skip 2; number; reference; skip 9; date;
// skip 6; sender name and address; recipient name and address; skip 1; a
// 16-bit text length and the text.
#include <memory>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "import/parsers/binary_fields.h"
#include "import/parsers/block_reader.h"
#include "import/parsers/cis_text.h"
#include "import/parsers/parsers.h"

namespace qv {

namespace {

using cis::FieldReader;

constexpr std::string_view kMagic{"VIS000\x1A", 7};
constexpr size_t kChars = 50;  // characters kept of a string

bool validNumber(uint32_t n) { return n >= 1 && n <= cis::kMaxMessageNumber; }

// A forum message's reference: the number of an older message, else 0.
uint32_t parentOf(uint32_t reference, uint32_t number) {
  return reference > 0 && reference < number ? reference : 0;
}

struct Recipient {
  std::string name;
  std::string address;
  const char* type;  // "TO", "CC" or "BC"
};

class WinCimParser : public Parser {
 public:
  bool convert(ImportContext& ctx) override {
    BlockReader r(ctx.source());
    r.rewind();
    readFile(ctx, r);
    ctx.progress(r.position());
    return true;
  }

 private:
  void readFile(ImportContext& ctx, BlockReader& r) {
    // A file without the signature is not a filing-cabinet file: it yields nothing.
    if (!r.startsWith(kMagic)) return;
    r.skip(kMagic.size());
    FieldReader f(r);
    uint16_t headerLength = f.u16();
    uint8_t type = f.byte();
    if (!f.ok()) {
      ctx.skip();
      return;
    }
    switch (type) {
      case 1: readMail(ctx, f); break;
      case 2: readForumMessage(ctx, f, headerLength); break;
      case 3: readThread(ctx, f, headerLength); break;
      default: break;  // a record of another kind holds no message
    }
  }

  // The header length counts the type byte: H-1 bytes follow it.
  static void skipHeader(FieldReader& f, uint16_t headerLength) {
    if (headerLength == 0) {
      f.fail();  // the type byte is part of every header
      return;
    }
    f.skip(headerLength - 1u);
  }

  static void fillForum(const Target& t, uint32_t number, uint32_t reference, const std::string& forum,
                        uint8_t section, const std::string& sectionName, const std::string& subject,
                        const std::string& sName, const std::string& sAddr, const std::string& rName,
                        const std::string& rAddr, int32_t date) {
    NHR = ImpHeaderRec();
    NHR.INTERNAL = t.id;
    NHR.MSGNUMBER = number;
    NHR.REFNUMBER = parentOf(reference, number);
    NHR.FOR_DESCRIPTION = forum;
    NHR.SECTIONNUMBER = section;
    NHR.SEC_DESCRIPTION = sectionName;
    NHR.HEADING = subject;
    NHR.S_NAME = sName;
    NHR.S_CISADRESS = sAddr;
    NHR.R_NAME = rName;
    NHR.R_CISADRESS = rAddr;
    NHR.DATE = date;
    NHR.TIME = 0;
    NHR.MAILTYPE = 0;
  }

  // The target of a forum message, or nullptr when it must be skipped.
  static Target* forumTarget(ImportContext& ctx, const std::string& forum) {
    if (!ctx.settings().importForum || forum.empty()) return nullptr;
    return ctx.target(forum, 1);
  }

  void readForumMessage(ImportContext& ctx, FieldReader& f, uint16_t headerLength) {
    skipHeader(f, headerLength);
    uint16_t blockLength = f.u16();
    int64_t blockEnd = f.position() - 1 + blockLength;
    int32_t date = f.date();
    f.skip(6);
    std::string subject = f.string(kChars);
    std::string sName = f.string(kChars), sAddr = f.string(kChars);
    f.skip(1);
    std::string rName = f.string(kChars), rAddr = f.string(kChars);
    f.skip(4);
    f.skipTo(blockEnd);
    f.skip(2);
    uint32_t number = f.u32();
    uint32_t reference = f.u32();
    f.skip(9);
    uint8_t section = f.byte();
    std::string sectionName = f.string(kChars);
    std::string forum = cis::forumName(f.string(kChars));
    if (!f.ok()) return ctx.skip();

    if (!validNumber(number)) return ctx.skip();
    Target* t = forumTarget(ctx, forum);
    if (t == nullptr || ctx.creationOnly() || ctx.alreadyImported(t->id, number)) return ctx.skip();

    f.skip(1);
    f.u32();
    f.u32();
    f.skip(f.byte());
    if (!f.ok()) return ctx.skip();
    std::string text = f.text(FieldReader::npos, true);

    fillForum(*t, number, reference, forum, section, sectionName, subject, sName, sAddr, rName, rAddr, date);
    NHR.MSGTEXT = std::move(text);
    ctx.emit();
  }

  void readThread(ImportContext& ctx, FieldReader& f, uint16_t headerLength) {
    skipHeader(f, headerLength);
    f.skip(2);
    uint8_t section = f.byte();
    std::string forum = cis::forumName(f.string(kChars));
    f.u32();
    std::string sectionName = f.string(kChars);
    f.skip(f.byte());
    f.u16();
    std::string subject = f.string(kChars);
    f.skip(4);
    if (!f.ok()) return ctx.skip();
    Target* t = forumTarget(ctx, forum);

    while (!f.atEnd()) {
      f.skip(2);
      uint32_t number = f.u32();
      uint32_t reference = f.u32();
      f.skip(9);
      int32_t date = f.date();
      f.skip(6);
      std::string sName = f.string(kChars), sAddr = f.string(kChars);
      std::string rName = f.string(kChars), rAddr = f.string(kChars);
      f.skip(1);
      uint16_t length = f.u16();
      std::string text = f.text(length, false);
      // A message cut short ends the thread.
      if (!f.ok()) return ctx.skip();

      if (t == nullptr || !validNumber(number) || ctx.creationOnly() ||
          ctx.alreadyImported(t->id, number)) {
        ctx.skip();
        continue;
      }
      fillForum(*t, number, reference, forum, section, sectionName, subject, sName, sAddr, rName, rAddr, date);
      NHR.MSGTEXT = std::move(text);
      if (!ctx.emit()) return;
    }
  }

  // `count` entries of (name, address, skip 4) of one recipient type.
  static void readRecipients(FieldReader& f, size_t count, const char* type, std::vector<Recipient>& out) {
    for (size_t i = 0; i < count && f.ok(); ++i) {
      Recipient r;
      r.name = f.string(kChars);
      r.address = cis::withoutInternetPrefix(f.string(kChars));
      r.type = type;
      f.skip(4);
      if (f.ok()) out.push_back(std::move(r));
    }
  }

  void readMail(ImportContext& ctx, FieldReader& f) {
    f.skip(16);
    f.string(kChars);
    f.string(kChars);
    f.string(kChars);
    f.string(kChars);
    f.u16();
    int32_t time = f.time();
    int32_t date = f.dayMonthYear();
    f.skip(6);
    // Read whole first: "Copy of:" is no part of the 50 characters kept.
    std::string subject = cis::cutChars(cis::withoutCopyOf(f.string(255)), kChars);
    std::string sName = f.string(kChars);
    std::string rawSender = f.string(kChars);

    std::vector<Recipient> to, copies;
    readRecipients(f, f.byte(), "TO", to);
    f.skip(2);
    readRecipients(f, f.u16(), "TO", to);
    f.u16();
    uint8_t state = f.byte();
    if (f.ok() && state == 4) return ctx.skip();  // the file holds no mail to keep
    readRecipients(f, f.byte(), "CC", copies);
    readRecipients(f, f.byte(), "BC", copies);
    f.string(kChars);
    f.skip(17);
    f.string(kChars);
    f.skip(1);
    size_t attachments = f.byte();
    for (size_t i = 0; i < attachments && f.ok(); ++i) {
      f.skip(1);
      f.u32();
      f.string(kChars);
      f.string(kChars);
      f.skip(1);
      f.skip(4);
      f.string(kChars);
    }
    f.skip(1);
    readRecipients(f, f.u16(), "CC", copies);
    readRecipients(f, f.u16(), "BC", copies);
    if (!f.ok()) return ctx.skip();

    if (!ctx.settings().importMail) return ctx.skip();
    Target* box = ctx.mailbox();
    if (box == nullptr || ctx.creationOnly()) return ctx.skip();
    std::string text = f.text(FieldReader::npos, true);

    // The sender: quotes dropped, a name that only repeats the address dropped.
    std::string sAddr = cis::withoutInternetPrefix(rawSender);
    if (sName.size() >= 2 && sName.front() == '"' && sName.back() == '"') sName = sName.substr(1, sName.size() - 2);
    if (sName == rawSender || sName == sAddr) sName.clear();

    std::string rName, rAddr;
    if (!to.empty()) {
      rName = to.front().name;
      rAddr = to.front().address;
    }
    std::string owner = ctx.owner().name();
    if (owner.empty()) owner = Str<40>(box->name).str();
    int direction;
    if (sAddr.empty()) {
      // Mail without a sender address was written by the owner.
      direction = 2;
      sName = owner;
      sAddr = ctx.owner().mainAddress();
    } else {
      direction = ctx.owner().direction(sAddr, rAddr);
      if (direction == 2)
        sName = owner;
      else
        rName = owner;
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
    NHR.DATE = date;
    NHR.TIME = time;
    NHR.MAILTYPE = static_cast<uint8_t>(direction);
    NHR.RECIPTYPE = "TO";
    NHR.MSGTEXT = std::move(text);
    if (!ctx.emit()) return;

    // Further main recipients, copies and blind copies become carbon copies.
    for (size_t i = 0; i < to.size() + copies.size(); ++i) {
      const Recipient& c = i < to.size() ? to[i] : copies[i - to.size()];
      if (i == 0 && !to.empty()) continue;  // the mail's own recipient
      CCT = ImpCCRRec();
      CCT.MAILID = number;
      CCT.R_NAME = c.name;
      CCT.R_CISADRESS = c.address;
      CCT.RECIPTYPE = c.type;
      if (!ctx.emitCarbonCopy()) return;
    }
  }
};

}  // namespace

std::unique_ptr<Parser> makeWinCimParser() { return std::make_unique<WinCimParser>(); }

}  // namespace qv
