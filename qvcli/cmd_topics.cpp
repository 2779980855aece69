// topic: the topics of a database listed, added, renamed and deleted.
// classify: a topic attached to, or removed from, a set of messages.
// group: the group operations (export, print, attach or remove a topic) over
// a set of messages with the group window's date filter, said as the
// export, print and classify commands say them.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "commands.h"
#include "maintenance/classify_run.h"
#include "message_options.h"
#include "services/databases.h"
#include "services/datetime.h"
#include "services/globals.h"
#include "services/installation.h"
#include "services/topics.h"
#include "storage/collation.h"

namespace qvcli {

namespace {

bool wholeNumber(const std::string& s, uint32_t& out) {
  if (s.empty() || s.find_first_not_of("0123456789") != std::string::npos || s.size() > 10) return false;
  unsigned long long v = std::strtoull(s.c_str(), nullptr, 10);
  if (v > 0xFFFFFFFFull) return false;
  out = uint32_t(v);
  return true;
}

// The topic named by its ID or its text; 0 when none is.
uint32_t topicNamed(const std::string& name) {
  uint32_t id = 0;
  bool isNumber = wholeNumber(name, id);
  for (const qv::Topic& t : qv::listTopics())
    if ((isNumber && t.id == id) || qv::compareNoCase(t.text, name) == 0) return t.id;
  return 0;
}

bool useNamedDatabase(const std::string& name) {
  if (!qv::findDatabase(name)) return false;
  qv::useDatabase();
  return true;
}

const size_t kTopicTextMax = 40;

// The From and To dates of the date filter, checked as the group window
// checks them. Returns 0, or the exit status of a failure already reported.
int takeDateFilter(Args& args, qv::MessageRange& range) {
  std::string from, to;
  bool haveFrom = takeOption(args, "--from", from), haveTo = takeOption(args, "--to", to);
  if (!haveFrom && !haveTo) return 0;
  auto parse = [](const std::string& s) {
    int y = 0, m = 0, d = 0;
    char tail;
    if (std::sscanf(s.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &tail) != 3) return int32_t(0);
    return qv::dateFromYMD(y, m, d);
  };
  int32_t f = haveFrom ? parse(from) : 0, t = haveTo ? parse(to) : 0;
  qv::DateRangeFault fault = qv::dateRangeFault(f, t);
  if (fault != qv::DateRangeFault::None)
    return fail(std::string(qv::dateRangeFaultText(fault)) + " (dates are written YYYY-MM-DD)");
  range.dateRange = true;
  range.fromDate = f;
  range.toDate = t;
  return 0;
}

}  // namespace

int cmdTopic(const Args& argsIn) {
  Args args = argsIn;
  bool matchCase = takeFlag(args, "--match-case"), matchWord = takeFlag(args, "--match-word");
  for (const std::string& a : args)
    if (a.rfind("--", 0) == 0) return fail("unknown option \"" + a + "\"");
  if (args.size() < 2) return fail("usage: topic DB add|rename|delete|list ...");
  if (!useNamedDatabase(args[0])) return fail("no database named \"" + args[0] + "\"");
  const std::string& action = args[1];
  if (action == "list" && args.size() == 2) {
    for (const qv::Topic& t : qv::listTopics()) say("%10u %8u  %s\n", t.id, t.count, t.text.c_str());
    return 0;
  }
  if (action == "add" && args.size() == 3) {
    if (args[2].empty() || args[2].size() > kTopicTextMax) return fail("a topic is 1 to 40 characters");
    if (topicNamed(args[2]) != 0) return fail("the topic \"" + args[2] + "\" exists already");
    qv::Topic t;
    t.text = args[2];
    t.matchCase = matchCase;
    t.matchWord = matchWord;
    uint32_t id = qv::addTopic(t);
    if (id == 0) return 1;
    say("%u\n", id);
    return 0;
  }
  if (action == "rename" && args.size() == 4) {
    uint32_t id = topicNamed(args[2]);
    if (id == 0) return fail("no topic \"" + args[2] + "\"");
    if (args[3].empty() || args[3].size() > kTopicTextMax) return fail("a topic is 1 to 40 characters");
    uint32_t other = topicNamed(args[3]);
    if (other != 0 && other != id) return fail("the topic \"" + args[3] + "\" exists already");
    for (qv::Topic t : qv::listTopics())
      if (t.id == id) {
        t.text = args[3];
        if (matchCase) t.matchCase = true;
        if (matchWord) t.matchWord = true;
        return qv::updateTopic(t) ? 0 : 1;
      }
    return 1;
  }
  if (action == "delete" && args.size() == 3) {
    uint32_t id = topicNamed(args[2]);
    if (id == 0) return fail("no topic \"" + args[2] + "\"");
    return qv::deleteTopic(id) ? 0 : 1;
  }
  return fail("usage: topic DB add TEXT | rename TOPIC TEXT | delete TOPIC | list");
}

int cmdClassify(const Args& argsIn) {
  Args args = argsIn;
  std::string topic, setTopic;
  if (!takeOption(args, "--topic", topic)) return fail("classify needs the topic to attach or remove: --topic ID|TEXT");
  bool remove = takeFlag(args, "--remove");
  bool haveSetTopic = takeOption(args, "--set-topic", setTopic);
  qv::MessageRange range;
  if (int rc = takeDateFilter(args, range)) return rc;
  // The set's own topic is the export's --topic.
  if (haveSetTopic) {
    args.push_back("--topic");
    args.push_back(setTopic);
  }
  MessageOptions o;
  if (int rc = takeMessageOptions(args, o)) return rc;
  if (o.range.idRange || o.range.dateRange) return fail("classify takes a date range as --from DATE --to DATE");
  qv::ClassifyRequest r;
  r.scope = o.rank * 2 + (remove ? 1 : 0);
  r.messageId = o.messageId;
  r.wordId = o.wordId;
  r.setTopicId = o.topicId;
  r.topicId = topicNamed(topic);
  if (r.topicId == 0) return fail("no topic \"" + topic + "\"");
  r.filter = range;
  auto t0 = std::chrono::steady_clock::now();
  qv::ClassifyRun run(r);
  while (run.step()) {
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  const qv::ClassifyView& v = run.view();
  say("messages classified:   %lld\n", static_cast<long long>(v.classified));
  say("messages filtered out: %lld\n", static_cast<long long>(v.filtered));
  if (v.missing) say("messages not found:    %lld\n", static_cast<long long>(v.missing));
  if (remove)
    say("links removed:         %lld\n", static_cast<long long>(v.linksRemoved));
  else
    say("links added:           %lld\n", static_cast<long long>(v.linksAdded));
  say("seconds:               %.1f\n", seconds);
  return run.result() == qv::ClassifyDone ? 0 : 1;
}

bool groupCommand(Args& args, std::string& name) {
  std::string file, pdf, topic, layout, outbox;
  bool exportIt = takeOption(args, "--export", file);
  bool printIt = takeFlag(args, "--print");
  bool havePdf = takeOption(args, "--pdf", pdf);
  bool attach = takeOption(args, "--attach", topic);
  bool remove = !attach && takeOption(args, "--remove", topic);
  if (int(exportIt) + int(printIt) + int(attach) + int(remove) != 1) {
    fail("group needs one operation: --export FILE, --print --pdf FILE, --attach TOPIC or --remove TOPIC");
    return false;
  }
  qv::MessageRange range;
  if (takeDateFilter(args, range) != 0) return false;
  auto ymd = [](int32_t date) {
    int y, m, d;
    qv::ymdFromDate(date, y, m, d);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
    return std::string(buf);
  };
  if (exportIt) {
    name = "export";
    args.insert(args.end(), {"--file", file});
  } else if (printIt) {
    name = "print";
    if (havePdf) args.insert(args.end(), {"--pdf", pdf});
  } else {
    name = "classify";
    // The set's own topic is named --topic here, as in export and print.
    std::string setTopic;
    if (takeOption(args, "--topic", setTopic)) args.insert(args.end(), {"--set-topic", setTopic});
    args.insert(args.end(), {"--topic", topic});
    if (remove) args.push_back("--remove");
  }
  if (range.dateRange) {
    bool classify = name == "classify";
    args.insert(args.end(), {classify ? "--from" : "--since", ymd(range.fromDate), classify ? "--to" : "--until",
                             ymd(range.toDate)});
  }
  return true;
}

}  // namespace qvcli
