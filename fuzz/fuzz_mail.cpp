// Fuzzes the mail parsers, one program per parser group (QV_MAIL_GROUP:
// 0 Unix Mail, 1 IE Mail / Outlook Express Mail / Netscape Mail, 2 Eudora,
// 3 Pegasus). The first input byte chooses the format of the group and the
// import settings, the rest is the source file, written to a temporary file
// and read through the raw block file as an import run reads it; every
// message goes through the whole conversion (cutting, decoding, direction,
// carbon copies). Besides crashes and sanitizer reports, the promises about
// every record are checked: the text holds at most 64000 bytes of valid
// UTF-8 with CR LF line ends, fields are valid UTF-8, dates and times are
// real, carbon copies belong to the mail just written; and the parser
// finishes its file.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "fuzz_support.h"
#include "dictionary/dictionary.h"
#include "import/formats.h"
#include "mime/charset.h"
#include "import/parser.h"
#include "services/datetime.h"
#include "services/globals.h"

#ifndef QV_MAIL_GROUP
#define QV_MAIL_GROUP 0
#endif

namespace {

using namespace qvfuzz;

class MailContext : public qv::ImportContext {
 public:
  MailContext(const qv::FormatInfo& f, const std::string& path) : format_(f), path_(path) {
    settings_.format = f.name;
    settings_.importMail = true;
    box_.id = 1;
    box_.name = "Fuzz Box";
    box_.kind = 2;
  }

  qv::ImportSettings settings_;
  bool creationOnly_ = false;
  int slice_ = 1;

  const qv::ImportSettings& settings() const override { return settings_; }
  const qv::FormatInfo& format() const override { return format_; }
  int fileKind() const override { return 0; }
  const std::string& filePath() const override { return path_; }
  qv::File& source() override { return qv::RawFile; }
  int sliceSize() const override { return slice_; }
  uint32_t nextNumber() override { return next_++; }
  qv::Target* target(const std::string&, int) override { return nullptr; }
  qv::Target* mailbox() override { return &box_; }
  bool alreadyImported(uint32_t, uint32_t) override { return false; }
  bool creationOnly() const override { return creationOnly_; }
  qv::OwnerAddresses& owner() override { return owner_; }
  void skip() override {}
  bool emit() override {
    const qv::ImpHeaderRec& r = qv::NHR;
    checkRecord(r);
    check(r.MAILTYPE == 1 || r.MAILTYPE == 2);
    check(r.MSGNUMBER == r.REFNUMBER && r.INTERNAL == box_.id && r.RECIPTYPE == "TO");
    check(settings_.importMail && !creationOnly_);
    mail_ = r.MSGNUMBER;
    return true;
  }
  bool emitCarbonCopy() override {
    checkCarbonCopy(qv::CCT, mail_);
    return true;
  }
  bool emitMessageId(uint32_t, const std::string&) override { return true; }
  std::string messageIdOf(uint32_t) override { return {}; }
  uint32_t numberOfMessageId(const std::string&) override { return 0; }
  void progress(int64_t) override {}

 private:
  const qv::FormatInfo& format_;
  std::string path_;
  uint32_t next_ = 250000;
  uint32_t mail_ = 0;
  qv::Target box_;
  qv::OwnerAddresses owner_;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qv::Mem.DoTask = qv::RunUnattended;  // nothing is shown
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const char* kGroups[][4] = {
      {"Unix Mail", "Becky Mail", "Agent Mail", "Unix Mail"},
      {"Outlook Express Mail", "IE Mail", "Netscape Mail", "Netscape Mail"},
      {"Eudora", "Eudora", "Eudora", "Eudora"},
      {"Pegasus", "Pegasus", "Pegasus", "Pegasus"},
  };
  unsigned choice = data[0];
  const qv::FormatInfo* f = qv::formatByName(kGroups[QV_MAIL_GROUP][choice % 4]);
  check(f != nullptr);

  const std::string path = tempDir("fuzz_mail") + "/source";
  writeFile(path, std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));

  MailContext ctx(*f, path);
  ctx.slice_ = 1 + int((choice / 4) % 8);
  ctx.creationOnly_ = (choice & 0x80) != 0 && (choice & 0x40) != 0;

  runParser(*f, ctx, path, size);
  return 0;
}
