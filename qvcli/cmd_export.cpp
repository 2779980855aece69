// export: messages of a database written to text and mailbox files, or one
// message framed as for the clipboard on standard output.
#include <cstdio>
#include <cstdlib>

#include "commands.h"
#include "export/clipboard.h"
#include "export/copy_msg.h"
#include "message_options.h"
#include "originals/originals_export.h"
#include "services/databases.h"
#include "services/datetime.h"
#include "services/globals.h"
#include "services/installation.h"
#include "services/topics.h"
#include "storage/collation.h"
#include "wordindex/word_lookup.h"

namespace qvcli {

namespace {

const char* const kScopes[] = {"message", "thread", "sender", "recipient", "section",
                               "date",    "word",   "topic",  "search"};
// Every message of the database: the set of "date" without a date range,
// so that undated messages are in it too.
constexpr const char* kScopeAll = "all";
constexpr int kRankDatabase = 6;

bool number(const std::string& s, uint32_t& out) {
  if (s.empty() || s.find_first_not_of("0123456789") != std::string::npos || s.size() > 10) return false;
  unsigned long long v = std::strtoull(s.c_str(), nullptr, 10);
  if (v > 0xFFFFFFFFull) return false;
  out = uint32_t(v);
  return true;
}

bool date(const std::string& s, int32_t& out) {
  int y, m, d;
  char tail;
  if (std::sscanf(s.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &tail) != 3) return false;
  out = qv::dateFromYMD(y, m, d);
  return out != 0;
}

// The clipboard of the command line: what is copied goes to standard output,
// its control characters shown rather than sent to the terminal.
class StdoutClipboard : public qv::Clipboard {
 public:
  void setText(const std::string& text) override {
    sayText(text);
    last_ = text;
  }
  std::string text() override { return last_; }

 private:
  std::string last_;
};

}  // namespace

int takeMessageOptions(Args& args, MessageOptions& out) {
  std::string scope, id, word, topic, minId, maxId, since, until;
  if (!takeOption(args, "--scope", scope)) return fail(std::string("--scope is required: ") + kMessageOptionsUsage);
  bool haveId = takeOption(args, "--id", id);
  bool haveWord = takeOption(args, "--word", word);
  bool haveTopic = takeOption(args, "--topic", topic);
  bool haveMin = takeOption(args, "--min-id", minId), haveMax = takeOption(args, "--max-id", maxId);
  bool haveSince = takeOption(args, "--since", since), haveUntil = takeOption(args, "--until", until);
  out.rank = 0;
  for (int i = 0; i < 9; ++i)
    if (scope == kScopes[i]) out.rank = i + 1;
  if (scope == kScopeAll) {
    if (haveSince || haveUntil)
      return fail("--scope all takes every message, with or without a date: for a date range use --scope date");
    out.rank = kRankDatabase;
  }
  if (out.rank == 0) return fail("unknown scope \"" + scope + "\"");
  qv::setOfPrintScope(out.rank, out.set);
  if (haveId && !number(id, out.messageId)) return fail("--id takes a message number");
  if (out.rank <= 5 && !haveId) return fail("scope " + scope + " needs the current message: --id N");
  if (haveMin || haveMax) {
    out.range.idRange = true;
    out.range.highId = 0xFFFFFFFFu;
    if ((haveMin && !number(minId, out.range.lowId)) || (haveMax && !number(maxId, out.range.highId)))
      return fail("--min-id and --max-id take message numbers");
  }
  if (haveSince || haveUntil) {
    out.range.dateRange = true;
    out.range.toDate = INT32_MAX;
    if ((haveSince && !date(since, out.range.fromDate)) || (haveUntil && !date(until, out.range.toDate)))
      return fail("--since and --until take dates written YYYY-MM-DD");
  }
  for (const std::string& a : args)
    if (a.rfind("--", 0) == 0) return fail("unknown option \"" + a + "\"");
  if (args.size() != 1) return fail("name one database");
  if (!qv::findDatabase(args[0])) return fail("no database named \"" + args[0] + "\"");
  qv::useDatabase();

  if (out.set == qv::MessageSet::Word) {
    if (!haveWord) return fail("scope word needs --word W");
    auto found = qv::lookupWords(qv::foldUpper(word), qv::LookupMode::Exact);
    if (found.empty()) return fail("no word of the index is \"" + word + "\"");
    out.wordId = found.front().wordId;
  }
  if (out.set == qv::MessageSet::Topic) {
    if (!haveTopic) return fail("scope topic needs --topic ID or --topic TEXT");
    if (!number(topic, out.topicId)) {
      for (const qv::Topic& t : qv::listTopics())
        if (qv::compareNoCase(t.text, topic) == 0) out.topicId = t.id;
      if (out.topicId == 0) return fail("no topic \"" + topic + "\"");
    }
  }
  return 0;
}

int cmdExport(const Args& argsIn) {
  Args args = argsIn;
  std::string layout, file, outbox, emlDir;
  bool haveLayout = takeOption(args, "--layout", layout);
  bool haveFile = takeOption(args, "--file", file);
  bool haveOutbox = takeOption(args, "--outbox", outbox);
  bool append = takeFlag(args, "--append");
  bool toClipboard = takeFlag(args, "--clipboard");
  bool original = takeFlag(args, "--original");
  bool haveEml = takeOption(args, "--eml", emlDir);
  MessageOptions o;
  if (int rc = takeMessageOptions(args, o)) return rc;

  qv::CopyRequest r;
  r.scope = toClipboard ? 1 : o.rank * 2 + (append ? 1 : 0);
  if (toClipboard && o.rank != 1) return fail("--clipboard copies one message: --scope message");
  r.messageId = o.messageId;
  r.wordId = o.wordId;
  r.topicId = o.topicId;
  r.filter = o.range;
  if (haveLayout) {
    uint32_t n;
    if (!number(layout, n) || n < 1 || n > 4) return fail("--layout takes 1 to 4");
    r.layout = int(n);
  }
  if (original || haveEml) {
    if (haveLayout || haveOutbox || toClipboard) return fail("--original takes neither --layout, --outbox nor --clipboard");
    if (haveEml && haveFile) return fail("--eml writes a directory of files: leave out --file");
    if (haveEml && emlDir.empty()) return fail("--eml takes a directory");
    r.layout = qv::kLayoutOriginals;
    r.emlDir = emlDir;
  }
  r.defaultNames = !haveFile && !haveOutbox;
  r.file1 = file;
  r.file2 = outbox;

  StdoutClipboard clip;
  if (toClipboard) qv::setClipboard(&clip);
  qv::CopyRun run(r);
  run.onProgress([](const qv::CopyView& v) {
    sayError("%lld messages written, %lld skipped", static_cast<long long>(v.written),
             static_cast<long long>(v.skipped));
    if (v.undated > 0) sayError(", %lld without a date left out by the date range", static_cast<long long>(v.undated));
    sayError("\n");
  });
  while (run.step()) {
  }
  if (toClipboard) qv::setClipboard(nullptr);
  if (run.result() != qv::CopyDone) return 1;
  // A damaged original left out is a fault the caller must see.
  if (run.view().damaged > 0) return 1;
  if (!run.path1().empty()) say("%s\n", run.path1().c_str());
  if (!run.path2().empty()) say("%s\n", run.path2().c_str());
  return 0;
}

}  // namespace qvcli
