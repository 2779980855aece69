#include "wordindex/word_settings.h"

#include "services/globals.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "wordindex/word_tables.h"

namespace qv {

namespace {

// The settings now in memory.
WordSettings current() {
  WordSettings s;
  s.indexNumbers = int(WSVarsGet(ItemIndexNumbers));
  s.forumFooters = int(WSVarsGet(ItemForumFooters));
  s.newsFooters = int(WSVarsGet(ItemNewsFooters));
  s.frequentForum = int(WSVarsGet(ItemFrequentForum));
  s.frequentMail = int(WSVarsGet(ItemFrequentMail));
  s.frequentNews = int(WSVarsGet(ItemFrequentNews));
  s.searchPause = WSVarsGet(ItemSearchPause);
  s.start = StartWordHash;
  s.inside = InWordHash;
  s.end = EndWordHash;
  return s;
}

void apply(const WordSettings& s) {
  WSVarsSet(ItemIndexNumbers, s.indexNumbers);
  WSVarsSet(ItemForumFooters, s.forumFooters);
  WSVarsSet(ItemNewsFooters, s.newsFooters);
  WSVarsSet(ItemFrequentForum, s.frequentForum);
  WSVarsSet(ItemFrequentMail, s.frequentMail);
  WSVarsSet(ItemFrequentNews, s.frequentNews);
  WSVarsSet(ItemSearchPause, s.searchPause);
  StartWordHash = s.start;
  InWordHash = s.inside;
  EndWordHash = s.end;
}

}  // namespace

bool readWordSettings(WordSettings& out) {
  if (!WSVars(KLoad)) return false;
  out = current();
  return true;
}

bool switchesDiffer(const WordSettings& a, const WordSettings& b) {
  return a.indexNumbers != b.indexNumbers || a.forumFooters != b.forumFooters || a.newsFooters != b.newsFooters ||
         a.frequentForum != b.frequentForum || a.frequentMail != b.frequentMail ||
         a.frequentNews != b.frequentNews || a.searchPause != b.searchPause;
}

bool tablesDiffer(const WordSettings& a, const WordSettings& b) {
  // Only whether an entry is zero counts: that is all the word cutter asks.
  for (size_t c = 0; c < 256; ++c)
    if ((a.start[c] == 0) != (b.start[c] == 0) || (a.inside[c] == 0) != (b.inside[c] == 0) ||
        (a.end[c] == 0) != (b.end[c] == 0))
      return true;
  return false;
}

bool writeWordSettings(const WordSettings& s) {
  WordSettings before = current();
  apply(s);
  if (WSVars(KSave)) return true;
  apply(before);
  return false;
}

bool readWordSet(const std::string& name, WordSettings& into) {
  std::array<uint8_t, 256> start = StartWordHash, in = InWordHash, end = EndWordHash;
  bool found = useWordSet(name);
  if (found) {
    into.start = StartWordHash;
    into.inside = InWordHash;
    into.end = EndWordHash;
  }
  StartWordHash = start;
  InWordHash = in;
  EndWordHash = end;
  return found;
}

bool writeWordSet(const std::string& name, const WordSettings& s) {
  std::array<uint8_t, 256> start = StartWordHash, in = InWordHash, end = EndWordHash;
  StartWordHash = s.start;
  InWordHash = s.inside;
  EndWordHash = s.end;
  bool ok = saveWordSet(name);
  StartWordHash = start;
  InWordHash = in;
  EndWordHash = end;
  return ok;
}

}  // namespace qv
