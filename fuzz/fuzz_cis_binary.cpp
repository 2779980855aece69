// Fuzzes the parsers of the CompuServe readers' binary files: WinCIM (and
// DOSCIM, CSNav), CompuServe 3.x and GoldenCompass. The first input byte
// chooses the parser and the import settings, the rest is the source file,
// written to a temporary file and read through the raw block file as an
// import run reads it. Besides crashes and sanitizer reports, the parsers'
// promises about every record they write are checked: texts and fields are
// valid UTF-8 within their sizes, texts have CR LF line ends and no NUL,
// forum numbers are valid CompuServe numbers, dates and times are real; and
// every parser finishes its file.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "dictionary/dictionary.h"
#include "import/formats.h"
#include "import/parser.h"
#include "import/parsers/cis_text.h"
#include "import/parsers/parsers.h"
#include "services/datetime.h"
#include "services/globals.h"

namespace {

using namespace qvfuzz;

class DiscardingContext : public qv::ImportContext {
 public:
  DiscardingContext(const qv::FormatInfo& f, int kind, const std::string& path) : format_(f), kind_(kind), path_(path) {
    settings_.format = f.name;
    settings_.forumName = "Fuzz Forum";
    box_.id = 1;
    box_.name = "Fuzz Box";
    box_.kind = 2;
  }

  qv::ImportSettings settings_;
  bool creationOnly_ = false;
  bool imported_ = false;

  const qv::ImportSettings& settings() const override { return settings_; }
  const qv::FormatInfo& format() const override { return format_; }
  int fileKind() const override { return kind_; }
  const std::string& filePath() const override { return path_; }
  qv::File& source() override { return qv::RawFile; }
  int sliceSize() const override { return 7; }
  uint32_t nextNumber() override { return next_++; }
  qv::Target* target(const std::string& name, int kind) override {
    return targets_.findOrCreate(name, kind, [this] { return nextNumber(); });
  }
  qv::Target* mailbox() override { return &box_; }
  bool alreadyImported(uint32_t, uint32_t) override { return imported_; }
  bool creationOnly() const override { return creationOnly_; }
  qv::OwnerAddresses& owner() override { return owner_; }
  void skip() override {}
  bool emit() override {
    const qv::ImpHeaderRec& r = qv::NHR;
    checkRecord(r);
    check(r.MSGTEXT.find('\0') == std::string::npos);
    check(!creationOnly_ && !imported_);
    if (r.MAILTYPE == 0) {
      check(r.MSGNUMBER >= 1 && r.MSGNUMBER <= qv::cis::kMaxMessageNumber);
      check(r.REFNUMBER <= r.MSGNUMBER);
      check(settings_.importForum);
      check(targets_.findId(r.INTERNAL) != nullptr);
    } else {
      check(r.MAILTYPE == 1 || r.MAILTYPE == 2);
      check(r.MSGNUMBER == r.REFNUMBER && r.INTERNAL == box_.id);
      check(settings_.importMail);
      mails_ = r.MSGNUMBER;
    }
    return true;
  }
  bool emitCarbonCopy() override {
    checkCarbonCopy(qv::CCT, mails_);
    return true;
  }
  bool emitMessageId(uint32_t, const std::string&) override { return true; }
  std::string messageIdOf(uint32_t) override { return {}; }
  uint32_t numberOfMessageId(const std::string&) override { return 0; }
  void progress(int64_t) override {}

 private:
  const qv::FormatInfo& format_;
  int kind_;
  std::string path_;
  uint32_t next_ = 250000;
  uint32_t mails_ = 0;
  qv::TargetList targets_;
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
  static const char* kFormats[] = {"WinCIM", "CompuServe 3.x", "GoldenCompass"};
  unsigned choice = data[0];
  const qv::FormatInfo* f = qv::formatByName(kFormats[choice % 3]);
  check(f != nullptr);
  unsigned variant = (choice / 3) % 8;
  int kind = (variant & 1) ? 2 : 1;

  const std::string path = tempDir("fuzz_cis_binary") + "/source";
  writeFile(path, std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));

  DiscardingContext ctx(*f, kind, path);
  ctx.settings_.importForum = (variant & 2) == 0 || kind == 1;
  ctx.settings_.importMail = (variant & 2) == 0 || kind == 2;
  ctx.creationOnly_ = variant == 4;
  ctx.imported_ = variant == 6;

  runParser(*f, ctx, path, size);
  return 0;
}
