// The word index settings as the settings wizard edits them: the switches
// of Control block 10 and the start, inside and end tables of the word
// characters (Control records 11 to 16), read and written as one.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace qv {

struct WordSettings {
  int indexNumbers = 1;      // item 49
  int forumFooters = 0;      // item 51
  int newsFooters = 0;       // item 52
  int frequentForum = 1;     // item 53
  int frequentMail = 1;      // item 54
  int frequentNews = 1;      // item 55
  int64_t searchPause = 10000;  // item 50
  // Entries as the tables keep them: 0 the character may start a word /
  // stand inside one / end one, non-zero it may not.
  std::array<uint8_t, 256> start{}, inside{}, end{};
};

// Loads block 10 and the tables from the control file (WSVars KLoad) and
// returns them. False when the control file could not be read.
bool readWordSettings(WordSettings& out);
// True when the switches differ; true when the tables differ (a change of
// the tables changes what a word is: the index must be built again).
bool switchesDiffer(const WordSettings& a, const WordSettings& b);
bool tablesDiffer(const WordSettings& a, const WordSettings& b);
// Writes the settings (WSVars KSave). On failure the settings in memory are
// put back as they were and false is returned.
bool writeWordSettings(const WordSettings& s);
// Puts the named set of the current database's WordDefs into the tables of
// `into`, leaving the tables in use alone. False when there is no such set.
bool readWordSet(const std::string& name, WordSettings& into);
// Stores the tables of `s` as the set `name` of the current database
// (replacing a set of that name), leaving the tables in use alone.
bool writeWordSet(const std::string& name, const WordSettings& s);

}  // namespace qv
