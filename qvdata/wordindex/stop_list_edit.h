// Editing the stop list by hand (the Ignore List window and `qvcli
// stoplist`): words are kept in upper case, one of each; a word already on
// the list is refused rather than passed over, so that the user is told.
#pragma once

#include <string>
#include <vector>

namespace qv {

enum class StopEdit {
  Done,
  Empty,      // no word given (or one that is only blanks)
  TooLong,    // more than 40 characters
  Duplicate,  // the word is on the list already
  NotFound,   // the word to change or delete is not on the list
  Failed,     // the file failed; nothing has changed
};

// The words of the stop list in alphabetical order.
std::vector<std::string> stopWords();
StopEdit insertStopWord(const std::string& word);
StopEdit changeStopWord(const std::string& from, const std::string& to);
StopEdit deleteStopWord(const std::string& word);
// A sentence for the user about an edit that did not happen ("" for Done).
std::string stopEditText(StopEdit result, const std::string& word);
// The form in which a word is stored: trimmed and upper case.
std::string stopWordForm(const std::string& word);

}  // namespace qv
