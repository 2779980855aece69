// Fuzzes the mail parsers, one program per parser group (QV_MAIL_GROUP:
// 0 Unix Mail, 1 IE Mail / Outlook Express Mail / Netscape Mail, 2 Eudora,
// 3 Pegasus, 4 the Outlook Express 5 message stores read by IE Mail and
// Outlook Express Mail, whose files all begin with the store's signature).
// The first input byte chooses the format of the group and the import
// settings, the rest is the source file, written to a temporary file
// and read through the raw block file as an import run reads it; every
// message goes through the whole conversion (cutting, decoding, direction,
// carbon copies). Besides crashes and sanitizer reports, the promises about
// every record are checked: the text holds at most 64000 bytes of valid
// UTF-8 with CR LF line ends, fields are valid UTF-8, dates and times are
// real, carbon copies belong to the mail just written; and the parser
// finishes its file.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"

#ifndef QV_MAIL_GROUP
#define QV_MAIL_GROUP 0
#endif

namespace {

using namespace qvfuzz;

class MailContext : public FuzzContext {
 public:
  using FuzzContext::FuzzContext;

  bool emit() override {
    const qv::ImpHeaderRec& r = qv::NHR;
    checkRecord(r);
    check(r.MAILTYPE == qv::MailReceived || r.MAILTYPE == qv::MailSent);
    check(r.MSGNUMBER == r.REFNUMBER && r.INTERNAL == box_.id && r.RECIPTYPE == "TO");
    check(settings_.importMail && !creationOnly());
    lastMail_ = r.MSGNUMBER;
    return true;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const char* kGroups[][4] = {
      {"Unix Mail", "Becky Mail", "Agent Mail", "Unix Mail"},
      {"Outlook Express Mail", "IE Mail", "Netscape Mail", "Netscape Mail"},
      {"Eudora", "Eudora", "Eudora", "Eudora"},
      {"Pegasus", "Pegasus", "Pegasus", "Pegasus"},
      {"Outlook Express Mail", "IE Mail", "Outlook Express Mail", "IE Mail"},
  };
  unsigned choice = data[0];
  const qv::FormatInfo* f = qv::formatByName(kGroups[QV_MAIL_GROUP][choice % 4]);
  check(f != nullptr);

  const std::string path = tempFile("fuzz_mail", "source");
  std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (QV_MAIL_GROUP == 4) {
    // The signature of a message store, so that every input reaches its
    // index and blocks; pointers in the input are offsets in this file.
    writeFile(path, std::string("\xCF\xAD\x12\xFE\xC5\xFD\x74\x6F", 8) + std::string(rest));
  } else {
    writeFile(path, rest);
  }

  MailContext ctx(*f, path);
  ctx.settings_.importMail = true;
  ctx.copies_ = true;
  ctx.slice_ = 1 + int((choice / 4) % 8);
  if ((choice & 0x80) != 0 && (choice & 0x40) != 0) ctx.settings_.filter = qv::FilterCreateOnly;

  runParser(ctx, size);
  return 0;
}
