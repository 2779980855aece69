// bench/browse: how opening a browser and going to its end grow with the
// size of a forum database, in the library's views and in the browser window.
//
// 1. Generates two forum databases in a new installation, by default of
//    10,000 and 1,000,000 messages (threads of about 20 messages in 20
//    sections, one person per 200 messages, one indexed word in every tenth
//    message), written straight into the files in write streams of 50,000
//    records with the keys built at the end.
// 2. For each database and library view (number, limited thread, limited
//    section, sender, limited sender, date, key word) times:
//      open: the view made, the title's message count, the first page of 40
//            rows read with their texts and colours;
//      last: to the view's last message and the last page of rows.
//    Each figure is the best of several runs (their medians follow), once
//    with the files opened by each run and once with them held open.
// 3. When the program is built with the Qt program (QV_BUILD_GUI), times the
//    forum browser window (browse_window.cpp) under Qt's offscreen platform
//    in its number, limited thread and date views:
//      open: from making the database active to the window shown with its
//            first page of rows and the selected message in the reading
//            pane, both painted;
//      last: from End pressed on the list to the view's last message
//            selected and in the reading pane, both painted again.
// 4. Prints the tables and the ratio of the large database to the small one.
//
// Usage: bench_browse --help
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench_options.h"
#include "bench_run.h"
#include "browse_timing.h"
#include "browse/browse_rows.h"
#include "browse/browse_title.h"
#include "browse/browse_view.h"
#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/databases.h"
#include "services/db_kind.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/installation.h"
#include "services/startup.h"
#ifdef QV_BENCH_WINDOW
#include "browse_window.h"
#endif

namespace fs = std::filesystem;
using qvbench::Clock;
using qvbench::printTimingTable;
using qvbench::since;
using qvbench::Timing;
using qvbench::TimingRow;
using qvbench::timingOf;

namespace {

constexpr int kPage = 40;
constexpr uint32_t kFirstMessage = 1000000;
constexpr uint32_t kWord = 1;

// Made-up words for headings and names.
std::string syllables(std::mt19937& rng, int count) {
  static const char* parts[] = {"ka", "lo", "mi", "ne", "ru", "sa", "to", "vi", "ber", "dan",
                                "el", "for", "gun", "hal", "is", "jor", "kel", "mar", "nor", "pel"};
  std::string s;
  for (int i = 0; i < count; ++i) s += parts[rng() % 20];
  s[0] = char(s[0] - 32);
  return s;
}

// What a generated database holds that the timing needs.
struct Generated {
  uint32_t id = 0;
  uint32_t messages = 0;
  uint32_t middleThread = 0;
  std::string middleThreadAlpha;
  uint32_t middleSection = 0;
  uint32_t middlePerson = 0;
  std::string middlePersonAlpha;
  double seconds = 0;
};

bool flushSlice(std::vector<qv::File*> files) {
  for (qv::File* f : files)
    if (!f->flush() || !f->stream()) return false;
  return true;
}

bool generate(const std::string& name, uint32_t messages, Generated& g) {
  using namespace qv;
  auto t0 = Clock::now();
  std::mt19937 rng(messages);
  g.messages = messages;
  g.id = AddForumDatabase(name, 1, 0);
  if (!g.id || !selectDatabase(g.id)) return false;
  const uint32_t sections = 20, threads = std::max<uint32_t>(1, messages / 20),
                 persons = std::max<uint32_t>(20, messages / 200);
  const uint32_t sectionBase = 100, threadBase = 200000, personBase = 100;

  struct Msg {
    uint32_t thread, from, to;
  };
  std::vector<Msg> plan(messages);
  std::vector<uint32_t> threadCount(threads), sectionCount(sections), fromCount(persons), toCount(persons);
  for (uint32_t i = 0; i < messages; ++i) {
    // Later messages mostly answer recent threads, as in a live forum.
    uint32_t reach = std::max<uint32_t>(1, uint32_t(uint64_t(i + 1) * threads / messages));
    uint32_t t = reach - 1 - std::min<uint32_t>(reach - 1, rng() % 50);
    plan[i] = {t, uint32_t(rng() % persons), uint32_t(rng() % persons)};
    ++threadCount[t];
    ++sectionCount[t % sections];
    ++fromCount[plan[i].from];
    ++toCount[plan[i].to];
  }

  OP_CLOSE(OpShared, {FileMsgNmbr, FilePerson, FileSections, FileThreads, FileMasIdx});
  bool ok = MsgNmbr.stream() && Person.stream() && Sections.stream() && Threads.stream() && MasIdx.stream();
  std::vector<std::string> lastNames(persons), alphas(threads);
  for (uint32_t s = 0; ok && s < sections; ++s) {
    SEC = SectionsRec();
    SEC.SECSYSID = sectionBase + s;
    SEC.SECTIONNUMBER = uint8_t(s + 1);
    SEC.DESCRIPTION = syllables(rng, 3);
    SEC.MSGCOUNT = sectionCount[s];
    ok = Sections.append();
  }
  for (uint32_t p = 0; ok && p < persons; ++p) {
    PER = PersonRec();
    PER.PERSONID = personBase + p;
    lastNames[p] = syllables(rng, 3);
    std::string first = syllables(rng, 2);
    PER.LASTNAME = lastNames[p];
    PER.FIRSTNAME = first;
    PER.PERSONSTRING = first + " " + lastNames[p] + " " + std::to_string(p);
    PER.ADDRESS = std::to_string(70000 + p) + ",123";
    PER.FROMCOUNT = fromCount[p];
    PER.TOCOUNT = toCount[p];
    ok = Person.append();
  }
  for (uint32_t t = 0; ok && t < threads; ++t) {
    std::string heading = syllables(rng, 3) + " " + syllables(rng, 4);
    THR = ThreadsRec();
    THR.THREADNUMBER = threadBase + t;
    THR.SECSYSID = sectionBase + t % sections;
    THR.ALPHA = heading.substr(0, 10);
    THR.BETA = heading.size() > 10 ? heading.substr(10) : std::string();
    THR.MSGCOUNT = threadCount[t];
    alphas[t] = THR.ALPHA.str();
    ok = Threads.append();
    if (ok && t % 50000 == 49999) ok = flushSlice({&Threads});
  }
  for (uint32_t i = 0; ok && i < messages; ++i) {
    const Msg& m = plan[i];
    MSG = MsgNmbrRec();
    MSG.MSGNUMBER = kFirstMessage + i;
    MSG.SECSYSID = sectionBase + m.thread % sections;
    MSG.THREADNUMBER = threadBase + m.thread;
    MSG.THREADALPHA = alphas[m.thread];
    MSG.FROMID = personBase + m.from;
    MSG.FROMALPHA = lastNames[m.from];
    MSG.TOID = personBase + m.to;
    MSG.TOALPHA = lastNames[m.to];
    MSG.DATE = 80000 + int32_t(i / 50);
    ok = MsgNmbr.append();
    if (ok && i % 10 == 0) {
      MAS = MasIdxRec();
      MAS.SYSID = kFirstMessage + i;
      MAS.WORDID = kWord;
      ok = MasIdx.append();
    }
    if (ok && i % 50000 == 49999) ok = flushSlice({&MsgNmbr, &MasIdx});
  }
  ok = MsgNmbr.flush() && Person.flush() && Sections.flush() && Threads.flush() && MasIdx.flush() && ok;
  ok = ok && MsgNmbr.buildKeys() && Person.buildKeys() && Sections.buildKeys() && Threads.buildKeys() &&
       MasIdx.buildKeys();
  OP_CLOSE(OpRelease, {FileMsgNmbr, FilePerson, FileSections, FileThreads, FileMasIdx});
  if (!ok) {
    std::fprintf(stderr, "generating failed: %s\n", ErrorText().c_str());
    return false;
  }
  OP_CLOSE(OpShared, {FileForums});
  FOR = ForumsRec();
  FOR.ID = g.id;
  if (Forums.get(FOR_ForumKey)) {
    FOR.MSGCOUNT = messages;
    FOR.COUNTFLAG = 0;
    Forums.put();
  }
  OP_CLOSE(OpRelease, {FileForums});

  uint32_t mid = plan[messages / 2].thread;
  g.middleThread = threadBase + mid;
  g.middleThreadAlpha = alphas[mid];
  g.middleSection = sectionBase + mid % sections;
  g.middlePerson = personBase + plan[messages / 2].from;
  g.middlePersonAlpha = lastNames[plan[messages / 2].from];
  g.seconds = since(t0);
  return true;
}

struct ViewCase {
  const char* name;
  qv::BrowseState state;
};

std::vector<ViewCase> cases(const Generated& g) {
  using namespace qv;
  auto make = [](int mode) {
    BrowseState s;
    s.kind = qv::KindForumDb;
    s.mode = mode;
    return s;
  };
  std::vector<ViewCase> out;
  out.push_back({"number", make(FmNumber)});
  BrowseState t = make(FmThread);
  t.threadNumber = g.middleThread;
  t.threadAlpha = g.middleThreadAlpha;
  t.limitThread = true;
  out.push_back({"thread, limited", t});
  BrowseState sec = make(FmSection);
  sec.sectionId = g.middleSection;
  out.push_back({"section", sec});
  out.push_back({"sender", make(FmSender)});
  BrowseState from = make(FmSender);
  from.sender.id = g.middlePerson;
  from.sender.alpha = g.middlePersonAlpha;
  from.limitSender = true;
  out.push_back({"sender, limited", from});
  out.push_back({"date", make(FmDate)});
  BrowseState w = make(FmWord);
  w.wordId = kWord;
  out.push_back({"key word", w});
  return out;
}

// One page of rows with their texts, as the list shows them; the number of
// characters, so that nothing is optimised away.
size_t showRows(const std::vector<uint32_t>& ids) {
  size_t chars = 0;
  for (const qv::BrowseRow& r : qv::readBrowseRows(1, ids))
    for (const std::string& t : qv::rowTexts(1, r)) chars += t.size();
  return chars;
}

// Characters shown, kept so that the work cannot be left out.
size_t sink = 0;

Timing timeView(const qv::BrowseState& s, int runs) {
  std::vector<double> opens, lasts;
  for (int r = 0; r < runs; ++r) {
    auto t0 = Clock::now();
    {
      qv::BrowseView v(s);
      std::string title = qv::browseTitle(qv::KindForumDb, qv::Mem.Description, qv::messageCount(qv::KindForumDb));
      std::vector<uint32_t> page;
      if (v.toFirst()) {
        page.push_back(v.current());
        for (uint32_t id : v.fetch(kPage - 1, true)) page.push_back(id);
      }
      sink += showRows(page) + title.size();
      opens.push_back(since(t0));
      auto t1 = Clock::now();
      page.clear();
      if (v.toLast()) {
        page = v.fetch(kPage - 1, false);
        std::reverse(page.begin(), page.end());
        page.push_back(v.current());
      }
      sink += showRows(page);
      lasts.push_back(since(t1));
    }
  }
  return timingOf(opens, lasts);
}

}  // namespace

int main(int argc, char** argv) {
  uint32_t small = 10000, large = 1000000;
  int runs = 9;
  std::string dir;
  bool keep = false;
  qvbench::Options o("bench_browse",
                     "Times opening the browser views of a small and a large forum database and going to their\n"
                     "ends, in the library and (when built with the Qt program) in the browser window.");
  o.value("--small", "N", "messages of the small database (default 10,000)", small);
  o.value("--large", "N", "messages of the large database (default 1,000,000)", large);
  o.value("--runs", "R", "runs of each timing (default 9)", runs);
  o.value("--dir", "DIR", "work directory (default: a new one in /tmp, removed after)", dir);
  o.flag("--keep", "keep the work directory", keep);
  o.flag("--quick", "2,000 and 20,000 messages, 3 runs", [&] {
    small = 2000;
    large = 20000;
    runs = 3;
  });
  if (int rc = o.parse(argc, argv); rc >= 0) return rc;
  runs = std::max(1, runs);
  bool ownDir = dir.empty();
  if (ownDir) {
    char tmpl[] = "/tmp/bench_browse.XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    dir = tmpl;
  }
  static qvbench::QuietPrompter prompter;
  qv::setPrompter(&prompter);
  // The program's start-up checks open the installation with the default
  // window positions and sizes that the browser window takes.
  std::string error;
  if (qv::StartupChecks(dir, error) == qv::StartupStop) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }

  Generated g[2];
  uint32_t sizes[2] = {small, large};
  for (int k = 0; k < 2; ++k) {
    std::printf("Generating %u messages ...", sizes[k]);
    std::fflush(stdout);
    if (!generate("Bench " + std::to_string(sizes[k]), sizes[k], g[k])) return 1;
    std::printf(" %.1f s\n", g[k].seconds);
  }

  std::vector<ViewCase> names = cases(g[0]);
  double worst = 0;
  // First with the files opened by each run, as a browser opening a
  // database does; then with them held open, which shows the walks alone.
  for (bool held : {false, true}) {
    std::vector<TimingRow> rows;
    for (size_t c = 0; c < names.size(); ++c) {
      Timing t[2];
      for (int k = 0; k < 2; ++k) {
        qv::selectDatabase(g[k].id);
        if (held) qv::OP_CLOSE(qv::OpShared, {qv::FileForums, qv::FileMsgNmbr, qv::FileMsgText, qv::FilePerson, qv::FileSections, qv::FileThreads, qv::FileMasIdx});
        t[k] = timeView(cases(g[k])[c].state, runs);
        if (held) qv::OP_CLOSE(qv::OpRelease, {qv::FileForums, qv::FileMsgNmbr, qv::FileMsgText, qv::FilePerson, qv::FileSections, qv::FileThreads, qv::FileMasIdx});
      }
      rows.push_back({names[c].name, t[0], t[1]});
    }
    char title[96];
    std::snprintf(title, sizeof title, "Browse view timings, %s (best of %d runs; ms)",
                  held ? "files held open" : "files opened by each run", runs);
    worst = std::max(worst, printTimingTable(title, rows));
  }
  std::printf("\nsmall: %u messages, large: %u messages; largest ratio large/small %.2f (aim: under 2)\n", small,
              large, worst);

  bool windowFailed = false;
#ifdef QV_BENCH_WINDOW
  qvbench::WindowDatabase wdb[2];
  for (int k = 0; k < 2; ++k) wdb[k] = {g[k].id, kFirstMessage + g[k].messages / 2};
  double windowWorst = qvbench::benchBrowseWindow(argc, argv, wdb, runs);
  windowFailed = windowWorst < 0;
  if (!windowFailed) std::printf("\nBrowser window: largest ratio large/small %.2f (aim: under 2)\n", windowWorst);
#else
  std::printf("\nBrowser window: left out, this build has no Qt program (QV_BUILD_GUI off)\n");
#endif

  qv::closeInstallation();
  if (ownDir && !keep) fs::remove_all(dir);
  return windowFailed ? 1 : 0;
}
