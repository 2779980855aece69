// Fuzzes the parsers of the news readers' stores, one parser group per
// program (QV_NEWS_GROUP: 0 the stores with separator lines, 1 the ".NCH"
// record stores, 2 the Netscape and Gravity stores with their index). The
// first input byte chooses the format of the group and the import settings;
// the rest is the store (for group 2: two bytes giving the length of the
// index beside it, the index, then the store), written to temporary files and
// read through the raw block files as an import run reads them. Besides
// crashes and sanitizer reports, the promises about every record written are
// checked: texts and fields are valid UTF-8 within their sizes, texts have
// CR LF line ends and no NUL, every article goes to a newsgroup database
// under its own number, message-ID records name each number once and hold
// an ID in angle brackets; and every parser finishes its file.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <string_view>

#include "fuzz_support.h"

#ifndef QV_NEWS_GROUP
#define QV_NEWS_GROUP 0
#endif

namespace {

using namespace qvfuzz;

class NewsContext : public FuzzContext {
 public:
  using FuzzContext::FuzzContext;

  qv::Target* target(const std::string& name, int kind) override {
    check(kind == qv::KindNewsDb);
    check(qv::mime::isValidUtf8(name));
    return FuzzContext::target(name, kind);
  }
  qv::Target* mailbox() override { return nullptr; }
  bool emit() override {
    const qv::ImpHeaderRec& r = qv::NHR;
    check(!creationOnly());
    checkRecord(r);
    check(r.MSGTEXT.find('\0') == std::string::npos);
    check(r.MAILTYPE == qv::DirectionUndecided && r.SECTIONNUMBER == 1);
    const qv::Target* t = targets_.findId(r.INTERNAL);
    check(t != nullptr && t->kind == qv::KindNewsDb && t->allowed);
    check(qv::Str<100>(t->name).view() == r.FOR_DESCRIPTION.view());
    check(r.MSGNUMBER != 0 && r.MSGNUMBER < next_);
    check(articles_.insert(r.MSGNUMBER).second);  // one record per number
    check(r.REFNUMBER == 0 || ids_.count(r.REFNUMBER) == 1);
    return true;
  }
  bool emitMessageId(uint32_t number, const std::string& id) override {
    check(number != 0 && number < next_);
    check(id.size() >= 2 && id.front() == '<' && id.back() == '>');
    check(qv::mime::isValidUtf8(id));
    check(articles_.count(number) == 0);  // written before the article's record
    check(ids_.emplace(number, id).second);
    return true;
  }
  std::string messageIdOf(uint32_t number) override {
    auto it = ids_.find(number);
    return it == ids_.end() ? std::string() : it->second;
  }

 private:
  std::set<uint32_t> articles_;
  std::map<uint32_t, std::string> ids_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  std::string_view in(reinterpret_cast<const char*>(data) + 1, size - 1);
  unsigned choice = data[0];

#if QV_NEWS_GROUP == 0
  static const char* kFormats[] = {"VirtualAccess", "Agent News", "Unix News"};
  const char* name = kFormats[choice % 3];
#elif QV_NEWS_GROUP == 1
  static const char* kFormats[] = {"IE News", "Outlook Express News"};
  const char* name = kFormats[choice % 2];
#else
  static const char* kFormats[] = {"Netscape News", "Gravity"};
  const char* name = kFormats[choice % 2];
#endif
  const qv::FormatInfo* f = qv::formatByName(name);
  check(f != nullptr);

  // The store and its index: the same name, extension .IDX.
  const std::string store = tempFile("fuzz_news", "store.SNM");
  const std::string index = tempFile("fuzz_news", "store.IDX");
  std::remove(index.c_str());
#if QV_NEWS_GROUP == 2
  if (in.size() >= 2) {
    size_t n = std::min(in.size() - 2, size_t(uint8_t(in[0])) | size_t(uint8_t(in[1])) << 8);
    if (n > 0) writeFile(index, in.substr(2, n));
    in.remove_prefix(2 + n);
  }
#endif
  writeFile(store, in);

  NewsContext ctx(*f, store);
  ctx.settings_.importNews = true;
  ctx.slice_ = 3;
  unsigned variant = (choice / 3) % 8;
  if (variant == 5) ctx.settings_.filter = qv::FilterCreateOnly;
  if (variant == 6) {
    // Databases that exist before the run, one of them closed to imports.
    ctx.target("comp.test", qv::KindNewsDb);
    qv::Target* closed = ctx.target("comp.closed", qv::KindNewsDb);
    if (closed) closed->allowed = false;
  }

  runParser(ctx, size);
  check(!qv::RawFile2.isOpen());
  return 0;
}
