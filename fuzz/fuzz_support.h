// What the fuzzers share: the promise check, the checks every written record
// must pass, the source file an input becomes, the import context every
// parser fuzzer starts from, the set-up of the library, and the loop that
// runs a parser over its file as an import run does and insists that it
// finishes.
//
// Each fuzzer is one source file that includes this header once: the header
// also defines LLVMFuzzerInitialize.
#pragma once

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
#include "import/target_list.h"
#include "mime/charset.h"
#include "services/datetime.h"
#include "services/db_kind.h"
#include "services/globals.h"
#include "storage/fixedstr.h"

// Stops with the promise that failed.
#define check(ok)                                                            \
  do {                                                                       \
    if (!(ok)) {                                                             \
      std::fprintf(stderr, "broken promise: %s (line %d)\n", #ok, __LINE__); \
      std::abort();                                                          \
    }                                                                        \
  } while (0)

// The library shows nothing: every question and message of a parser would
// otherwise wait for an answer.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qv::Mem.DoTask = qv::RunUnattended;
  return 0;
}

namespace qvfuzz {

inline bool onlyCrLf(const std::string& s) {
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r' && (i + 1 >= s.size() || s[i + 1] != '\n')) return false;
    if (s[i] == '\n' && (i == 0 || s[i - 1] != '\r')) return false;
  }
  return true;
}

template <size_t N>
bool validField(const qv::Str<N>& f) {
  return qv::mime::isValidUtf8(f.view());
}

// The promises about every temporary message record: a text of at most
// 64000 bytes of UTF-8 with CR LF line ends, fields of valid
// UTF-8, a real date and time.
inline void checkRecord(const qv::ImpHeaderRec& r) {
  check(r.MSGTEXT.size() <= 64000);
  check(qv::mime::isValidUtf8(r.MSGTEXT));
  check(onlyCrLf(r.MSGTEXT));
  check(validField(r.FOR_DESCRIPTION) && validField(r.SEC_DESCRIPTION) && validField(r.HEADING));
  check(validField(r.S_NAME) && validField(r.S_CISADRESS) && validField(r.R_NAME) && validField(r.R_CISADRESS));
  check(r.DATE >= 0 && r.TIME >= 0 && r.TIME <= qv::kHundredthsPerDay);
}

// The promises about every carbon copy: it belongs to the mail just written.
inline void checkCarbonCopy(const qv::ImpCCRRec& c, uint32_t mail) {
  check(c.MAILID == mail && mail != 0);
  check(validField(c.R_NAME) && validField(c.R_CISADRESS));
  check(c.RECIPTYPE == "TO" || c.RECIPTYPE == "CC" || c.RECIPTYPE == "BC");
}

// The path of a file `name` in a directory of the fuzzer's own under $TMPDIR
// (or /tmp), made once.
inline std::string tempFile(const char* prefix, const char* name) {
  static std::string dir = [prefix] {
    const char* t = std::getenv("TMPDIR");
    std::string p = std::string(t && *t ? t : "/tmp") + "/" + prefix + "_XXXXXX";
    check(mkdtemp(p.data()) != nullptr);
    return p;
  }();
  return dir + "/" + name;
}

inline void writeFile(const std::string& path, std::string_view bytes) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  check(out != nullptr);
  if (!bytes.empty()) check(std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size());
  std::fclose(out);
}

// The import context of a parser fuzzer: the format and settings, the file
// opened as the run opens the format's files, a mailbox "Fuzz Box", forum and
// newsgroup databases made when a message names them. A fuzzer checks its
// records in emit(); carbon copies are refused unless `copies_` is set, and
// then must belong to the mail in `lastMail_`.
class FuzzContext : public qv::ImportContext {
 public:
  FuzzContext(const qv::FormatInfo& f, const std::string& path) : format_(f), path_(path) {
    settings_.format = f.name;
    settings_.forumName = "Fuzz Forum";
    box_.id = 1;
    box_.name = "Fuzz Box";
    box_.kind = qv::KindMailDb;
  }

  qv::ImportSettings settings_;
  int kind_ = 0;      // what fileKind() answers
  int slice_ = 1;     // what sliceSize() answers
  bool imported_ = false;  // every forum message counts as imported before
  bool copies_ = false;    // the parser may write carbon copies

  const qv::ImportSettings& settings() const override { return settings_; }
  const qv::FormatInfo& format() const override { return format_; }
  int fileKind() const override { return kind_; }
  const std::string& filePath() const override { return path_; }
  qv::File& source() override { return format_.openAs == qv::OpenAs::Lines ? qv::LineFile : qv::RawFile; }
  int sliceSize() const override { return slice_; }
  uint32_t nextNumber() override { return next_++; }
  qv::Target* target(const std::string& name, int kind) override {
    qv::Target* t = targets_.findOrCreate(name, kind, [this] { return nextNumber(); });
    return t && t->allowed ? t : nullptr;
  }
  qv::Target* existingTarget(const std::string& name, int kind) override {
    qv::Target* t = targets_.find(name);
    return t && t->kind == kind && t->allowed ? t : nullptr;
  }
  qv::Target* mailbox() override { return &box_; }
  bool alreadyImported(uint32_t, uint32_t) override { return imported_; }
  bool creationOnly() const override { return settings_.filter == qv::FilterCreateOnly; }
  qv::OwnerAddresses& owner() override { return owner_; }
  void skip() override {}
  bool emitCarbonCopy() override {
    check(copies_);
    checkCarbonCopy(qv::CCT, lastMail_);
    return true;
  }
  bool emitMessageId(uint32_t, const std::string&) override { return true; }
  std::string messageIdOf(uint32_t) override { return {}; }
  uint32_t numberOfMessageId(const std::string&) override { return 0; }
  void progress(int64_t amount) override { check(amount >= 0); }

 protected:
  const qv::FormatInfo& format_;
  std::string path_;
  uint32_t next_ = 250000;
  uint32_t lastMail_ = 0;
  qv::TargetList targets_;
  qv::Target box_;
  qv::OwnerAddresses owner_;
};

// Runs the format's parser over the context's file as an import run does:
// the file opened through the line file or the raw block file, the parser's
// start, for a line format content detection with the import's kind and the
// file rewound, the first pass where the format has one, then convert calls
// until the parser reports the file finished. Every call reads at least one
// byte, line, message or record: a parser that needs more calls than the
// input has bytes never finishes.
inline void runParser(FuzzContext& ctx, size_t size) {
  const qv::FormatInfo& f = ctx.format();
  qv::File& source = ctx.source();
  source.setName(ctx.filePath());
  check(source.open(qv::Share::ReadOnly));
  {
    std::unique_ptr<qv::Parser> parser = qv::makeParser(f);
    check(parser != nullptr);
    const size_t maxCalls = size + 16;
    bool convert = parser->start(ctx);
    if (convert && f.openAs == qv::OpenAs::Lines) {
      source.setFileOrder();
      int kind = qv::detectLineFormat(f.name, source, ctx.settings_.cisFileKind());
      check(kind == 0 || kind == qv::KindForumDb || kind == qv::KindMailDb);
      ctx.kind_ = kind;
      convert = kind != 0;
      source.setFileOrder();
    }
    if (convert) {
      size_t calls = 0;
      if (f.group == qv::ParserGroup::Cs3)
        while (!parser->firstPass(ctx)) check(++calls < maxCalls);
      while (!parser->convert(ctx)) check(++calls < maxCalls);
    }
  }  // the parser lets go of any second file before the source closes
  source.close();
}

}  // namespace qvfuzz
