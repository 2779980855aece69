#include "wordindex/stop_list_edit.h"

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/file_scope.h"
#include "services/file_service.h"
#include "storage/errors.h"
#include "wordindex/stop_list.h"
#include "wordindex/word_cut.h"

namespace qv {

namespace {

constexpr size_t kStopWordMax = 40;

// The file is open.
bool onList(const std::string& w) {
  STO = StopListRec();
  STO.THEWORD = w;
  return StopList.get(STO_BY_THEWORD);
}

StopEdit checkForm(const std::string& w) {
  if (w.empty()) return StopEdit::Empty;
  if (w.size() > kStopWordMax) return StopEdit::TooLong;
  return StopEdit::Done;
}

}  // namespace

std::string stopWordForm(const std::string& word) {
  size_t b = word.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return {};
  size_t e = word.find_last_not_of(" \t\r\n");
  return wordUpper(std::string_view(word).substr(b, e - b + 1));
}

std::vector<std::string> stopWords() {
  std::vector<std::string> words;
  FileScope scope({FileStopList});
  StopList.set(STO_BY_THEWORD);
  while (StopList.next()) words.push_back(STO.THEWORD.str());
  return words;
}

StopEdit insertStopWord(const std::string& word) {
  std::string w = stopWordForm(word);
  if (StopEdit r = checkForm(w); r != StopEdit::Done) return r;
  FileScope scope({FileStopList});
  bool there = onList(w);
  scope.release();
  if (there) return StopEdit::Duplicate;
  // Added as the user's own word (a full run does not give it back).
  return addStopWord(w) ? StopEdit::Done : StopEdit::Failed;
}

StopEdit changeStopWord(const std::string& from, const std::string& to) {
  std::string f = stopWordForm(from), t = stopWordForm(to);
  if (StopEdit r = checkForm(t); r != StopEdit::Done) return r;
  FileScope scope({FileStopList});
  StopEdit result = StopEdit::Done;
  if (!onList(f))
    result = StopEdit::NotFound;
  else if (t != f && onList(t))
    result = StopEdit::Duplicate;
  else if (t != f) {
    onList(f);
    STO.THEWORD = t;
    if (!StopList.put()) result = ErrorCode() == ErrDuplicateKey ? StopEdit::Duplicate : StopEdit::Failed;
  }
  scope.release();
  // The changed word is now the user's, like an added one.
  if (result == StopEdit::Done && t != f && !addStopWord(t)) result = StopEdit::Failed;
  return result;
}

StopEdit deleteStopWord(const std::string& word) {
  std::string w = stopWordForm(word);
  FileScope scope({FileStopList});
  StopEdit result = StopEdit::Done;
  if (!onList(w))
    result = StopEdit::NotFound;
  else if (!StopList.remove())
    result = StopEdit::Failed;
  return result;
}

std::string stopEditText(StopEdit result, const std::string& word) {
  switch (result) {
    case StopEdit::Done: return {};
    case StopEdit::Empty: return "Please type a word.";
    case StopEdit::TooLong: return "A non index word has at most 40 characters.";
    case StopEdit::Duplicate: return "The word " + word + " is a non index word already.";
    case StopEdit::NotFound: return "The word " + word + " is not a non index word.";
    case StopEdit::Failed: return "The list of non index words could not be changed.";
  }
  return {};
}

}  // namespace qv
