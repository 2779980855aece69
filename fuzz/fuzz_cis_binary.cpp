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

#include "dictionary/dictionary.h"
#include "import/formats.h"
#include "import/parser.h"
#include "import/parsers/cis_text.h"
#include "import/parsers/parsers.h"
#include "services/datetime.h"
#include "services/globals.h"

namespace {

// Stops with the promise that failed.
#define check(ok)                                                  \
  do {                                                             \
    if (!(ok)) {                                                   \
      std::fprintf(stderr, "broken promise: %s (line %d)\n", #ok, __LINE__); \
      std::abort();                                                \
    }                                                              \
  } while (0)

bool onlyCrLf(const std::string& s) {
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r' && (i + 1 >= s.size() || s[i + 1] != '\n')) return false;
    if (s[i] == '\n' && (i == 0 || s[i - 1] != '\r')) return false;
  }
  return true;
}

template <size_t N>
bool validField(const qv::Str<N>& f) {
  return qv::cis::isValidUtf8(f.view());
}

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
    check(r.MSGTEXT.size() <= qv::cis::kMaxText);
    check(qv::cis::isValidUtf8(r.MSGTEXT));
    check(onlyCrLf(r.MSGTEXT));
    check(r.MSGTEXT.find('\0') == std::string::npos);
    check(validField(r.FOR_DESCRIPTION) && validField(r.SEC_DESCRIPTION) && validField(r.HEADING));
    check(validField(r.S_NAME) && validField(r.S_CISADRESS) && validField(r.R_NAME) && validField(r.R_CISADRESS));
    check(r.DATE >= 0 && r.TIME >= 0 && r.TIME <= qv::kHundredthsPerDay);
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
    const qv::ImpCCRRec& c = qv::CCT;
    check(c.MAILID == mails_ && mails_ != 0);
    check(validField(c.R_NAME) && validField(c.R_CISADRESS));
    check(c.RECIPTYPE == "TO" || c.RECIPTYPE == "CC" || c.RECIPTYPE == "BC");
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

std::string& tempPath() {
  static std::string path = [] {
    const char* dir = std::getenv("TMPDIR");
    std::string p = std::string(dir && *dir ? dir : "/tmp") + "/fuzz_cis_binary_XXXXXX";
    int fd = mkstemp(p.data());
    check(fd >= 0);
    close(fd);
    return p;
  }();
  return path;
}

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

  const std::string& path = tempPath();
  std::FILE* out = std::fopen(path.c_str(), "wb");
  check(out != nullptr);
  if (size > 1) check(std::fwrite(data + 1, 1, size - 1, out) == size - 1);
  std::fclose(out);

  DiscardingContext ctx(*f, kind, path);
  ctx.settings_.importForum = (variant & 2) == 0 || kind == 1;
  ctx.settings_.importMail = (variant & 2) == 0 || kind == 2;
  ctx.creationOnly_ = variant == 4;
  ctx.imported_ = variant == 6;

  qv::RawFile.setName(path);
  check(qv::RawFile.open(qv::Share::ReadOnly));
  std::unique_ptr<qv::Parser> parser = qv::makeParser(*f);
  check(parser != nullptr);
  // Every call reads at least one byte, message or record: a parser that
  // needs more calls than that never finishes.
  const size_t maxCalls = size + 16;
  if (parser->start(ctx)) {
    size_t calls = 0;
    if (f->group == qv::ParserGroup::Cs3)
      while (!parser->firstPass(ctx)) check(++calls < maxCalls);
    while (!parser->convert(ctx)) check(++calls < maxCalls);
  }
  qv::RawFile.close();
  return 0;
}
