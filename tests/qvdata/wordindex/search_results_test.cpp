// The answer of a word search as the commands take it: the hits of every
// kind of request on a generated corpus, in order, and the result file that
// keeps them for export and print.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "corpus_gen.h"
#include "corpus_post.h"
#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/databases.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/messages.h"
#include "services/record_helpers.h"
#include "support/browse_records.h"
#include "support/services_fixture.h"
#include "wordindex/index_run.h"
#include "wordindex/search.h"
#include "wordindex/word_cut.h"
#include "wordindex/word_lookup.h"

using namespace qv;

namespace {

constexpr size_t kMessages = 1200;
const qvbench::CorpusOptions kCorpus{.messages = kMessages, .seed = 23, .vocabulary = 3000};

class SearchResultsTest : public qvtest::InstallationTest {
 protected:
  void SetUp() override {
    qvtest::InstallationTest::SetUp();
    qvbench::CorpusGenerator gen(kCorpus);
    std::string error;
    ASSERT_TRUE(qvbench::postCorpus(gen, "Generated", posted, error)) << error;
    ASSERT_TRUE(findDatabase(posted.database));
    IndexRun run(2, 4, posted.database, {FOR.LASTMSGID, FOR.RECSLASTTIME, FOR.WORDLISTINDEXNEEDSUPDATE});
    while (run.step()) {
    }
    storeIndexState(posted.database, run.state());
    ASSERT_EQ(run.result(), 1) << prompts.transcript();
    ASSERT_TRUE(qv::selectDatabase(posted.database));
    // The truth: the generator's own record of which mail holds which word.
    qvbench::GeneratedMail m;
    while (truth.next(m)) mails.push_back(m);
  }

  SearchWord word(const std::string& w, bool negated = false) {
    auto found = lookupWords(wordUpper(w), LookupMode::Exact);
    EXPECT_EQ(found.size(), 1u) << w;
    return found.empty() ? SearchWord{w, 0, 0, negated}
                         : SearchWord{found[0].word, found[0].wordId, found[0].count, negated};
  }
  // The IDs of the generated mails `indices`, highest first, as a search lists them.
  std::vector<uint32_t> newestFirst(const std::vector<uint32_t>& indices) {
    std::vector<uint32_t> ids;
    for (uint32_t i : indices) ids.push_back(posted.ids[i]);
    std::sort(ids.rbegin(), ids.rend());
    return ids;
  }
  const std::vector<uint32_t>& holding(const std::string& w) { return truth.messagesWith(w); }
  std::vector<uint32_t> run(WordSearch& s) {
    EXPECT_TRUE(s.run()) << prompts.transcript();
    return s.results();
  }
  // The result file: its IDs in the order they were written, and in key
  // order (highest first).
  std::pair<std::vector<uint32_t>, std::vector<uint32_t>> resultFile() {
    std::vector<uint32_t> written, keyed;
    OP_CLOSE(OpShared, {FileSearch});
    Search.setFileOrder();
    while (Search.next()) written.push_back(SEA.ID);
    Search.set(SEA_IdKey);
    while (Search.next()) keyed.push_back(SEA.ID);
    OP_CLOSE(OpRelease, {FileSearch});
    return {written, keyed};
  }

  qvbench::CorpusGenerator truth{kCorpus};
  std::vector<qvbench::GeneratedMail> mails;
  qvbench::PostedCorpus posted;
};

class MessageHeadersTest : public qvtest::InstallationTest {};

// A header as fields that compare.
auto fieldsOf(const MessageHeader& h) {
  return std::make_tuple(h.id, h.fromId, h.toId, h.threadNumber, h.date, h.time, h.subject);
}
// The headers of `ids` read at once and read one by one.
void expectSameHeaders(int kind, const std::vector<uint32_t>& ids) {
  std::vector<MessageHeader> atOnce = readMessageHeaders(kind, ids);
  ASSERT_EQ(atOnce.size(), ids.size());
  for (size_t i = 0; i < ids.size(); ++i) {
    MessageHeader one;
    readMessageHeader(kind, ids[i], one);
    EXPECT_EQ(fieldsOf(atOnce[i]), fieldsOf(one)) << "message " << ids[i];
  }
}

}  // namespace

TEST_F(SearchResultsTest, TheHeadersOfAllHitsReadAtOnceAreThoseReadOneByOne) {
  std::string common = truth.word(uint32_t(truth.pickWord(0.10, 0.25)));
  WordSearch s(KindMailDb);
  s.andList = {word(common)};
  std::vector<uint32_t> ids = run(s);
  ASSERT_GT(ids.size(), 100u);
  ids.insert(ids.begin() + 3, 17);  // no such message
  ids.push_back(ids[5]);            // one asked twice
  // A subject longer than the field, kept whole.
  OP_CLOSE(OpShared, {FileMail, FileSubjects});
  MAI = MailRec();
  MAI.MAILID = ids[7];
  ASSERT_TRUE(Mail.get(MAI_IdKey));
  const std::string whole = MAI.SUBJECT.str() + std::string(200, 'x');
  ASSERT_TRUE(keepWholeSubject(ids[7], whole, MAI.SUBJECT.str(), ReportShow));
  OP_CLOSE(OpRelease, {FileMail, FileSubjects});

  OP_CLOSE(OpShared, {FileMail});
  expectSameHeaders(KindMailDb, ids);
  EXPECT_EQ(readMessageHeaders(KindMailDb, ids)[7].subject, whole);
  EXPECT_TRUE(readMessageHeaders(KindMailDb, {}).empty());
  OP_CLOSE(OpRelease, {FileMail});
}

TEST_F(MessageHeadersTest, AForumMessageIsListedUnderItsThreadsWholeHeading) {
  ASSERT_NE(qvtest::makeBrowseDatabase(KindForumDb, "Forum"), 0u);
  ASSERT_TRUE(qvtest::addSection(300, 1, "General"));
  std::string longHeading = "A heading much longer than the fifty characters of a thread record";
  ASSERT_TRUE(qvtest::addThread(400, 300, longHeading.substr(0, 50)));
  ASSERT_TRUE(qvtest::addThread(401, 300, "Short"));
  OP_CLOSE(OpShared, {FileSubjects});
  ASSERT_TRUE(keepWholeSubject(400, longHeading, longHeading.substr(0, 50), ReportShow));
  OP_CLOSE(OpRelease, {FileSubjects});
  ASSERT_TRUE(qvtest::addMessage(800, 400, 0, 0, 80000));
  ASSERT_TRUE(qvtest::addMessage(801, 401, 0, 0, 80001));
  ASSERT_TRUE(qvtest::addMessage(802, 400, 0, 0, 80002));
  OP_CLOSE(OpShared, {FileMsgNmbr, FileThreads});
  expectSameHeaders(KindForumDb, {802, 801, 999, 800});
  std::vector<MessageHeader> h = readMessageHeaders(KindForumDb, {802, 801});
  EXPECT_EQ(h[0].subject, longHeading);
  EXPECT_EQ(h[1].subject, "Short");
  OP_CLOSE(OpRelease, {FileMsgNmbr, FileThreads});
}

TEST_F(SearchResultsTest, EveryKindOfRequestFindsExactlyTheMailsHoldingItsWordsNewestFirst) {
  std::string rare = truth.word(uint32_t(truth.pickWord(3.0 / kMessages, 12.0 / kMessages)));
  std::string common = truth.word(uint32_t(truth.pickWord(0.10, 0.25)));
  std::string other = truth.word(uint32_t(truth.pickWord(0.04, 0.10)));
  auto combine = [&](const std::string& a, const std::string& b, int how) {
    std::vector<uint32_t> out;
    const auto &x = holding(a), &y = holding(b);
    if (how == 0) std::set_intersection(x.begin(), x.end(), y.begin(), y.end(), std::back_inserter(out));
    if (how == 1) std::set_union(x.begin(), x.end(), y.begin(), y.end(), std::back_inserter(out));
    if (how == 2) std::set_difference(x.begin(), x.end(), y.begin(), y.end(), std::back_inserter(out));
    return out;
  };
  {
    WordSearch s(KindMailDb);
    s.andList = {word(rare)};
    EXPECT_EQ(run(s), newestFirst(holding(rare))) << rare;
  }
  {
    WordSearch s(KindMailDb);
    s.andList = {word(common)};
    EXPECT_EQ(run(s), newestFirst(holding(common))) << common;
  }
  {
    WordSearch s(KindMailDb);
    s.andList = {word(common), word(other)};
    EXPECT_EQ(run(s), newestFirst(combine(common, other, 0)));
  }
  {
    WordSearch s(KindMailDb);
    s.orList = {word(rare), word(other)};
    EXPECT_EQ(run(s), newestFirst(combine(rare, other, 1)));
  }
  {
    WordSearch s(KindMailDb);
    s.andList = {word(common), word(other, true)};
    EXPECT_EQ(run(s), newestFirst(combine(common, other, 2)));
  }
  // A phrase: the common word and the word after it somewhere in a text.
  std::string next;
  for (const qvbench::GeneratedMail& m : mails) {
    std::vector<std::string> seq = qvbench::readableWords(m.body);
    for (size_t i = 0; i + 1 < seq.size() && next.empty(); ++i)
      if (seq[i] == common && seq[i + 1] != common && truth.wordNumber(seq[i + 1]) >= 0 &&
          holding(seq[i + 1]).size() < kMessages / 5)
        next = seq[i + 1];
    if (!next.empty()) break;
  }
  ASSERT_FALSE(next.empty());
  std::vector<uint32_t> phraseHits;
  for (const qvbench::GeneratedMail& m : mails)
    if (qvbench::holdsPhrase(m, {common, next})) phraseHits.push_back(uint32_t(m.index));
  WordSearch s(KindMailDb);
  s.andList = {word(common), word(next)};
  s.phrase = {wordUpper(common), wordUpper(next)};
  EXPECT_EQ(run(s), newestFirst(phraseHits)) << common << " " << next;
  EXPECT_FALSE(phraseHits.empty());
}

TEST_F(SearchResultsTest, TheResultFileHoldsTheHitsInTheOrderGivenAndReplacesTheLastOne) {
  std::string common = truth.word(uint32_t(truth.pickWord(0.10, 0.25)));
  WordSearch s(KindMailDb);
  s.andList = {word(common)};
  std::vector<uint32_t> hits = run(s);
  ASSERT_GT(hits.size(), 100u);
  ASSERT_TRUE(writeSearchFile(hits));
  EXPECT_EQ(resultFile(), std::make_pair(hits, hits));

  // A later, smaller result replaces it whole; an ID given twice is kept once.
  std::vector<uint32_t> few = {hits[5], hits[2], hits[9], hits[2]};
  ASSERT_TRUE(writeSearchFile(few));
  EXPECT_EQ(resultFile(), std::make_pair(std::vector<uint32_t>{hits[5], hits[2], hits[9]},
                                         std::vector<uint32_t>{hits[2], hits[5], hits[9]}));
  ASSERT_TRUE(writeSearchFile({}));
  EXPECT_EQ(resultFile(), std::make_pair(std::vector<uint32_t>{}, std::vector<uint32_t>{}));
}

TEST_F(SearchResultsTest, ALimitGivesTheNewestHitsOfTheWholeAnswerForEveryKindOfRequest) {
  std::string rare = truth.word(uint32_t(truth.pickWord(3.0 / kMessages, 12.0 / kMessages)));
  std::string common = truth.word(uint32_t(truth.pickWord(0.10, 0.25)));
  std::string other = truth.word(uint32_t(truth.pickWord(0.04, 0.10)));
  // The phrase: the common word and the word after it somewhere in a text.
  std::string next;
  for (const qvbench::GeneratedMail& m : mails) {
    std::vector<std::string> seq = qvbench::readableWords(m.body);
    for (size_t i = 0; i + 1 < seq.size() && next.empty(); ++i)
      if (seq[i] == common && seq[i + 1] != common && truth.wordNumber(seq[i + 1]) >= 0) next = seq[i + 1];
    if (!next.empty()) break;
  }
  ASSERT_FALSE(next.empty());
  auto request = [&](int which, WordSearch& s) {
    switch (which) {
      case 0: s.andList = {word(common)}; break;
      case 1: s.andList = {word(common), word(other)}; break;
      case 2: s.andList = {word(common), word(other, true)}; break;
      case 3: s.orList = {word(rare), word(other)}; break;
      default:
        s.andList = {word(common), word(next)};
        s.phrase = {wordUpper(common), wordUpper(next)};
    }
  };
  for (int which = 0; which < 5; ++which) {
    WordSearch whole(KindMailDb);
    request(which, whole);
    std::vector<uint32_t> all = run(whole);
    ASSERT_FALSE(all.empty()) << which;
    EXPECT_FALSE(whole.stoppedAtLimit());
    for (size_t limit : {size_t(1), size_t(5), size_t(300), all.size() + 1}) {
      WordSearch s(KindMailDb);
      request(which, s);
      s.limit = limit;
      std::vector<uint32_t> newest(all.begin(), all.begin() + long(std::min(limit, all.size())));
      EXPECT_EQ(run(s), newest) << "request " << which << ", limit " << limit;
      if (all.size() > limit) {
        EXPECT_TRUE(s.stoppedAtLimit()) << "request " << which << ", limit " << limit;
      }
      if (all.size() < limit) {
        EXPECT_FALSE(s.stoppedAtLimit()) << "request " << which << ", limit " << limit;
      }
    }
  }
}
