// The indexing run and the search over the index: incremental and resumed
// runs, words marked for removal, frequent words, mail headers, the recount,
// every kind of request on a small known corpus and exact hit counts on a
// generated corpus.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <map>
#include <set>

#include "corpus_gen.h"
#include "corpus_post.h"
#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/databases.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/ids.h"
#include "services/installation.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "support/services_fixture.h"
#include "storage/posting_driver.h"
#include "wordindex/index_fixup.h"
#include "wordindex/index_run.h"
#include "wordindex/index_text.h"
#include "wordindex/search.h"
#include "wordindex/stop_list.h"
#include "wordindex/word_cut.h"
#include "wordindex/word_lookup.h"

using namespace qv;

namespace {

class WordIndexTest : public qvtest::InstallationTest {
 protected:
  void SetUp() override {
    qvtest::InstallationTest::SetUp();
    openMailbox();
  }

  // A new mailbox database of the installation, made the current one.
  void openMailbox() {
    MailboxSpec spec;
    spec.owner = "Owner";
    spec.address = "owner@example.org";
    box = AddMailbox(spec, false);
    ASSERT_TRUE(qv::selectDatabase(box));
  }

  // Adds a mail with its text; returns its ID.
  uint32_t mail(const std::string& subject, const std::string& text) {
    OP_CLOSE(OpShared, {FileControl, FileMail, FileMsgText});
    uint32_t id = NextNr();
    MAI = MailRec();
    MAI.MAILID = id;
    MAI.SUBJECT = subject;
    MAI.DATE = 80000 + int32_t(id % 1000);
    TXT = MsgTextRec();
    TXT.MSGNUMBER = id;
    TXT.MsgText = text;
    EXPECT_TRUE(Mail.add() && MsgText.add()) << ErrorText();
    OP_CLOSE(OpRelease, {FileControl, FileMail, FileMsgText});
    return id;
  }

  // Many small mails in one go.
  std::vector<uint32_t> mails(int n, const std::function<std::string(int)>& text) {
    std::vector<uint32_t> ids;
    OP_CLOSE(OpShared, {FileControl, FileMail, FileMsgText});
    EXPECT_TRUE(beginTransaction({&Control, &Mail, &MsgText}, 5));
    for (int i = 0; i < n; ++i) {
      uint32_t id = NextNr();
      MAI = MailRec();
      MAI.MAILID = id;
      MAI.SUBJECT = "note";
      TXT = MsgTextRec();
      TXT.MSGNUMBER = id;
      TXT.MsgText = text(i);
      EXPECT_TRUE(Mail.add() && MsgText.add());
      ids.push_back(id);
    }
    EXPECT_TRUE(commitTransaction());
    OP_CLOSE(OpRelease, {FileControl, FileMail, FileMsgText});
    return ids;
  }

  IndexState state() {
    findDatabase(box);
    return {FOR.LASTMSGID, FOR.RECSLASTTIME, FOR.WORDLISTINDEXNEEDSUPDATE};
  }

  // Runs an index to its end; `steps` > 0 cancels after that many steps.
  int index(int mode, IndexView* view = nullptr, int steps = 0) {
    IndexRun run(mode, 4, box, state());
    int n = 0;
    while (run.step())
      if (steps && ++n == steps) run.cancel();
    storeIndexState(box, run.state());
    if (view) *view = run.view();
    EXPECT_EQ(IndexingInProgress, 0);
    return run.result();
  }

  // word -> message count, from the word list.
  std::map<std::string, int32_t> wordList() {
    std::map<std::string, int32_t> out;
    OP_CLOSE(OpShared, {FileWordList});
    WordList.setFileOrder();
    while (WordList.next()) out[WOR.THEWORD.str()] = WOR.WORDCOUNT;
    OP_CLOSE(OpRelease, {FileWordList});
    return out;
  }

  // The words the index holds for a message.
  std::set<std::string> wordsOf(uint32_t id) {
    std::set<std::string> out;
    std::vector<uint32_t> wids;
    OP_CLOSE(OpShared, {FileWordList, FileMasIdx});
    MAS = MasIdxRec();
    MAS.SYSID = id;
    MasIdx.setPrefix(MAS_by_SysID, 1);
    while (MasIdx.next() && MAS.SYSID == id) wids.push_back(MAS.WORDID);
    for (uint32_t w : wids) {
      WOR = WordListRec();
      WOR.WORDID = int32_t(w);
      out.insert(WordList.get(WOR_by_WordId) ? WOR.THEWORD.str() : "#" + std::to_string(w));
    }
    OP_CLOSE(OpRelease, {FileWordList, FileMasIdx});
    return out;
  }

  int64_t occurrences() {
    OP_CLOSE(OpShared, {FileMasIdx});
    int64_t n = MasIdx.records();
    OP_CLOSE(OpRelease, {FileMasIdx});
    return n;
  }

  SearchWord word(const std::string& w, bool negated = false) {
    auto found = lookupWords(w, LookupMode::Exact);
    EXPECT_EQ(found.size(), 1u) << w;
    return found.empty() ? SearchWord{w, 0, 0, negated} : SearchWord{found[0].word, found[0].wordId, found[0].count, negated};
  }

  std::set<uint32_t> search(std::vector<SearchWord> ands, std::vector<SearchWord> ors = {},
                            std::vector<std::string> phrase = {}) {
    WordSearch s(KindMailDb);
    s.andList = std::move(ands);
    s.orList = std::move(ors);
    s.phrase = std::move(phrase);
    s.run();
    auto r = s.results();
    return std::set<uint32_t>(r.begin(), r.end());
  }

  uint32_t box = 0;
};

using S = std::set<uint32_t>;
using W = std::set<std::string>;

TEST_F(WordIndexTest, SecondRunIndexesOnlyTheNewTextsAndCountsAWordOncePerMessage) {
  uint32_t a = mail("Printer drivers", "The laserjet driver fails. The driver, the DRIVER!");
  uint32_t b = mail("Re: Printer drivers", "Try the new laserjet driver.");
  IndexView v;
  ASSERT_EQ(index(2, &v), 1) << prompts.transcript();
  EXPECT_EQ(v.indexed, 2);
  EXPECT_EQ(wordsOf(a), (W{"PRINTER", "DRIVERS", "LASERJET", "DRIVER", "FAILS"})) << "THE is a stop word";
  EXPECT_EQ(wordList()["DRIVER"], 2) << "twice in one message counts once";
  IndexState s = state();
  EXPECT_NE(s.lastMsgId, 0u);
  EXPECT_EQ(s.recsLastTime, 2u);
  EXPECT_EQ(s.wordListNeedsUpdate, 0);

  ASSERT_EQ(index(2, &v), 1);
  EXPECT_EQ(v.indexed, 0) << "nothing new: the partial run finishes at once";

  uint32_t c = mail("Scanner", "A new scanner driver arrived.");
  prompts.reset();
  ASSERT_EQ(index(2, &v), 1);
  EXPECT_EQ(v.indexed, 1);
  EXPECT_EQ(wordList()["DRIVER"], 3);
  EXPECT_EQ(wordList()["LASERJET"], 2);
  EXPECT_EQ(wordsOf(c), (W{"SCANNER", "NEW", "DRIVER", "ARRIVED"}));
  EXPECT_EQ(wordsOf(b).count("TRY"), 1u);
  EXPECT_EQ(state().recsLastTime, 3u);
  uint32_t pos = state().lastMsgId, count = state().recsLastTime;
  EXPECT_EQ(WSIndexFixup(pos, count), AdviseNothing);

  // A full run asks first; No leaves everything as it was.
  prompts.reset();
  prompts.script(BtnNo);
  EXPECT_EQ(index(1), 2);
  ASSERT_FALSE(prompts.requests.empty());
  EXPECT_EQ(prompts.requests[0].caption, "Warning");
  EXPECT_EQ(wordList()["DRIVER"], 3);
  prompts.reset();
  prompts.script(BtnYes);
  ASSERT_EQ(index(1, &v), 1);
  EXPECT_EQ(v.indexed, 3);
  EXPECT_EQ(wordList()["DRIVER"], 3);
}

TEST_F(WordIndexTest, CancelledRunResumesWhereItsLastFlushStopped) {
  auto ids = mails(300, [](int i) { return "alpha beta" + std::string(i % 2 ? " odd" : " even") + " w" + std::to_string(i) + "x"; });
  IndexView v;
  EXPECT_EQ(index(2, &v, 20), 2) << "cancelled after 20 steps";
  EXPECT_LT(v.indexed, 300);
  // Nothing was flushed before the cancel: the next run starts from the beginning.
  ASSERT_EQ(index(2, &v), 1);
  EXPECT_EQ(wordList()["ALPHA"], 300);
  EXPECT_EQ(wordList()["ODD"], 150);
  EXPECT_EQ(occurrences(), 300 * 5) << "four words and the subject";

  // Texts whose occurrences are there already are not indexed twice, even
  // when the resume point was lost.
  auto more = mails(10, [](int) { return "gamma alpha"; });
  IndexState s = state();
  s.lastMsgId = 0;
  s.recsLastTime = 0;
  storeIndexState(box, s);
  uint32_t pos = 0, count = 0;
  EXPECT_EQ(WSIndexFixup(pos, count), AdvisePartial) << "the recount finds the position from the index";
  EXPECT_EQ(count, 300u);
  ASSERT_EQ(index(2, &v), 1);
  EXPECT_EQ(wordList()["ALPHA"], 310);
  EXPECT_EQ(wordList()["GAMMA"], 10);
  EXPECT_EQ(occurrences(), 300 * 5 + 10 * 3);
}

TEST_F(WordIndexTest, MarkedWordGoesToTheStopListWithItsOccurrences) {
  uint32_t a = mail("Modem help", "The modem hangs up.");
  uint32_t b = mail("Modem again", "Modem and printer.");
  ASSERT_EQ(index(2), 1);
  int32_t modem = word("MODEM").wordId;
  OP_CLOSE(OpShared, {FilePurgeList});
  PUR = PurgeListRec();
  PUR.WORDID = modem;
  ASSERT_TRUE(PurgeList.add());
  OP_CLOSE(OpRelease, {FilePurgeList});
  uint32_t pos = state().lastMsgId, count = state().recsLastTime;
  EXPECT_EQ(WSIndexFixup(pos, count), AdvisePartial) << "a pending removal is work to do";

  ASSERT_EQ(index(2), 1) << prompts.transcript();
  EXPECT_TRUE(isStopWord("MODEM"));
  EXPECT_EQ(wordList().count("MODEM"), 0u);
  EXPECT_EQ(wordsOf(a), (W{"HELP", "HANGS"}));
  EXPECT_EQ(wordsOf(b), (W{"PRINTER"})) << "AGAIN is a stop word";
  OP_CLOSE(OpShared, {FilePurgeList});
  EXPECT_EQ(PurgeList.records(), 0);
  OP_CLOSE(OpRelease, {FilePurgeList});

  // A later text does not bring it back.
  uint32_t c = mail("modem", "modem modem");
  ASSERT_EQ(index(2), 1);
  EXPECT_TRUE(wordsOf(c).empty());
}

TEST_F(WordIndexTest, FrequentWordMovesToTheStopListPastTenThousandMessages) {
  // "common" in every text, "half" in every other one.
  mails(10100, [](int i) { return "common u" + std::to_string(i) + "z" + (i % 2 ? " half" : ""); });
  IndexView v;
  ASSERT_EQ(index(2, &v), 1) << prompts.transcript();
  EXPECT_EQ(v.indexed, 10100);
  EXPECT_TRUE(isStopWord("COMMON"));
  EXPECT_TRUE(isStopWord("HALF"));
  auto list = wordList();
  EXPECT_EQ(list.count("COMMON"), 0u);
  EXPECT_EQ(list.count("HALF"), 0u);
  EXPECT_EQ(list["U17Z"], 1);
  EXPECT_EQ(occurrences(), 10100) << "only the one unique word of each text is left";
}

TEST_F(WordIndexTest, AFullRunGivesBackTheWordsTheMoveMadeButNotTheUsers) {
  struct Small {
    Small() { indexTuning().frequentAfter = 20; }
    ~Small() { indexTuning() = IndexTuning(); }
  } small;
  mails(40, [](int i) { return "common u" + std::to_string(i) + "z" + (i % 2 ? " half" : ""); });
  ASSERT_EQ(index(2), 1) << prompts.transcript();
  auto moved = movedStopWords(box);
  EXPECT_EQ(std::set<std::string>(moved.begin(), moved.end()), (W{"COMMON", "HALF", "NOTE"}));
  EXPECT_TRUE(isStopWord("COMMON"));
  // The user puts HALF on the stop list too: from now on it is the user's word.
  ASSERT_TRUE(addStopWord("half"));
  moved = movedStopWords(box);
  EXPECT_EQ(std::set<std::string>(moved.begin(), moved.end()), (W{"COMMON", "NOTE"}));

  // A full run without the move starts from nothing: the moved words are indexed again.
  ASSERT_TRUE(WSVars(KLoad));
  WSVarsSet(ItemFrequentMail, 0);
  ASSERT_TRUE(WSVars(KSave));
  prompts.reset();
  prompts.script(BtnYes);
  ASSERT_EQ(index(1), 1) << prompts.transcript();
  EXPECT_FALSE(isStopWord("COMMON"));
  EXPECT_FALSE(isStopWord("NOTE"));
  EXPECT_TRUE(isStopWord("HALF"));
  EXPECT_TRUE(movedStopWords(box).empty());
  auto list = wordList();
  EXPECT_EQ(list["COMMON"], 40);
  EXPECT_EQ(list["NOTE"], 40);
  EXPECT_EQ(list.count("HALF"), 0u);
}

TEST_F(WordIndexTest, FrequentWordsStayWhenTheSwitchIsOff) {
  ASSERT_TRUE(WSVars(KLoad));
  WSVarsSet(ItemFrequentMail, 0);
  ASSERT_TRUE(WSVars(KSave));
  mails(10050, [](int) { return "everywhere"; });
  ASSERT_EQ(index(2), 1);
  EXPECT_EQ(wordList()["EVERYWHERE"], 10050);
  EXPECT_FALSE(isStopWord("EVERYWHERE"));
}

TEST_F(WordIndexTest, MailHeadersAndUuencodedPartsStayOut) {
  uint32_t a = mail("Headers", "Received: from relay\r\nMessage-ID: <abc@relay>\r\nX-Mailer: Zorkmail\r\n\r\nvisible body");
  uint32_t b = mail("Binary", "X-Mailer: mailer\r\nContent-Type: text/plain; x-uuencode\r\n\r\nsee file\r\nbegin 644 "
                              "x.zip\r\nMXYZZY\r\nend\r\n");
  uint32_t c = mail("Plain", "plain text\r\nbegin 644 y.bin\r\n#86)C\r\n`\r\nend\r\nafterwards");
  ASSERT_EQ(index(2), 1);
  EXPECT_EQ(wordsOf(a), (W{"HEADERS", "VISIBLE", "BODY"}));
  EXPECT_EQ(wordsOf(b), (W{"BINARY", "SEE", "FILE"}));
  EXPECT_EQ(wordsOf(c), (W{"PLAIN", "TEXT", "AFTERWARDS"}));
}

TEST_F(WordIndexTest, RecountAdvice) {
  uint32_t pos = 0, count = 0;
  EXPECT_EQ(WSIndexFixup(pos, count), AdviseNothing) << "no texts";
  mail("One", "first text");
  EXPECT_EQ(WSIndexFixup(pos, count), AdviseFull) << "no index";
  ASSERT_EQ(index(2), 1);
  pos = state().lastMsgId;
  count = state().recsLastTime;
  EXPECT_EQ(WSIndexFixup(pos, count), AdviseNothing);
  mail("Two", "second text");
  EXPECT_EQ(WSIndexFixup(pos, count), AdvisePartial);
  mails(5, [](int) { return "more"; });
  EXPECT_EQ(WSIndexFixup(pos, count), AdviseFull) << "fewer than half of the texts are indexed";
}

// The small corpus of the search tests.
class SearchTest : public WordIndexTest {
 protected:
  void SetUp() override {
    WordIndexTest::SetUp();
    m1 = mail("Printer drivers", "The laserjet driver fails on WIN.INI settings. Robert");
    m2 = mail("Re: Printer drivers", "Try the new laserjet driver from the library. Rupert");
    m3 = mail("Modem", "My modem hangs. Printer works fine.");
    m4 = mail("Scanner", "Driver for the scanner? Laserjet owners know.");
    ASSERT_EQ(index(2), 1);
    prompts.reset();
  }
  uint32_t m1 = 0, m2 = 0, m3 = 0, m4 = 0;
};

TEST_F(SearchTest, AndOrNotAndPhrase) {
  EXPECT_EQ(search({word("LASERJET")}), (S{m1, m2, m4}));
  EXPECT_EQ(search({word("LASERJET"), word("DRIVER")}), (S{m1, m2, m4}));
  EXPECT_EQ(search({word("LASERJET"), word("PRINTER", true)}), (S{m4}));
  EXPECT_EQ(search({}, {word("MODEM"), word("SCANNER")}), (S{m3, m4}));
  EXPECT_EQ(search({word("PRINTER")}, {word("LIBRARY"), word("HANGS")}), (S{m2, m3}));
  EXPECT_EQ(search({}, {word("PRINTER"), word("FAILS", true)}), (S{m2, m3}))
      << "an OR list with a negated word: the positive ones seed, the negated one filters";
  EXPECT_EQ(search({word("LASERJET"), word("DRIVER")}, {}, {"LASERJET", "DRIVER"}), (S{m1, m2}));
  EXPECT_EQ(search({word("DRIVER"), word("LASERJET")}, {}, {"DRIVER", "LASERJET"}), S{})
      << "the words must stand in the given order";
  ASSERT_FALSE(prompts.requests.empty());
  EXPECT_EQ(prompts.requests.back().text, "No documents contain the phrase. Sorry!");
  EXPECT_EQ(search({word("FAILS"), word("TRY")}), S{});
  EXPECT_EQ(prompts.requests.back().caption, "No Matches");
}

// A search test that opens a second installation (its directory outlives the test's end).
class TwoInstallationsSearchTest : public SearchTest {
 protected:
  qvtest::TempDir other;
};

TEST_F(TwoInstallationsSearchTest, PhraseCheckAndSearchInputSeeTheStopListAsItIsNow) {
  // m2: "Try the new laserjet driver ..."; THE is a stop word, NEW is not.
  auto tryLaserjet = [&] { return search({word("TRY"), word("LASERJET")}, {}, {"TRY", "LASERJET"}); };
  EXPECT_EQ(tryLaserjet(), S{}) << "NEW stands between them";
  std::vector<std::string> typed;
  ASSERT_TRUE(typedSearchWords("new laserjet", LookupMode::Exact, true, typed));
  EXPECT_EQ(typed.size(), 2u);

  // NEW moves to the stop list while the program runs.
  ASSERT_TRUE(addStopWord("NEW"));
  EXPECT_EQ(tryLaserjet(), (S{m2})) << "the text's words leave out the new stop word";
  ASSERT_TRUE(typedSearchWords("new laserjet", LookupMode::Exact, true, typed));
  EXPECT_EQ(typed, std::vector<std::string>{"LASERJET"});

  // Another installation has a stop list of its own, without NEW.
  closeInstallation();
  Mem = MemState();
  MasIdxPath.clear();
  FileTmpName.clear();
  std::string error;
  ASSERT_TRUE(openInstallation(other.path(), error)) << error;
  openMailbox();
  uint32_t again = mail("Re: Printer drivers", "Try the new laserjet driver from the library. Rupert");
  ASSERT_EQ(index(2), 1) << prompts.transcript();
  EXPECT_EQ(tryLaserjet(), S{}) << "NEW is a word of the text in this installation";
  ASSERT_TRUE(addStopWord("NEW"));
  EXPECT_EQ(tryLaserjet(), (S{again}));
}

TEST_F(SearchTest, SoundexWildcardAndApproximateLookUps) {
  auto words = [](const std::vector<WordCandidate>& c) {
    std::set<std::string> s;
    for (const WordCandidate& w : c) s.insert(w.word);
    return s;
  };
  EXPECT_EQ(words(lookupWords("ROBERT", LookupMode::Soundex)), (W{"ROBERT", "RUPERT"}));
  EXPECT_EQ(words(lookupWords("DRIV*", LookupMode::Wildcard)), (W{"DRIVER", "DRIVERS"}));
  EXPECT_EQ(words(lookupWords("?ODEM", LookupMode::Wildcard)), (W{"MODEM"}));
  EXPECT_EQ(words(lookupWords("LAZERJET", LookupMode::Approximate, 1)), (W{"LASERJET"}));
  EXPECT_EQ(words(lookupWords("SCANER", LookupMode::Approximate, 1)), (W{"SCANNER"}));

  std::vector<std::string> typed;
  EXPECT_TRUE(typedSearchWords("the laserjet", LookupMode::Exact, false, typed));
  EXPECT_EQ(typed, std::vector<std::string>{"LASERJET"});
  EXPECT_EQ(prompts.requests.back().caption, "Non-Indexed Word");
  EXPECT_FALSE(typedSearchWords("print*", LookupMode::Soundex, false, typed));
  EXPECT_EQ(prompts.requests.back().caption, "Search Problem");
  EXPECT_FALSE(typedSearchWords("R2D2", LookupMode::Soundex, false, typed));
  EXPECT_EQ(prompts.requests.back().caption, "Only Letters Please");
  EXPECT_FALSE(typedSearchWords("   ", LookupMode::Exact, false, typed));
  EXPECT_EQ(prompts.requests.back().caption, "Blank Search");
  // The input is cut at 256 characters, not bytes: the accented word at the
  // end stays whole.
  EXPECT_TRUE(typedSearchWords(std::string(252, ' ') + "\xC3\x89T\xC3\x89S and more", LookupMode::Exact, false, typed));
  EXPECT_EQ(typed, std::vector<std::string>{"\xC3\x89T\xC3\x89S"});
}

TEST_F(WordIndexTest, ApproximateAndWildcardLookUpsCountCharacters) {
  mail("F\xC3\xADsica", "La f\xC3\xADsica cu\xC3\xA1ntica");
  ASSERT_EQ(index(2), 1);
  auto words = [](const std::vector<WordCandidate>& c) {
    std::set<std::string> s;
    for (const WordCandidate& w : c) s.insert(w.word);
    return s;
  };
  EXPECT_EQ(words(lookupWords("FISICA", LookupMode::Approximate, 1)), (W{"F\xC3\x8DSICA"}));
  EXPECT_EQ(words(lookupWords("F?SICA", LookupMode::Wildcard)), (W{"F\xC3\x8DSICA"}));
  EXPECT_EQ(words(lookupWords("CU?NTICA", LookupMode::Wildcard)), (W{"CU\xC3\x81NTICA"}));
  std::vector<std::string> typed;
  prompts.reset();
  EXPECT_FALSE(typedSearchWords("\xC3\x89", LookupMode::Approximate, false, typed))
      << "one accented letter is one letter, too few";
  EXPECT_EQ(prompts.requests.back().caption, "Too Few Letters");
}

TEST_F(WordIndexTest, NotOnlyRequestScansNewestFirstThousandAtATime) {
  auto ids = mails(1205, [](int i) { return i % 100 == 0 ? "excluded word" : "kept word"; });
  ASSERT_EQ(index(2), 1);
  prompts.reset();
  WordSearch s(KindMailDb);
  s.andList = {word("EXCLUDED", true)};
  ASSERT_TRUE(s.run());
  EXPECT_EQ(prompts.requests[0].caption, "Too Many Matches");
  auto first = s.results();
  ASSERT_EQ(first.size(), 1000u);
  EXPECT_EQ(first.front(), ids.back()) << "the highest IDs first";
  std::set<uint32_t> expected;
  for (int i = 1204; i >= 0 && expected.size() < 1000; --i)
    if (i % 100 != 0) expected.insert(ids[size_t(i)]);
  EXPECT_EQ(std::set<uint32_t>(first.begin(), first.end()), expected);
  EXPECT_TRUE(s.morePending());
  ASSERT_TRUE(s.run());
  EXPECT_EQ(s.results().size(), 1205u - 13u) << "the continuation finds the rest";
  EXPECT_FALSE(s.morePending());
}

TEST_F(WordIndexTest, SearchPausesAndAsks) {
  mails(25, [](int) { return "frequent"; });
  ASSERT_EQ(index(2), 1);
  ASSERT_TRUE(WSVars(KLoad));
  WSVarsSet(ItemSearchPause, 10);
  WordSearch s(KindMailDb);
  s.andList = {word("FREQUENT")};
  prompts.reset();
  prompts.script(BtnNo);
  ASSERT_TRUE(s.run());
  ASSERT_EQ(prompts.requests.size(), 1u);
  EXPECT_EQ(prompts.requests[0].caption, "Search More?");
  EXPECT_EQ(prompts.requests[0].text.rfind("10 search hits found!", 0), 0u);
  EXPECT_EQ(s.results().size(), 10u) << "declining keeps what was found";
  EXPECT_TRUE(s.morePending());
  prompts.reset();
  ASSERT_TRUE(s.run());  // continues; answers Yes by default at 20
  EXPECT_EQ(s.results().size(), 25u);
  WSVarsSet(ItemSearchPause, 10000);
}

TEST_F(WordIndexTest, ExactHitCountsOnAGeneratedCorpus) {
  qvbench::CorpusGenerator truth({.messages = 1500, .seed = 11, .vocabulary = 4000});
  qvbench::GeneratedMail m;
  std::vector<qvbench::MailShape> shapes;
  while (truth.next(m)) shapes.push_back(m.shape);
  qvbench::CorpusGenerator gen({.messages = 1500, .seed = 11, .vocabulary = 4000});
  qvbench::PostedCorpus posted;
  std::string error;
  ASSERT_TRUE(qvbench::postCorpus(gen, "Generated", posted, error)) << error;
  box = posted.database;
  ASSERT_EQ(index(2), 1) << prompts.transcript();
  int checked = 0, htmlOnlyHits = 0;
  for (size_t skip = 0; skip < 40; skip += 4) {
    int64_t w = truth.pickWord(0.002, 0.2, skip);
    if (w < 0) break;
    const std::string& text = truth.word(uint32_t(w));
    std::set<uint32_t> expected;
    for (uint32_t i : truth.messagesWith(uint32_t(w))) {
      expected.insert(posted.ids[i]);
      if (shapes[i] == qvbench::MailShape::HtmlOnly) ++htmlOnlyHits;
    }
    EXPECT_EQ(search({word(wordUpper(text))}), expected) << text;
    ++checked;
  }
  EXPECT_GE(checked, 5);
  EXPECT_GT(htmlOnlyHits, 0) << "mail whose only body is HTML is among the hits";
}

// The phrase is checked from the words the index keeps of each message in
// order (subject and text, stop words included): every phrase gives the hits
// of the text check over the messages holding its words, and every message
// kept is answered without reading it, on generated mail (every MIME shape)
// and on texts with stop words, repeated words and words at their edges,
// also after a word left the index for the stop list, after one was put on
// the stop list by hand while still indexed, with rows in the older form of
// the text's words only, and with no rows at all. A message with '^' keeps
// no row and is read.
TEST_F(WordIndexTest, PhraseHitsFromTheIndexAreThoseOfTheTextCheck) {
  qvbench::CorpusGenerator gen({.messages = 300, .seed = 5, .vocabulary = 150});
  qvbench::PostedCorpus posted;
  std::string error;
  ASSERT_TRUE(qvbench::postCorpus(gen, "Generated", posted, error)) << error;
  box = posted.database;
  ASSERT_TRUE(qv::selectDatabase(box));
  std::vector<uint32_t> ids = posted.ids;
  const char* edges[] = {
      "alpha bravo the charlie alpha bravo",      "bravo the the alpha bravo charlie",
      "charlie alpha alpha bravo and the delta", "delta charlie. Alpha, bravo!\n\nthe charlie delta",
      "alpha^bravo charlie delta",                 "echo alpha of bravo of charlie echo",
      "delta echo alpha bravo",                    "golf 1234 hotel delta",
  };
  std::vector<uint32_t> edgeIds;
  for (const char* t : edges) edgeIds.push_back(mail("alpha bravo subject", t));
  edgeIds.push_back(mail("the charlie of delta", "nothing here"));  // a phrase across a stop word in the subject
  edgeIds.push_back(mail("golf the hotel", "charlie golf"));        // and one that needs subject and text at once
  const uint32_t caretId = edgeIds[4];
  ids.insert(ids.end(), edgeIds.begin(), edgeIds.end());
  ASSERT_EQ(index(2), 1) << prompts.transcript();

  // Phrases: runs of two and three words from the texts (stop words left
  // out or kept in), and the hand-made ones.
  std::vector<std::vector<std::string>> phrases = {{"ALPHA", "BRAVO"},   {"BRAVO", "CHARLIE"}, {"ALPHA", "ALPHA"},
                                                   {"CHARLIE", "DELTA"}, {"ALPHA", "BRAVO", "CHARLIE"},
                                                   {"ECHO", "ALPHA"},    {"BRAVO", "ALPHA"},   {"CHARLIE", "GOLF"},
                                                   {"HOTEL", "CHARLIE"}, {"BRAVO", "SUBJECT"}};
  auto textWords = [&](uint32_t id) {
    std::vector<std::string> out;
    OP_CLOSE(OpShared, {FileMsgText});
    TXT = MsgTextRec();
    TXT.MSGNUMBER = id;
    if (MsgText.get(TXT_IdKey))
      forEachIndexedPart(TXT.MsgText, KindMailDb, footersIndexed(KindMailDb), [&](std::string_view piece) {
        WordCutter c(piece);
        CutWord w;
        while (c.next(w))
          if (acceptWord(w, true)) out.push_back(w.word);
      });
    OP_CLOSE(OpRelease, {FileMsgText});
    return out;
  };
  for (size_t i = 0; i < posted.ids.size(); i += 25) {
    std::vector<std::string> ws = textWords(posted.ids[i]);
    for (size_t j = 0; j + 3 <= ws.size() && j < 60; j += 12) {
      phrases.push_back({ws[j], ws[j + 1]});
      phrases.push_back({ws[j], ws[j + 1], ws[j + 2]});
      phrases.push_back({ws[j], ws[j + 2]});
    }
  }
  // How the index answers: every message kept in order, or none.
  enum class Rows { Kept, None };
  auto compare = [&](const char* stage, Rows rows) {
    auto stop = storedStopList();
    int checked = 0, hits = 0, answered = 0;
    std::set<uint32_t> unanswered;
    for (const auto& p : phrases) {
      std::vector<SearchWord> ands;
      bool known = true;
      for (const std::string& w : p) {
        auto found = lookupWords(w, LookupMode::Exact);
        if (found.empty() || stop->count(w)) known = false;
        if (!found.empty()) ands.push_back({found[0].word, found[0].wordId, found[0].count, false});
      }
      if (!known) continue;
      std::set<uint32_t> expected;
      std::set<uint32_t> found = search(ands);
      std::vector<uint32_t> candidates(found.begin(), found.end());
      OP_CLOSE(OpShared, {FileMail, FileMsgText, FileMasIdx});
      std::vector<uint32_t> words, stopNumbers;
      std::vector<std::string> stopWords(stop->begin(), stop->end());
      std::vector<PhraseAnswer> answers;
      uint32_t cut = textCut(WSVarsGet(ItemIndexNumbers) != 0, false);
      bool have = textWordNumbers(MasIdx, p, words) && textWordNumbers(MasIdx, stopWords, stopNumbers);
      stopNumbers.erase(std::remove(stopNumbers.begin(), stopNumbers.end(), 0u), stopNumbers.end());
      std::sort(stopNumbers.begin(), stopNumbers.end());
      if (!have || !phraseInSequences(MasIdx, cut, candidates, words, stopNumbers, answers))
        answers.assign(candidates.size(), PhraseAnswer::Unknown);
      for (size_t i = 0; i < candidates.size(); ++i) {
        bool inText = phraseInText(KindMailDb, candidates[i], p, *stop);
        if (inText) expected.insert(candidates[i]);
        if (answers[i] == PhraseAnswer::Unknown) {
          unanswered.insert(candidates[i]);
        } else {
          ++answered;
          EXPECT_EQ(answers[i] == PhraseAnswer::Yes, inText)
              << stage << ": message " << candidates[i] << ", " << p[0] << " " << p[1];
        }
      }
      OP_CLOSE(OpRelease, {FileMail, FileMsgText, FileMasIdx});
      EXPECT_EQ(search(ands, {}, p), expected) << stage << ": " << p[0] << " " << p[1];
      hits += int(expected.size());
      ++checked;
    }
    EXPECT_GT(checked, 40) << stage;
    EXPECT_GT(hits, 40) << stage;
    if (rows == Rows::Kept) {
      EXPECT_GT(answered, 200) << stage << ": the index answers";
      EXPECT_EQ(unanswered, std::set<uint32_t>{caretId}) << stage << ": only the message with '^' is read";
    } else {
      EXPECT_EQ(answered, 0) << stage << ": every message is read";
    }
  };
  compare("indexed", Rows::Kept);

  // A word leaves the index for the stop list (marked by the user).
  int32_t charlie = word("CHARLIE").wordId;
  OP_CLOSE(OpShared, {FilePurgeList});
  PUR = PurgeListRec();
  PUR.WORDID = charlie;
  ASSERT_TRUE(PurgeList.add());
  OP_CLOSE(OpRelease, {FilePurgeList});
  ASSERT_EQ(index(2), 1) << prompts.transcript();
  ASSERT_TRUE(isStopWord("CHARLIE"));
  phrases.push_back({"BRAVO", "DELTA"});
  compare("after a word left the index", Rows::Kept);

  // An indexed word put on the stop list by hand.
  ASSERT_TRUE(addStopWord("ECHO"));
  phrases.push_back({"DELTA", "ALPHA"});
  phrases.push_back({"BRAVO", "BRAVO"});
  compare("after a word went on the stop list by hand", Rows::Kept);

  // Numbers no longer indexed: the words as the run cut them are not those
  // the check cuts now (1234 stood between GOLF and HOTEL).
  WSVarsSet(ItemIndexNumbers, 0);
  phrases.push_back({"GOLF", "HOTEL"});
  compare("after numbers were switched off", Rows::None);
  WSVarsSet(ItemIndexNumbers, 1);

  // Rows in the older form (the text's words as word numbers, 0 for a word
  // the index does not hold), as files written before hold them: answered by
  // reading the messages, with the same hits.
  auto stop = storedStopList();
  OP_CLOSE(OpShared, {FileMasIdx, FileWordList});
  ASSERT_TRUE(MasIdx.stream());
  for (uint32_t id : ids) {
    if (id == caretId) continue;
    std::vector<uint32_t> numbers;
    for (const std::string& w : textWords(id)) {
      auto found = stop->count(w) ? std::vector<WordCandidate>{} : lookupWords(w, LookupMode::Exact);
      numbers.push_back(found.empty() ? 0 : uint32_t(found[0].wordId));
    }
    ASSERT_TRUE(setMessageTokens(MasIdx, id, textCut(true, false), numbers)) << ErrorText();
  }
  ASSERT_TRUE(MasIdx.flush()) << ErrorText();
  OP_CLOSE(OpRelease, {FileMasIdx, FileWordList});
  compare("with rows in the older form", Rows::None);

  // An index without rows (made before they were kept).
  OP_CLOSE(OpShared, {FileMasIdx});
  std::string path = MasIdx.name();
  OP_CLOSE(OpRelease, {FileMasIdx});
  OP_CLOSE(OpForceClose, {FileMasIdx});
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, "DELETE FROM message_tokens; DROP TABLE text_words;", nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  compare("without rows", Rows::None);
}

}  // namespace
