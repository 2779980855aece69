// bench/search: the word index and search against notmuch, mu, mairix and
// SQLite FTS5 on the same generated mail.
//
// 1. Generates N mails (default 100,000; bench/corpus_gen.h) as an mbox and a
//    Maildir, keeping which messages hold each word.
// 2. Imports the mbox as "Unix Mail" into a mailbox of a new installation,
//    its words indexed in the same pass (`qvcli import --index`, a child
//    process: wall time and peak resident size).
// 3. Indexes the same mail with each peer found on PATH (notmuch, mu,
//    mairix; a missing one is skipped) and the same decoded texts with SQLite
//    FTS5, each in a child process.
// 4. Times five queries on every engine: a rare word, a common word, an AND
//    of two words, a two-word phrase, a word AND NOT another. Each engine is
//    timed as a command (process start, query, result list written to a
//    pipe); ours and FTS5 also in-process. Medians of five runs after one
//    warm-up. Hit counts are checked against the generator's knowledge (a phrase
//    against its texts), and where the engines do different work is printed.
//
// Usage: bench_search --help
// The peers come from Debian (notmuch, maildir-utils, mairix, sqlite3): the
// missing ones are installed when this runs as root, else skipped.
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "bench_options.h"
#include "bench_run.h"
#include "corpus_gen.h"
#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "import/import_run.h"
#include "services/databases.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/installation.h"
#include "services/prompt.h"
#include "wordindex/search.h"
#include "wordindex/stop_list.h"
#include "wordindex/word_cut.h"
#include "wordindex/word_lookup.h"

namespace fs = std::filesystem;
using qvbench::Clock;
using qvbench::onPath;
using qvbench::Run;
using qvbench::since;

namespace {

// Peers' commands run with their error output thrown away.
Run run(const std::vector<std::string>& argv, const std::string& cwd = {}) { return qvbench::run(argv, cwd, false); }

size_t lineCount(const std::string& s) {
  size_t n = 0;
  for (size_t i = 0; i < s.size(); ++i)
    if (s[i] == '\n' && (i == 0 || s[i - 1] != '\n')) ++n;
  return n;
}

int64_t treeSize(const fs::path& p) {
  std::error_code ec;
  if (fs::is_regular_file(p, ec)) return int64_t(fs::file_size(p, ec));
  int64_t n = 0;
  for (fs::recursive_directory_iterator it(p, ec), end; !ec && it != end; it.increment(ec))
    if (it->is_regular_file(ec)) n += int64_t(it->file_size(ec));
  return n;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

struct Query {
  std::string name;
  std::vector<std::string> ours;  // qvcli search arguments after DB
  std::string notmuch, mu, mairix, fts5;
  int64_t expected = -1;  // from the generator, when it knows
  int64_t inHtmlOnly = -1;  // of those, mails whose only body is HTML
};

struct EngineResult {
  std::string name;
  bool present = false;
  double indexSeconds = 0;
  long indexRssKb = 0;
  int64_t indexBytes = 0;
  std::map<std::string, double> cli{}, inProcess{};
  std::map<std::string, double> cliBare{};  // FTS5: the query alone, rowids printed
  std::map<std::string, int64_t> hits{};
};

// Times a command five times after a warm-up; returns the median and the hit count of the last run.
double timeCommand(const std::vector<std::string>& argv, int64_t& hits) {
  Run w = run(argv);
  std::vector<double> t;
  for (int i = 0; i < 5; ++i) {
    Run r = run(argv);
    t.push_back(r.seconds);
    w = r;
  }
  hits = int64_t(lineCount(w.out));
  return median(t);
}

class QuietPrompter : public qv::Prompter {
 public:
  qv::Button ask(const qv::PromptRequest& r) override { return r.buttons & qv::BtnYes ? qv::BtnYes : r.defaultButton; }
};

// Our search in-process: word look-up and the search itself. Before each
// run an untimed search for `evictor` (a word the query does not hold) reads
// another word's list, so that no run is answered from the occurrence file's
// memory of the list it read last: like FTS5, each run reads its lists from
// the (warm) page cache.
double timeOurs(const Query& q, const std::string& evictor, int64_t& hits) {
  std::vector<double> t;
  for (int i = 0; i < 6; ++i) {
    {
      qv::WordSearch other(qv::Mem.ForumType);
      for (auto& c : qv::lookupWords(qv::wordUpper(evictor), qv::LookupMode::Exact))
        other.andList.push_back({c.word, c.wordId, c.count, false});
      other.run();
    }
    auto t0 = Clock::now();
    qv::WordSearch s(qv::Mem.ForumType);
    std::vector<std::string> words;
    bool phrase = false;
    for (size_t a = 0; a + 1 < q.ours.size(); a += 2) {
      const std::string& opt = q.ours[a];
      const std::string& w = q.ours[a + 1];
      if (opt == "--phrase") {
        phrase = true;
        qv::typedSearchWords(w, qv::LookupMode::Exact, true, words);
        for (const std::string& pw : words)
          for (auto& c : qv::lookupWords(pw, qv::LookupMode::Exact)) s.andList.push_back({c.word, c.wordId, c.count, false});
        s.phrase = words;
        continue;
      }
      auto found = qv::lookupWords(qv::wordUpper(w), qv::LookupMode::Exact);
      for (auto& c : found) s.andList.push_back({c.word, c.wordId, c.count, opt == "--not"});
    }
    (void)phrase;
    s.run();
    hits = int64_t(s.results().size());
    if (i > 0) t.push_back(since(t0));
  }
  return median(t);
}

}  // namespace

int main(int argc, char** argv) {
  size_t messages = 100000;
  uint32_t seed = 1;
  std::string dir = "/tmp/qv-bench-search";
  std::string qvcli = fs::absolute(fs::path(argv[0]).parent_path() / ".." / "qvcli" / "qvcli").lexically_normal();
  qvbench::Options o("bench_search",
                     "Builds the word index of N generated mails with Quorvane and with each peer (notmuch, mu,\n"
                     "mairix, SQLite FTS5) and times five queries on each, as commands and in-process.");
  o.value("--messages", "N", "mails to generate (default 100,000)", messages);
  o.value("--dir", "DIR", "work directory, emptied first (default /tmp/qv-bench-search)", dir);
  o.value("--seed", "S", "seed of the generated mail (default 1)", seed);
  o.value("--qvcli", "PATH", "the qvcli program (default: beside this one in the build tree)", qvcli);
  std::string peers = "notmuch,mu,mairix,sqlite-fts5";
  o.flag("--quick", "20,000 mails", [&] { messages = 20000; });
  o.value("--peers", "LIST", "peers to run, comma-separated (default notmuch,mu,mairix,sqlite-fts5; none: -)",
          peers);
  if (int rc = o.parse(argc, argv); rc >= 0) return rc;
  if (messages == 0) messages = 1;
  auto wanted = [&](const std::string& name) { return ("," + peers + ",").find("," + name + ",") != std::string::npos; };
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::string mbox = dir + "/corpus.mbox", maildir = dir + "/maildir", root = dir + "/quorvane";

  // 1. The corpus.
  auto t0 = Clock::now();
  qvbench::CorpusGenerator truth({.messages = messages, .seed = seed});
  truth.writeAll(mbox, maildir);
  std::printf("Corpus: %zu mails, mbox %.1f MB, generated in %.1f s\n", messages, double(treeSize(mbox)) / 1e6,
              since(t0));

  // The query words: chosen by how many messages hold them.
  int64_t rare = truth.pickWord(3.0 / double(messages), 12.0 / double(messages));
  int64_t common = truth.pickWord(0.10, 0.20);
  int64_t other = truth.pickWord(0.05, 0.10);
  if (rare < 0 || common < 0 || other < 0) {
    std::fprintf(stderr, "no suitable query words\n");
    return 1;
  }
  std::string wRare = truth.word(uint32_t(rare)), wCommon = truth.word(uint32_t(common)),
              wOther = truth.word(uint32_t(other));
  auto bothSet = [&](bool negate) {
    const auto& a = truth.messagesWith(uint32_t(common));
    const auto& b = truth.messagesWith(uint32_t(other));
    std::vector<uint32_t> out;
    if (negate)
      std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
    else
      std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
    return out;
  };
  auto both = [&](bool negate) { return int64_t(bothSet(negate).size()); };
  // A phrase: the common word and a word that follows it in some message's text.
  std::string p1 = wCommon, p2;
  {
    qvbench::CorpusGenerator g({.messages = std::min<size_t>(messages, 2000), .seed = seed});
    qvbench::GeneratedMail m;
    while (p2.empty() && g.next(m)) {
      std::vector<std::string> seq = qvbench::readableWords(m.body);
      for (size_t i = 0; i + 1 < seq.size() && p2.empty(); ++i) {
        const std::string& next = seq[i + 1];
        if (seq[i] == wCommon && next != wCommon && truth.wordNumber(next) >= 0 &&
            truth.messagesWith(next).size() < messages / 5 &&
            std::all_of(next.begin(), next.end(), [](char c) { return c >= 'a' && c <= 'z'; }))
          p2 = next;
      }
    }
  }
  // The truth of the phrase, from the generated texts themselves (a second
  // pass of the generator): the messages whose subject or text holds the two
  // words one after the other. And which messages have only an HTML body.
  std::vector<uint32_t> phraseTruth;
  std::vector<bool> htmlOnly(messages, false);
  {
    qvbench::CorpusGenerator g({.messages = messages, .seed = seed});
    qvbench::GeneratedMail m;
    while (g.next(m)) {
      if (qvbench::holdsPhrase(m, {p1, p2})) phraseTruth.push_back(uint32_t(m.index));
      htmlOnly[m.index] = m.shape == qvbench::MailShape::HtmlOnly;
    }
  }
  std::vector<Query> queries = {
      {"rare word", {"--and", wRare}, wRare, wRare, "bs:" + wRare, wRare, int64_t(truth.messagesWith(uint32_t(rare)).size())},
      {"common word", {"--and", wCommon}, wCommon, wCommon, "bs:" + wCommon, wCommon,
       int64_t(truth.messagesWith(uint32_t(common)).size())},
      {"AND", {"--and", wCommon, "--and", wOther}, wCommon + " and " + wOther, wCommon + " AND " + wOther,
       "bs:" + wCommon + "," + wOther, wCommon + " AND " + wOther, both(false)},
      {"phrase", {"--phrase", p1 + " " + p2}, "\"" + p1 + " " + p2 + "\"", "\"" + p1 + " " + p2 + "\"", "",
       "\"" + p1 + " " + p2 + "\"", int64_t(phraseTruth.size())},
      {"AND NOT", {"--and", wCommon, "--not", wOther}, wCommon + " and not " + wOther,
       wCommon + " AND NOT " + wOther, "bs:" + wCommon + ",~" + wOther, wCommon + " NOT " + wOther, both(true)},
  };
  {
    auto html = [&](const std::vector<uint32_t>& set) {
      return int64_t(std::count_if(set.begin(), set.end(), [&](uint32_t i) { return bool(htmlOnly[i]); }));
    };
    queries[0].inHtmlOnly = html(truth.messagesWith(uint32_t(rare)));
    queries[1].inHtmlOnly = html(truth.messagesWith(uint32_t(common)));
    queries[2].inHtmlOnly = html(bothSet(false));
    queries[3].inHtmlOnly = html(phraseTruth);
    queries[4].inHtmlOnly = html(bothSet(true));
  }
  std::printf("Query words: rare %s (%lld), common %s (%lld), other %s (%zu), phrase \"%s %s\"\n", wRare.c_str(),
              (long long)queries[0].expected, wCommon.c_str(), (long long)queries[1].expected, wOther.c_str(),
              truth.messagesWith(uint32_t(other)).size(), p1.c_str(), p2.c_str());

  std::vector<EngineResult> engines;
  int64_t phraseUnderStopList = -1;  // the phrase's truth with quorvane's stop list; -1 unknown

  // 2. Ours: the mbox imported with its words indexed in the same pass, one
  // process as a user runs it.
  {
    EngineResult e{"quorvane"};
    e.present = true;
    static QuietPrompter prompter;
    qv::setPrompter(&prompter);
    std::string error;
    if (!qv::openInstallation(root, error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    qv::MailboxSpec spec;
    spec.owner = "Bench Owner";
    spec.address = "owner@example.org";
    uint32_t box = qv::AddMailbox(spec, false);
    if (box == 0 || !qv::selectDatabase(box)) {
      std::fprintf(stderr, "the mailbox cannot be created\n");
      return 1;
    }
    std::string indexDir = qv::joinPath({qv::MasIdxPath, qv::Mem.Dirnamn});
    qv::closeInstallation();
    Run r = run({qvcli, "--root", root, "import", "--format", "Unix Mail", "--mailbox", "Bench Owner", "--unattended",
                 "--index", mbox});
    size_t at = r.out.find("Messages indexed:");
    long long indexed = at == std::string::npos ? -1 : std::atoll(r.out.c_str() + at + 17);
    if (r.status != 0 || indexed != (long long)messages) {
      std::fprintf(stderr, "qvcli import --index indexed %lld of %zu mails:\n%s\n", indexed, messages, r.out.c_str());
      return 1;
    }
    e.indexSeconds = r.seconds;
    e.indexRssKb = r.maxRssKb;
    e.indexBytes = treeSize(indexDir + "/IDX028.DAT") + treeSize(indexDir + "/IDX029.ADF");
    for (const Query& q : queries) {
      std::vector<std::string> args = {qvcli, "--root", root, "search", "Bench Owner"};
      args.insert(args.end(), q.ours.begin(), q.ours.end());
      int64_t hits = 0;
      e.cli[q.name] = timeCommand(args, hits);
      e.hits[q.name] = hits;
    }
    if (!qv::openInstallation(root, error) || !qv::findDatabase("Bench Owner")) return 1;
    qv::useDatabase();
    // The phrase as quorvane reads it: the words of its stop list (the
    // default list and the frequent words the indexing run moved there) left
    // out of the texts before the neighbours are looked at.
    {
      qv::StopWords stop;
      if (qv::loadStopList(stop)) {
        auto isStop = [&](const std::string& w) { return stop.count(qv::wordUpper(w)) != 0; };
        qvbench::CorpusGenerator g({.messages = messages, .seed = seed});
        qvbench::GeneratedMail m;
        int64_t n = 0;
        while (g.next(m)) n += qvbench::holdsPhrase(m, {p1, p2}, isStop) ? 1 : 0;
        phraseUnderStopList = n;
      }
    }
    // The search window keeps the index and message files open while it is open.
    qv::OP_CLOSE(qv::OpShared, {qv::FileWordList, qv::FileMasIdx, qv::FileMsgText, qv::FileMail});
    for (const Query& q : queries) {
      int64_t hits = 0;
      e.inProcess[q.name] = timeOurs(q, q.name == "rare word" ? wOther : wRare, hits);
      if (hits != e.hits[q.name]) std::fprintf(stderr, "in-process and command differ on %s\n", q.name.c_str());
    }
    qv::OP_CLOSE(qv::OpRelease, {qv::FileWordList, qv::FileMasIdx, qv::FileMsgText, qv::FileMail});
    qv::closeInstallation();
    engines.push_back(e);
  }

  // 3. The peers, installed when missing and possible.
  qvbench::ensurePeers({{"notmuch", "notmuch"}, {"mu", "maildir-utils"}, {"mairix", "mairix"}, {"sqlite3", "sqlite3"}});
  {
    EngineResult e{"notmuch"};
    if (wanted("notmuch") && onPath("notmuch")) {
      e.present = true;
      std::string cfg = dir + "/notmuch-config";
      std::ofstream(cfg) << "[database]\npath=" << maildir
                         << "\n[user]\nname=Bench\nprimary_email=bench@example.org\n[new]\ntags=\nignore=\n"
                            "[search]\nexclude_tags=\n[maildir]\nsynchronize_flags=false\n";
      Run r = run({"notmuch", "--config=" + cfg, "new", "--quiet"});
      e.indexSeconds = r.seconds;
      e.indexRssKb = r.maxRssKb;
      e.indexBytes = treeSize(maildir + "/.notmuch");
      for (const Query& q : queries) {
        int64_t hits = 0;
        e.cli[q.name] = timeCommand({"notmuch", "--config=" + cfg, "search", "--output=messages", q.notmuch}, hits);
        e.hits[q.name] = hits;
      }
    }
    engines.push_back(e);
  }
  {
    EngineResult e{"mu"};
    if (wanted("mu") && onPath("mu")) {
      e.present = true;
      std::string home = dir + "/mu";
      run({"mu", "init", "--muhome=" + home, "--maildir=" + maildir});
      Run r = run({"mu", "index", "--muhome=" + home, "--quiet"});
      e.indexSeconds = r.seconds;
      e.indexRssKb = r.maxRssKb;
      e.indexBytes = treeSize(home);
      for (const Query& q : queries) {
        int64_t hits = 0;
        e.cli[q.name] = timeCommand({"mu", "find", "--muhome=" + home, "--fields=i", q.mu}, hits);
        e.hits[q.name] = hits;
      }
    }
    engines.push_back(e);
  }
  {
    EngineResult e{"mairix"};
    if (wanted("mairix") && onPath("mairix")) {
      e.present = true;
      std::string rc = dir + "/mairixrc";
      std::ofstream(rc) << "base=" << dir << "\nmaildir=maildir\nmfolder=mairix-results\ndatabase=" << dir
                        << "/mairix.db\n";
      Run r = run({"mairix", "-f", rc});
      e.indexSeconds = r.seconds;
      e.indexRssKb = r.maxRssKb;
      e.indexBytes = treeSize(dir + "/mairix.db");
      for (const Query& q : queries) {
        if (q.mairix.empty()) continue;  // no phrase search
        std::vector<std::string> args = {"mairix", "-f", rc, "-r"};
        size_t a = 0;
        std::string terms = q.mairix;
        while (a < terms.size()) {
          size_t b = terms.find(' ', a);
          if (b == std::string::npos) b = terms.size();
          args.push_back(terms.substr(a, b - a));
          a = b + 1;
        }
        int64_t hits = 0;
        e.cli[q.name] = timeCommand(args, hits);
        e.hits[q.name] = hits;
      }
    }
    engines.push_back(e);
  }
  {
    // SQLite FTS5 over the texts our index reads (subject and decoded text).
    EngineResult e{"sqlite-fts5"};
    e.present = wanted("sqlite-fts5");
    std::string db = dir + "/fts5.db";
    if (e.present) {
    std::string texts, mails;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
      std::string n = entry.path().filename().string();
      if (n == "IDX004.ADF") texts = entry.path().string();
      if (n == "IDX013.ADF") mails = entry.path().string();
    }
    auto t1 = Clock::now();
    pid_t pid = fork();
    if (pid == 0) {
      sqlite3* h = nullptr;
      sqlite3_open(db.c_str(), &h);
      std::string sql = "ATTACH '" + texts + "' AS t; ATTACH '" + mails +
                        "' AS m; CREATE VIRTUAL TABLE fts USING fts5(subject, body, date UNINDEXED); CREATE TABLE "
                        "hits(id INTEGER PRIMARY KEY); BEGIN; INSERT INTO fts(rowid, subject, body, date) SELECT "
                        "x.MSGNUMBER, y.SUBJECT, x.MsgText, y.DATE FROM t.MsgText x JOIN m.Mail y ON "
                        "y.MAILID = x.MSGNUMBER; COMMIT;";
      _exit(sqlite3_exec(h, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK ? 0 : 1);
    }
    int status = 0;
    struct rusage ru {};
    wait4(pid, &status, 0, &ru);
    e.indexSeconds = since(t1);
    e.indexRssKb = ru.ru_maxrss;
    e.indexBytes = treeSize(db);
    sqlite3* h = nullptr;
    sqlite3_open(db.c_str(), &h);
    for (const Query& q : queries) {
      std::vector<double> t;
      int64_t hits = 0;
      for (int i = 0; i < 6; ++i) {
        auto tq = Clock::now();
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(h, "SELECT rowid FROM fts WHERE fts MATCH ?", -1, &st, nullptr);
        sqlite3_bind_text(st, 1, q.fts5.c_str(), -1, SQLITE_TRANSIENT);
        hits = 0;
        while (sqlite3_step(st) == SQLITE_ROW) ++hits;
        sqlite3_finalize(st);
        if (i > 0) t.push_back(since(tq));
      }
      e.inProcess[q.name] = median(t);
      e.hits[q.name] = hits;
      int64_t cliHits = 0;
      // As a command it does what `qvcli search` does: keeps the hits in a
      // file (unsynced, as quorvane's result file) and lists number, date
      // and subject of each, newest first.
      if (onPath("sqlite3"))
        e.cli[q.name] = timeCommand(
            {"sqlite3", db,
             "PRAGMA synchronous=OFF; BEGIN; DELETE FROM hits; INSERT INTO hits SELECT rowid FROM fts WHERE fts "
             "MATCH '" + q.fts5 + "'; COMMIT; SELECT rowid, date, subject FROM fts WHERE rowid IN (SELECT id FROM "
             "hits) ORDER BY rowid DESC"},
            cliHits);
      // The bare query, as the figures before this comparison were taken.
      if (onPath("sqlite3"))
        e.cliBare[q.name] =
            timeCommand({"sqlite3", db, "SELECT rowid FROM fts WHERE fts MATCH '" + q.fts5 + "'"}, cliHits);
    }
    sqlite3_close(h);
    }
    engines.push_back(e);
  }

  // 4. The report.
  const EngineResult& ours = engines[0];
  std::printf("\n%-12s %10s %10s %10s %10s\n", "engine", "mails/s", "index MB", "peak MB", "index s");
  for (const EngineResult& e : engines) {
    if (!e.present) {
      std::printf("%-12s (not installed or not asked for: skipped)\n", e.name.c_str());
      continue;
    }
    std::printf("%-12s %10.0f %10.1f %10.1f %10.1f\n", e.name.c_str(), double(messages) / e.indexSeconds,
                double(e.indexBytes) / 1e6, double(e.indexRssKb) / 1024.0, e.indexSeconds);
  }
  std::printf("\nQuery latency as a command, ms (hits); expected hits from the generator\n%-12s", "engine");
  for (const Query& q : queries) std::printf(" %18s", q.name.c_str());
  std::printf("\n%-12s", "expected");
  for (const Query& q : queries) std::printf(" %18s", q.expected < 0 ? "-" : std::to_string(q.expected).c_str());
  std::printf("\n%-12s", "HTML-only");
  for (const Query& q : queries) std::printf(" %18s", q.inHtmlOnly < 0 ? "-" : std::to_string(q.inHtmlOnly).c_str());
  std::printf("\n");
  for (const EngineResult& e : engines) {
    if (!e.present) continue;
    std::printf("%-12s", e.name.c_str());
    for (const Query& q : queries) {
      auto it = e.cli.find(q.name);
      if (it == e.cli.end()) {
        std::printf(" %18s", "n/a");
        continue;
      }
      char cell[64];
      std::snprintf(cell, sizeof cell, "%.1f (%lld)", it->second * 1000, (long long)e.hits.at(q.name));
      std::printf(" %18s", cell);
    }
    std::printf("\n");
  }
  for (const EngineResult& e : engines) {
    if (!e.present || e.cliBare.empty()) continue;
    std::printf("%-12s", (e.name.substr(0, 7) + " bare").c_str());
    for (const Query& q : queries) std::printf(" %18.1f", e.cliBare.at(q.name) * 1000);
    std::printf("\n");
  }
  std::printf("\nQuery latency in-process, ms\n");
  for (const EngineResult& e : engines) {
    if (e.inProcess.empty()) continue;
    std::printf("%-12s", e.name.c_str());
    for (const Query& q : queries) std::printf(" %18.2f", e.inProcess.at(q.name) * 1000);
    std::printf("\n");
  }
  std::printf("\nRatios peer / quorvane (above 1: quorvane is faster or smaller)\n%-12s %10s %10s", "engine",
              "index time", "size");
  for (const Query& q : queries) std::printf(" %12s", q.name.c_str());
  std::printf("\n");
  for (size_t i = 1; i < engines.size(); ++i) {
    const EngineResult& e = engines[i];
    if (!e.present) continue;
    std::printf("%-12s %10.2f %10.2f", e.name.c_str(), e.indexSeconds / ours.indexSeconds,
                double(e.indexBytes) / double(ours.indexBytes));
    for (const Query& q : queries) {
      auto it = e.cli.find(q.name);
      if (it == e.cli.end())
        std::printf(" %12s", "n/a");
      else
        std::printf(" %12.2f", it->second / ours.cli.at(q.name));
    }
    std::printf("\n");
  }
  if (engines.back().present) {
    const EngineResult& f = engines.back();
    std::printf("%-12s %10s %10s", "fts5 in-proc", "", "");
    for (const Query& q : queries) std::printf(" %12.2f", f.inProcess.at(q.name) / ours.inProcess.at(q.name));
    std::printf("\n");
  }
  std::printf("\nHit counts that differ from the truth (the generator's texts):\n");
  bool anyDiffers = false;
  // Quorvane's phrase is checked against the truth under its own stop list.
  auto expectedOf = [&](const EngineResult& e, const Query& q) {
    return e.name == "quorvane" && q.name == "phrase" && phraseUnderStopList >= 0 ? phraseUnderStopList : q.expected;
  };
  for (const EngineResult& e : engines)
    for (const Query& q : queries) {
      auto it = e.hits.find(q.name);
      if (!e.present || it == e.hits.end() || q.expected < 0 || it->second == expectedOf(e, q)) continue;
      anyDiffers = true;
      std::printf("  %-12s %-12s %lld of %lld (%lld of the %lld are mails with only an HTML body)\n", e.name.c_str(),
                  q.name.c_str(), (long long)it->second, (long long)q.expected, (long long)q.inHtmlOnly,
                  (long long)q.expected);
    }
  if (!anyDiffers) std::printf("  none\n");
  std::printf(
      "\nWhere the work differs between the engines:\n"
      "  - quorvane's index time is its whole import (`qvcli import --index`): the mails copied into its archive\n"
      "    (headers, decoded text, threads, persons, Message-IDs) and their words indexed in the same pass;\n"
      "    mairix, notmuch and mu index the mail where it lies, FTS5 is given texts already decoded.\n"
      "  - quorvane and FTS5 index the subject and the decoded text only; notmuch and mu also index headers\n"
      "    (names, addresses), so a word that is also in a header can find more there.\n"
      "  - FTS5 is fed the texts quorvane decoded (the same words, no MIME decoding of its own): its index time\n"
      "    leaves the decoding out, and its command times are those of the sqlite3 shell.\n"
      "  - mu leaves out the text of mails whose only body is HTML: compare its shortfall with the HTML-only row.\n"
      "  - mairix has no phrase search (n/a); its other queries match words as it cuts them.\n"
      "  - quorvane leaves the words of its stop list out of the index and out of a phrase, so a phrase also\n"
      "    matches across a stop word; the truth counts strict neighbours, and quorvane's phrase is checked\n"
      "    against the truth with its stop list left out of the texts (printed below).\n"
      "  - As a command, quorvane prints number, date and subject of every hit and keeps the result for export\n"
      "    and print; so does the sqlite3 shell (a table of hits, unsynced as quorvane's result file, then\n"
      "    number, date and subject newest first); \"sqlite- bare\" is the shell printing rowids only. notmuch\n"
      "    and mu print message IDs, mairix writes a result folder.\n");
  if (phraseUnderStopList >= 0)
    std::printf("Phrase truth: %lld mails with the words as strict neighbours, %lld once quorvane's stop words are "
                "left out of the texts\n",
                (long long)queries[3].expected, (long long)phraseUnderStopList);
  bool exact = true;
  for (const Query& q : queries)
    if (q.expected >= 0 && ours.hits.at(q.name) != expectedOf(ours, q)) {
      std::printf("MISMATCH: %s found %lld, expected %lld\n", q.name.c_str(), (long long)ours.hits.at(q.name),
                  (long long)expectedOf(ours, q));
      exact = false;
    }
  std::printf("%s\n", exact ? "Hit counts of quorvane match the generator." : "Hit counts differ.");
  return exact ? 0 : 1;
}
