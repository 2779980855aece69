// Fuzzes the parsers of the CompuServe readers' binary files: WinCIM (and
// DOSCIM, CSNav), CompuServe 3.x and GoldenCompass. The first input byte
// chooses the parser and the import settings, the rest is the source file,
// written to a temporary file and read through the raw block file as an
// import run reads it. Besides crashes and sanitizer reports, the parsers'
// promises about every record they write are checked: texts and fields are
// valid UTF-8 within their sizes, texts have CR LF line ends and no NUL,
// forum numbers are valid CompuServe numbers, dates and times are real; and
// every parser finishes its file.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "import/parsers/cis_text.h"

namespace {

using namespace qvfuzz;

class CisBinaryContext : public FuzzContext {
 public:
  using FuzzContext::FuzzContext;

  bool emit() override {
    const qv::ImpHeaderRec& r = qv::NHR;
    checkRecord(r);
    check(r.MSGTEXT.find('\0') == std::string::npos);
    check(!creationOnly() && !imported_);
    if (r.MAILTYPE == qv::DirectionUndecided) {
      check(r.MSGNUMBER >= 1 && r.MSGNUMBER <= qv::cis::kMaxMessageNumber);
      check(r.REFNUMBER <= r.MSGNUMBER);
      check(settings_.importForum);
      check(targets_.findId(r.INTERNAL) != nullptr);
    } else {
      check(r.MAILTYPE == qv::MailReceived || r.MAILTYPE == qv::MailSent);
      check(r.MSGNUMBER == r.REFNUMBER && r.INTERNAL == box_.id);
      check(settings_.importMail);
      lastMail_ = r.MSGNUMBER;
    }
    return true;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const char* kFormats[] = {"WinCIM", "CompuServe 3.x", "GoldenCompass"};
  unsigned choice = data[0];
  const qv::FormatInfo* f = qv::formatByName(kFormats[choice % 3]);
  check(f != nullptr);
  unsigned variant = (choice / 3) % 8;
  int kind = (variant & 1) ? qv::KindMailDb : qv::KindForumDb;

  const std::string path = tempFile("fuzz_cis_binary", "source");
  writeFile(path, std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));

  CisBinaryContext ctx(*f, path);
  ctx.kind_ = kind;
  ctx.slice_ = 7;
  ctx.copies_ = true;
  ctx.settings_.importForum = (variant & 2) == 0 || kind == qv::KindForumDb;
  ctx.settings_.importMail = (variant & 2) == 0 || kind == qv::KindMailDb;
  if (variant == 4) ctx.settings_.filter = qv::FilterCreateOnly;
  ctx.imported_ = variant == 6;

  runParser(ctx, size);
  return 0;
}
