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
#include <memory>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "dictionary/dictionary.h"
#include "import/formats.h"
#include "import/parser.h"
#include "import/parsers/cis_text.h"
#include "import/parsers/parsers.h"
#include "import/target_list.h"
#include "services/globals.h"

#ifndef QV_LINES_GROUP
#define QV_LINES_GROUP 0
#endif

namespace {

using namespace qvfuzz;

class LinesContext : public qv::ImportContext {
 public:
  LinesContext(const qv::FormatInfo& f, const std::string& path) : format_(f), path_(path) {
    settings_.format = f.name;
    settings_.forumName = "Fuzz Forum";
    box_.id = 1;
    box_.name = "Fuzz Box";
    box_.kind = 2;
  }

  qv::ImportSettings settings_;
  int kind_ = 1;
  int slice_ = 1;
  bool creationOnly_ = false;
  bool imported_ = false;

  const qv::ImportSettings& settings() const override { return settings_; }
  const qv::FormatInfo& format() const override { return format_; }
  int fileKind() const override { return kind_; }
  const std::string& filePath() const override { return path_; }
  qv::File& source() override { return qv::LineFile; }
  int sliceSize() const override { return slice_; }
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
    check(!creationOnly_);
    if (r.MAILTYPE == 0) {
      check(settings_.importForum && !imported_);
      check(r.MSGNUMBER >= 1 && r.MSGNUMBER <= qv::cis::kMaxMessageNumber);
      check(r.REFNUMBER <= r.MSGNUMBER);  // its own number posts as no parent
      check(targets_.findId(r.INTERNAL) != nullptr);
      check(!r.FOR_DESCRIPTION.blank());
    } else {
      check(settings_.importMail);
      check(r.MAILTYPE == 1 || r.MAILTYPE == 2);
      check(r.MSGNUMBER == r.REFNUMBER && r.INTERNAL == box_.id && r.RECIPTYPE == "TO");
    }
    return true;
  }
  bool emitCarbonCopy() override {
    check(false);  // the line formats write no carbon copies
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
  qv::TargetList targets_;
  qv::Target box_;
  qv::OwnerAddresses owner_;
};

// Opens the source as an import run opens a line format's file: the parser's
// start, content detection with the import kind, the file rewound; then
// convert calls until the parser reports the file finished. Every call reads
// at least one line or message.
void runLines(const qv::FormatInfo& f, LinesContext& ctx, const std::string& path, size_t size) {
  qv::LineFile.setName(path);
  check(qv::LineFile.open(qv::Share::ReadOnly));
  {
    std::unique_ptr<qv::Parser> parser = qv::makeParser(f);
    check(parser != nullptr);
    if (parser->start(ctx)) {
      int importKind = ctx.settings_.importMail && !ctx.settings_.importForum ? 2 : 1;
      qv::LineFile.setFileOrder();
      int kind = qv::detectLineFormat(f.name, qv::LineFile, importKind);
      check(kind >= 0 && kind <= 2);
      if (kind != 0) {
        ctx.kind_ = kind;
        qv::LineFile.setFileOrder();
        const size_t maxCalls = size + 16;
        size_t calls = 0;
        while (!parser->convert(ctx)) check(++calls < maxCalls);
      }
    }
  }
  qv::LineFile.close();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qv::Mem.DoTask = qv::RunUnattended;  // nothing is shown
  return 0;
}

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

  const std::string path = tempDir("fuzz_lines") + "/source";
  writeFile(path, std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));

  LinesContext ctx(*f, path);
  ctx.settings_.importForum = variant != 1;
  ctx.settings_.importMail = variant != 0;
  ctx.slice_ = 1 + int((choice / 12) % 7);
  ctx.creationOnly_ = variant == 3 && (choice & 0x80) != 0;
  ctx.imported_ = variant == 3 && (choice & 0x80) == 0;

  runLines(*f, ctx, path, size);
  return 0;
}
