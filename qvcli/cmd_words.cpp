// words: the word list of a database with the marks for removal;
// stoplist: the installation's non-indexed words.
#include <cstdio>

#include "commands.h"
#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/databases.h"
#include "services/file_scope.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/installation.h"
#include "wordindex/stop_list_edit.h"
#include "wordindex/word_cut.h"
#include "wordindex/word_marks.h"

namespace qvcli {

namespace {

int markWord(const std::string& db, const std::string& word, bool mark) {
  int32_t id = qv::wordIdOf(word);
  if (id == 0) return fail("\"" + word + "\" is not in the word list of \"" + db + "\"");
  qv::WordMarks marks = qv::loadWordMarks();
  bool changed = mark ? marks.insert(id).second : marks.erase(id) > 0;
  if (changed && !qv::saveWordMarks(marks)) return fail("the marks for removal could not be written");
  say("%s %s\n", qv::wordUpper(word).c_str(),
      mark ? "is marked for removal: the next indexing run moves it to the stop list"
           : "is no longer marked for removal");
  return 0;
}

}  // namespace

int cmdWords(const Args& argsIn) {
  Args args = argsIn;
  std::string by, mark, unmark;
  takeOption(args, "--by", by);
  bool marking = takeOption(args, "--mark", mark);
  bool unmarking = takeOption(args, "--unmark", unmark);
  for (const std::string& a : args)
    if (a.rfind("--", 0) == 0) return fail("unknown option \"" + a + "\"");
  if (args.size() != 1) return fail("usage: words DB [--by count] [--mark WORD|--unmark WORD]");
  if (!by.empty() && by != "count" && by != "word") return fail("--by takes count or word, not \"" + by + "\"");
  if (marking && unmarking) return fail("choose one of --mark and --unmark");
  if (!qv::findDatabase(args[0])) return fail("no database named \"" + args[0] + "\"");
  qv::useDatabase();
  if (marking || unmarking) return markWord(args[0], marking ? mark : unmark, marking);

  bool byCount = by == "count";
  // A reader walks the count order without its index where it is stale.
  if (byCount && !qv::installationReadOnly() && !qv::refreshWordCountOrder())
    return fail("the word list's count order could not be rebuilt");
  qv::WordMarks marks = qv::loadWordMarks();
  int64_t n = 0;
  {
    qv::FileScope scope({qv::FileWordList});
    qv::WordList.set(byCount ? qv::WOR_by_WordCount : qv::WOR_by_theWord);
    while (qv::WordList.next()) {
      say("%c %-40s %10d\n", marks.count(qv::WOR.WORDID) ? '*' : ' ', qv::WOR.THEWORD.str().c_str(),
          int(qv::WOR.WORDCOUNT));
      ++n;
    }
  }
  sayError("%lld words, %zu marked for removal (*)\n", static_cast<long long>(n), marks.size());
  return 0;
}

int cmdStopList(const Args& argsIn) {
  Args args = argsIn;
  if (args.empty()) return fail("usage: stoplist list | add WORD | change WORD NEWWORD | delete WORD");
  std::string op = args[0];
  args.erase(args.begin());
  size_t want = op == "list" ? 0 : op == "change" ? 2 : 1;
  if (op != "list" && op != "add" && op != "change" && op != "delete")
    return fail("unknown stoplist operation \"" + op + "\" (list, add, change or delete)");
  if (args.size() != want) return fail("usage: stoplist list | add WORD | change WORD NEWWORD | delete WORD");
  if (op == "list") {
    std::vector<std::string> words = qv::stopWords();
    for (const std::string& w : words) say("%s\n", w.c_str());
    sayError("%zu non index words\n", words.size());
    return 0;
  }
  qv::StopEdit r = op == "add"      ? qv::insertStopWord(args[0])
                   : op == "change" ? qv::changeStopWord(args[0], args[1])
                                    : qv::deleteStopWord(args[0]);
  const std::string& subject = op == "change" && r != qv::StopEdit::NotFound ? args[1] : args[0];
  if (r != qv::StopEdit::Done) return fail(qv::stopEditText(r, qv::stopWordForm(subject)));
  say("%s\n", op == "add"      ? "added"
              : op == "change" ? "changed"
                               : "deleted");
  return 0;
}

}  // namespace qvcli
