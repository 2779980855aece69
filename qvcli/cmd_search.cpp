// search: finds the messages of a database by the words they contain.
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "commands.h"
#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/databases.h"
#include "services/datetime.h"
#include "services/db_kind.h"
#include "services/file_scope.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/installation.h"
#include "services/messages.h"
#include "services/prompt.h"
#include "services/settings.h"
#include "storage/errors.h"
#include "wordindex/search.h"
#include "wordindex/search_input.h"
#include "wordindex/word_lookup.h"

namespace qvcli {

namespace {

// Looks typed words up and adds what they find to a list. Every candidate of
// a Soundex, approximate or wildcard look-up is one more OR word.
bool addTyped(qv::WordSearch& s, const std::string& input, qv::LookupMode mode, bool negated, bool toAnd,
              int tolerance = 1) {
  std::vector<std::string> words;
  if (!qv::typedSearchWords(input, mode, false, words)) return false;
  for (const std::string& w : words) {
    qv::LookupMode m = mode == qv::LookupMode::Exact && w.find_first_of("*?") != std::string::npos
                           ? qv::LookupMode::Wildcard
                           : mode;
    auto found = qv::lookupWords(w, m, tolerance);
    if (found.empty()) {
      if (negated) {  // a word no message holds excludes nothing
        (toAnd ? s.andList : s.orList).push_back({w, 0, 0, true});
        continue;
      }
      sayError("No word of the index matches \"%s\".\n", w.c_str());
      if (toAnd) return false;
      continue;
    }
    bool many = found.size() > 1;
    for (const qv::WordCandidate& c : found) {
      qv::SearchWord sw{c.word, c.wordId, c.count, negated};
      if (negated || !many) {
        (toAnd ? s.andList : s.orList).push_back(sw);
      } else {
        s.orList.push_back(sw);
      }
    }
  }
  return true;
}

// The message numbers alone, one a line, for scripts.
std::string idLines(const std::vector<uint32_t>& ids) {
  std::string list;
  list.reserve(ids.size() * 8);
  char number[16];
  for (uint32_t id : ids) {
    list.append(number, std::to_chars(number, number + sizeof number, id).ptr);
    list += '\n';
  }
  return list;
}

// Each line: the number left-aligned in ten places, the date, the subject.
std::string hitLines(const std::vector<uint32_t>& ids) {
  bool mail = qv::Mem.ForumType == qv::KindMailDb;
  std::vector<int> files = mail ? std::vector<int>{qv::FileMail} : std::vector<int>{qv::FileMsgNmbr, qv::FileThreads};
  std::vector<qv::MessageHeader> headers;
  {
    qv::FileScope scope(files);
    headers = qv::readMessageHeaders(qv::Mem.ForumType, ids);
  }
  std::string list;
  list.reserve(ids.size() * 80);
  char number[16];
  for (size_t i = 0; i < ids.size(); ++i) {
    size_t n = size_t(std::to_chars(number, number + sizeof number, ids[i]).ptr - number);
    list.append(number, n);
    list.append(n < 10 ? 11 - n : 1, ' ');
    list += qv::formatDate(headers[i].date, qv::DateYearFirst);
    list += "  ";
    list += headers[i].subject;
    list += '\n';
  }
  return list;
}

}  // namespace

int cmdSearch(const Args& argsIn) {
  Args args = argsIn;
  auto ands = takeRepeated(args, "--and");
  auto ors = takeRepeated(args, "--or");
  auto nots = takeRepeated(args, "--not");
  std::string phrase, soundex, wildcard;
  bool havePhrase = takeOption(args, "--phrase", phrase);
  bool haveSoundex = takeOption(args, "--soundex", soundex);
  bool haveWildcard = takeOption(args, "--wildcard", wildcard);
  bool idsOnly = takeFlag(args, "--ids");
  std::string limitText;
  size_t limit = 0;
  if (takeOption(args, "--limit", limitText)) {
    auto [end, ec] = std::from_chars(limitText.data(), limitText.data() + limitText.size(), limit);
    if (ec != std::errc() || end != limitText.data() + limitText.size() || limit == 0)
      return fail("--limit takes a number of messages above 0, not \"" + limitText + "\"");
  }
  std::string approxWord;
  int tolerance = 0;
  for (size_t i = 0; i < args.size(); ++i)
    if (args[i] == "--approx") {
      if (i + 2 >= args.size()) return fail("--approx takes a tolerance and a word");
      tolerance = std::atoi(args[i + 1].c_str());
      approxWord = args[i + 2];
      args.erase(args.begin() + long(i), args.begin() + long(i) + 3);
      break;
    }
  for (const std::string& a : args)
    if (a.rfind("--", 0) == 0) return fail("unknown option \"" + a + "\"");
  if (args.size() != 1) return fail("usage: search DB [--and W]... [--or W]... [--not W]... [--phrase \"...\"] "
                                    "[--soundex W] [--approx K W] [--wildcard PAT] [--limit N] [--ids]");
  if (!qv::findDatabase(args[0])) return fail("no database named \"" + args[0] + "\"");
  qv::useDatabase();
  // The files the steps of the search each open stay open for all of
  // them: one opening, one check of their layout.
  qv::FileScope occurrences({qv::FileMasIdx});
  if (!qv::databaseIndexed()) return 1;
  qv::FileScope wordList({qv::FileWordList});

  qv::WordSearch s(qv::Mem.ForumType);
  s.limit = limit;
  bool ok = true;
  for (const std::string& w : ands) ok = ok && addTyped(s, w, qv::LookupMode::Exact, false, true);
  for (const std::string& w : ors) ok = ok && addTyped(s, w, qv::LookupMode::Exact, false, false);
  for (const std::string& w : nots) ok = ok && addTyped(s, w, qv::LookupMode::Exact, true, true);
  if (ok && haveSoundex) ok = addTyped(s, soundex, qv::LookupMode::Soundex, false, false);
  if (ok && haveWildcard) ok = addTyped(s, wildcard, qv::LookupMode::Wildcard, false, false);
  if (ok && !approxWord.empty()) ok = addTyped(s, approxWord, qv::LookupMode::Approximate, false, false, tolerance);
  if (ok && havePhrase) {
    std::vector<std::string> words;
    ok = qv::typedSearchWords(phrase, qv::LookupMode::Exact, true, words);
    std::vector<qv::SearchWord> found;
    ok = ok && qv::lookupPhrase(words, found);
    for (const qv::SearchWord& w : found) s.andList.push_back(w);
    if (ok) s.phrase = words;
  }
  if (!ok) return 1;
  if (s.andList.empty() && s.orList.empty()) {
    qv::Message("Please use the Insert Button to Locate words of Interest!\r\nThen Try Again.", "No Search Words");
    return 1;
  }
  if (!s.run()) return 1;
  std::vector<uint32_t> ids = s.results();
  // The result is kept for export and print (scope search) only when this
  // program may write: beside the program, the search result it shows is its own.
  bool kept = true;
  if (!qv::installationReadOnly())
    kept = qv::writeSearchFile(ids);
  else
    sayError("The result is not kept for export and print: the installation is open for reading only.\n");
  std::string notKept = kept ? std::string() : qv::ErrorText();

  sayText(idsOnly ? idLines(ids) : hitLines(ids));
  sayError("%zu message%s found%s\n", ids.size(), ids.size() == 1 ? "" : "s",
           s.stoppedAtLimit() ? " (stopped at the limit; there may be more)" : "");
  // Export and print of the search result would take another set: the
  // command fails, after the listing.
  if (!kept) return fail("the result could not be kept for export and print: " + notKept);
  return 0;
}

}  // namespace qvcli
