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

#include "import/parsers/binary_fields.h"
#include "import/parsers/block_reader.h"
#include "import/parsers/cis_text.h"
#include "import/parsers/message_record.h"
#include "import/parsers/parsers.h"

namespace qv {

namespace {

using cis::FieldReader;

constexpr std::string_view kMagic{"VIS000\x1A", 7};
constexpr size_t kChars = 50;  // characters kept of a string

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

  // The target of a forum message, or nullptr when it must be skipped.
  static Target* forumTarget(ImportContext& ctx, const std::string& forum) {
    if (!ctx.settings().importForum || forum.empty()) return nullptr;
    return ctx.target(forum, KindForumDb);
  }

  void readForumMessage(ImportContext& ctx, FieldReader& f, uint16_t headerLength) {
    skipHeader(f, headerLength);
    uint16_t blockLength = f.u16();
    int64_t blockEnd = f.position() - 1 + blockLength;
    MessageFields m;
    m.date = f.date();
    f.skip(6);
    m.subject = f.string(kChars);
    m.senderName = f.string(kChars);
    m.senderAddress = f.string(kChars);
    f.skip(1);
    m.recipientName = f.string(kChars);
    m.recipientAddress = f.string(kChars);
    f.skip(4);
    f.skipTo(blockEnd);
    f.skip(2);
    m.number = f.u32();
    m.parent = cis::olderParent(f.u32(), m.number);
    f.skip(9);
    m.section = f.byte();
    m.sectionName = f.string(kChars);
    m.forum = cis::forumName(f.string(kChars));
    if (!f.ok()) return ctx.skip();

    if (!cis::validMessageNumber(m.number)) return ctx.skip();
    Target* t = forumTarget(ctx, m.forum);
    if (const char* why = forumSkipReason(ctx, t, m.number)) return ctx.skip(why);

    f.skip(1);
    f.u32();
    f.u32();
    f.skip(f.byte());
    if (!f.ok()) return ctx.skip();
    m.text = f.text(FieldReader::npos, true);
    emitForumMessage(ctx, *t, m);
  }

  void readThread(ImportContext& ctx, FieldReader& f, uint16_t headerLength) {
    skipHeader(f, headerLength);
    f.skip(2);
    // The fields every message of the thread shares.
    MessageFields thread;
    thread.section = f.byte();
    thread.forum = cis::forumName(f.string(kChars));
    f.u32();
    thread.sectionName = f.string(kChars);
    f.skip(f.byte());
    f.u16();
    thread.subject = f.string(kChars);
    f.skip(4);
    if (!f.ok()) return ctx.skip();
    Target* t = forumTarget(ctx, thread.forum);

    while (!f.atEnd()) {
      MessageFields m = thread;
      f.skip(2);
      m.number = f.u32();
      m.parent = cis::olderParent(f.u32(), m.number);
      f.skip(9);
      m.date = f.date();
      f.skip(6);
      m.senderName = f.string(kChars);
      m.senderAddress = f.string(kChars);
      m.recipientName = f.string(kChars);
      m.recipientAddress = f.string(kChars);
      f.skip(1);
      uint16_t length = f.u16();
      m.text = f.text(length, false);
      // A message cut short ends the thread.
      if (!f.ok()) return ctx.skip();

      if (!cis::validMessageNumber(m.number)) {
        ctx.skip();
        continue;
      }
      if (const char* why = forumSkipReason(ctx, t, m.number)) {
        ctx.skip(why);
        continue;
      }
      if (!emitForumMessage(ctx, *t, m)) return;
    }
  }

  void readMail(ImportContext& ctx, FieldReader& f) {
    f.skip(16);
    f.string(kChars);
    f.string(kChars);
    f.string(kChars);
    f.string(kChars);
    f.u16();
    MessageFields m;
    m.time = f.time();
    m.date = f.dayMonthYear();
    f.skip(6);
    // Read whole first: "Copy of:" is no part of the 50 characters kept.
    m.subject = cis::cutChars(cis::withoutCopyOf(f.string(255)), kChars);
    std::string sName = f.string(kChars);
    std::string rawSender = f.string(kChars);

    // Entries of name, address and 4 bytes passed over.
    std::vector<Recipient> to, copies;
    cis::readRecipients(f, f.byte(), kChars, 4, "TO", to);
    f.skip(2);
    cis::readRecipients(f, f.u16(), kChars, 4, "TO", to);
    f.u16();
    uint8_t state = f.byte();
    if (f.ok() && state == 4) return ctx.skip();  // the file holds no mail to keep
    cis::readRecipients(f, f.byte(), kChars, 4, "CC", copies);
    cis::readRecipients(f, f.byte(), kChars, 4, "BC", copies);
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
    cis::readRecipients(f, f.u16(), kChars, 4, "CC", copies);
    cis::readRecipients(f, f.u16(), kChars, 4, "BC", copies);
    if (!f.ok()) return ctx.skip();

    if (!ctx.settings().importMail) return ctx.skip();
    Target* box = ctx.mailbox();
    if (box == nullptr || ctx.creationOnly()) return ctx.skip();
    m.text = f.text(FieldReader::npos, true);

    m.senderAddress = cis::withoutInternetPrefix(rawSender);
    m.senderName = cis::senderName(sName, rawSender, m.senderAddress);
    if (!to.empty()) {
      m.recipientName = to.front().name;
      m.recipientAddress = to.front().address;
    }
    // Mail without a sender address was written by the owner.
    if (!emitMail(ctx, *box, m.senderAddress.empty() ? MailSent : DirectionUndecided, m)) return;
    // Further main recipients, copies and blind copies become carbon copies.
    if (emitCarbonCopies(ctx, m.number, to, 1)) emitCarbonCopies(ctx, m.number, copies, 0);
  }
};

}  // namespace

std::unique_ptr<Parser> makeWinCimParser() { return std::make_unique<WinCimParser>(); }

}  // namespace qv
