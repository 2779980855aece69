// Fuzzes the parsers of the CompuServe readers' text files and of captures
// of the host, one program per format group (QV_LINES_GROUP: 0 OzCIS, OzWin I
// and OzWin II; 1 TAPCIS 5.x, TAPCIS 6.x and AUTOSIG; 2 NavCIS Save format).
// The first input byte chooses the format of the group and the import
// settings, the rest is the source file, written to a temporary file and read
// through the line file as an import run reads it: content detection, then
// the parser over the rewound file. Besides crashes and sanitizer reports,
// the promises about every record are checked: texts and fields are valid
// UTF-8 within their sizes with CR LF line ends, forum numbers are valid
// CompuServe numbers whose parent is not newer, mail is numbered by the run,
// only the kinds the settings import are written, and the parser finishes
// its file.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "import/parsers/cis_text.h"

#ifndef QV_LINES_GROUP
#define QV_LINES_GROUP 0
#endif

namespace {

using namespace qvfuzz;

class LinesContext : public FuzzContext {
 public:
  using FuzzContext::FuzzContext;

  bool emit() override {
    const qv::ImpHeaderRec& r = qv::NHR;
    checkRecord(r);
    check(!creationOnly());
    if (r.MAILTYPE == qv::DirectionUndecided) {
      check(settings_.importForum && !imported_);
      check(r.MSGNUMBER >= 1 && r.MSGNUMBER <= qv::cis::kMaxMessageNumber);
      check(r.REFNUMBER <= r.MSGNUMBER);  // its own number posts as no parent
      check(targets_.findId(r.INTERNAL) != nullptr);
      check(!r.FOR_DESCRIPTION.blank());
    } else {
      check(settings_.importMail);
      check(r.MAILTYPE == qv::MailReceived || r.MAILTYPE == qv::MailSent);
      check(r.MSGNUMBER == r.REFNUMBER && r.INTERNAL == box_.id && r.RECIPTYPE == "TO");
    }
    return true;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const char* kGroups[][3] = {
      {"OzCIS", "OzWin I", "OzWin II"},
      {"TAPCIS 5.x", "TAPCIS 6.x", "AUTOSIG"},
      {"NavCIS Save format", "NavCIS Save format", "NavCIS Save format"},
  };
  unsigned choice = data[0];
  const qv::FormatInfo* f = qv::formatByName(kGroups[QV_LINES_GROUP][choice % 3]);
  check(f != nullptr);
  unsigned variant = (choice / 3) % 4;  // 0 forum, 1 mail, 2 both, 3 both and special settings

  const std::string path = tempFile("fuzz_lines", "source");
  writeFile(path, std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));

  LinesContext ctx(*f, path);
  ctx.settings_.importForum = variant != 1;
  ctx.settings_.importMail = variant != 0;
  ctx.slice_ = 1 + int((choice / 12) % 7);
  if (variant == 3 && (choice & 0x80) != 0) ctx.settings_.filter = qv::FilterCreateOnly;
  ctx.imported_ = variant == 3 && (choice & 0x80) == 0;

  runParser(ctx, size);
  return 0;
}
