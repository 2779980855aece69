// A generator of realistic mail for benchmarks and tests.
//
// It writes N messages, one after the other, each as the bytes of an
// Internet message, with the mix an archive of real mail shows:
//   - plain text, 7-bit or 8-bit (UTF-8 or ISO-8859-1 bodies);
//   - quoted-printable bodies;
//   - HTML-only bodies;
//   - multipart/alternative (text and HTML);
//   - multipart/mixed with a base64 attachment;
//   - a few plain texts carrying a uuencoded block;
//   - subjects in plain ASCII or as RFC 2047 encoded words in UTF-8 or
//     ISO-8859-1;
//   - threads: replies carry In-Reply-To and References, "Re: " subjects and
//     quoted lines of the message they answer.
// The words come from a made-up vocabulary (syllables, a few with accented
// letters) drawn with a Zipf distribution, so that a few words are in most
// messages and most words in few.
//
// For every message the generator keeps the set of words of its readable
// text (subject and body as a reader sees them; not headers, not attachment
// contents), so that a benchmark or test knows exactly which messages hold a
// word. Words are lower-case UTF-8 as written; a search compares them without
// letter case.
//
// The sequence is deterministic for a given seed and count.
//
//   qvbench::CorpusGenerator gen({.messages = 1000, .seed = 7});
//   while (gen.next(m)) use(m.raw);
//   gen.messagesWith("tokaru");   // indices of the messages holding it
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qvbench {

struct CorpusOptions {
  size_t messages = 100000;
  uint32_t seed = 1;
  size_t vocabulary = 60000;  // distinct words
  double zipf = 1.0;          // exponent of the word distribution
};

enum class MailShape { Plain, Latin1, QuotedPrintable, HtmlOnly, Alternative, WithAttachment, Uuencoded };

struct GeneratedMail {
  size_t index = 0;         // 0-based position in the corpus
  std::string raw;          // the message, LF line ends, without an mbox "From " line
  std::string envelope;     // the mbox separator line for it ("From addr date"), without the line end
  std::string subject;      // decoded
  std::string body;         // the readable text as written, before any encoding
  std::string messageId;    // without brackets
  MailShape shape = MailShape::Plain;
  int64_t unixTime = 0;     // its Date
  std::vector<uint32_t> words;  // vocabulary numbers of the words of its readable text, sorted, each once
};

// The words of a text as the generator counts them: runs of letters
// (ASCII or any byte of a UTF-8 sequence), lower-cased.
std::vector<std::string> readableWords(std::string_view text);
// The words stand next to each other, in this order (lower case), in the
// subject or in the readable text of the mail; with `dropped`, once the words
// it answers true for are left out of the subject and the text (a search that
// keeps a stop list out of its index reads a phrase so).
bool holdsPhrase(const GeneratedMail& m, const std::vector<std::string>& words,
                 const std::function<bool(const std::string&)>& dropped = {});

class CorpusGenerator {
 public:
  explicit CorpusGenerator(const CorpusOptions& options);

  // The next message; false after the last.
  bool next(GeneratedMail& m);

  const CorpusOptions& options() const { return opt_; }
  size_t vocabularySize() const { return vocab_.size(); }
  const std::string& word(uint32_t number) const { return vocab_[number]; }
  // The vocabulary number of a word, or -1.
  int64_t wordNumber(std::string_view word) const;
  // Indices of the messages generated so far that hold the word, ascending.
  const std::vector<uint32_t>& messagesWith(uint32_t number) const;
  const std::vector<uint32_t>& messagesWith(std::string_view word) const;

  // A word of ASCII letters held by between `low` and `high` of the messages
  // generated so far (fractions of the count); -1 when there is none.
  int64_t pickWord(double low, double high, size_t skip = 0) const;

  // Writes the whole corpus (all remaining messages) as an mbox file and/or a
  // Maildir (cur/ with one file per message); either path may be empty.
  // Returns the number of messages written.
  size_t writeAll(const std::string& mboxPath, const std::string& maildirPath);

 private:
  struct Person {
    std::string name, address;
  };
  std::string sampleWord();
  std::string sentence(std::vector<std::string>& into, int words);
  std::string paragraphText(std::vector<std::string>& lines, int count);
  void record(GeneratedMail& m, const std::vector<std::string>& tokens);

  CorpusOptions opt_;
  std::mt19937_64 rng_;
  std::vector<std::string> vocab_;
  std::unordered_map<std::string, uint32_t> number_;
  std::vector<double> cumulative_;
  std::vector<Person> people_;
  std::vector<std::vector<uint32_t>> postings_;
  size_t produced_ = 0;
  int64_t clock_ = 978307200;  // 2001-01-01
  // Recent messages a reply may answer: id, subject, first lines, references.
  struct Recent {
    std::string id, subject, from;
    std::vector<std::string> lines;
    std::string references;
  };
  std::vector<Recent> recent_;
};

}  // namespace qvbench
