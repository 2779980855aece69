// What the parser fuzzers share: the promise check, the checks every written
// record must pass, a temporary source file, and the loop that runs a parser
// over its file and insists that it finishes.
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
#include "mime/charset.h"
#include "import/parser.h"
#include "services/datetime.h"
#include "storage/fixedstr.h"

// Stops with the promise that failed.
#define check(ok)                                                            \
  do {                                                                       \
    if (!(ok)) {                                                             \
      std::fprintf(stderr, "broken promise: %s (line %d)\n", #ok, __LINE__); \
      std::abort();                                                          \
    }                                                                        \
  } while (0)

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

// A directory of the fuzzer's own under $TMPDIR (or /tmp), made once.
inline const std::string& tempDir(const char* prefix) {
  static std::string dir = [prefix] {
    const char* t = std::getenv("TMPDIR");
    std::string p = std::string(t && *t ? t : "/tmp") + "/" + prefix + "_XXXXXX";
    check(mkdtemp(p.data()) != nullptr);
    return p;
  }();
  return dir;
}

inline void writeFile(const std::string& path, std::string_view bytes) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  check(out != nullptr);
  if (!bytes.empty()) check(std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size());
  std::fclose(out);
}

// Runs the format's parser over the source file as an import run does,
// through the raw block file. Every call reads at least one byte, message or
// record: a parser that needs more calls than the input has bytes never
// finishes.
inline void runParser(const qv::FormatInfo& f, qv::ImportContext& ctx, const std::string& path, size_t size) {
  qv::RawFile.setName(path);
  check(qv::RawFile.open(qv::Share::ReadOnly));
  {
    std::unique_ptr<qv::Parser> parser = qv::makeParser(f);
    check(parser != nullptr);
    const size_t maxCalls = size + 16;
    if (parser->start(ctx)) {
      size_t calls = 0;
      if (f.group == qv::ParserGroup::Cs3)
        while (!parser->firstPass(ctx)) check(++calls < maxCalls);
      while (!parser->convert(ctx)) check(++calls < maxCalls);
    }
  }  // the parser lets go of any second file before the source closes
  qv::RawFile.close();
}

}  // namespace qvfuzz
