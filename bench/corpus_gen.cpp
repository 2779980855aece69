#include "corpus_gen.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <unordered_set>

namespace fs = std::filesystem;

namespace qvbench {

namespace {

// Common English words: never made up as vocabulary, so that a made-up word
// is never one that an index leaves out as too common.
const std::unordered_set<std::string>& englishWords() {
  static const std::unordered_set<std::string> w = {
      "about", "above", "after", "again", "all", "also", "am", "an", "and", "any", "are", "as", "at", "be",
      "because", "been", "before", "being", "below", "between", "both", "but", "by", "can", "could", "did", "do",
      "does", "doing", "down", "during", "each", "few", "for", "from", "further", "had", "has", "have", "having",
      "he", "her", "here", "hers", "him", "his", "how", "if", "in", "into", "is", "it", "its", "just", "me",
      "more", "most", "my", "no", "nor", "not", "now", "of", "off", "on", "once", "only", "or", "other", "our",
      "out", "over", "own", "same", "she", "should", "so", "some", "such", "than", "that", "the", "their",
      "them", "then", "there", "these", "they", "this", "those", "through", "to", "too", "under", "until", "up",
      "very", "was", "we", "were", "what", "when", "where", "which", "while", "who", "whom", "why", "will",
      "with", "would", "you", "your", "yours", "hi", "re", "fwd", "wrote", "regards", "thanks", "bytes",
      "attachment", "unnamed", "begin", "end", "html", "body", "text", "plain", "mail", "subject", "date"};
  return w;
}

const char* kFirst[] = {"Anna", "Peter", "Maria", "John", "Karin", "Lars", "Eva", "Thomas", "Sofia", "David",
                        "Ingrid", "Paul", "Julia", "Mark", "Lena", "Oskar", "Nina", "Erik", "Clara", "Hugo"};
const char* kLast[] = {"Smith", "Jones", "Berg", "Novak", "Keller", "Larsen", "Moreau", "Rossi", "Brown", "Wagner",
                       "Holm", "Dubois", "Fischer", "Lindqvist", "Garcia", "Meyer", "Olsen", "Weber", "Clark", "Nagy"};

std::string base64(std::string_view in) {
  static const char* t = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < in.size(); i += 3) {
    uint32_t v = uint32_t(uint8_t(in[i])) << 16 | uint32_t(uint8_t(in[i + 1])) << 8 | uint8_t(in[i + 2]);
    out += t[v >> 18];
    out += t[(v >> 12) & 63];
    out += t[(v >> 6) & 63];
    out += t[v & 63];
  }
  if (i < in.size()) {
    uint32_t v = uint32_t(uint8_t(in[i])) << 16 | (i + 1 < in.size() ? uint32_t(uint8_t(in[i + 1])) << 8 : 0);
    out += t[v >> 18];
    out += t[(v >> 12) & 63];
    out += i + 1 < in.size() ? t[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::string wrap76(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); i += 76) out += s.substr(i, 76) + "\n";
  return out;
}

// UTF-8 to ISO-8859-1 (every character the generator writes has a code there).
std::string latin1(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char c = uint8_t(s[i]);
    if (c >= 0xC2 && c <= 0xC3 && i + 1 < s.size()) {
      out += char(((c & 0x1F) << 6) | (uint8_t(s[i + 1]) & 0x3F));
      ++i;
    } else {
      out += char(c);
    }
  }
  return out;
}

std::string quotedPrintable(std::string_view s) {
  std::string out;
  size_t col = 0;
  static const char* hex = "0123456789ABCDEF";
  for (char ch : s) {
    unsigned char c = uint8_t(ch);
    if (c == '\n') {
      out += '\n';
      col = 0;
      continue;
    }
    std::string piece = (c >= 0x80 || c == '=') ? std::string{'=', hex[c >> 4], hex[c & 15]} : std::string(1, ch);
    if (col + piece.size() > 75) {
      out += "=\n";
      col = 0;
    }
    out += piece;
    col += piece.size();
  }
  return out;
}

std::string htmlEscape(std::string_view s, bool entities) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '&') out += "&amp;";
    else if (entities && uint8_t(c) == 0xC3 && i + 1 < s.size()) {
      // A few letters as named entities, as mail programs write them.
      unsigned char d = uint8_t(s[i + 1]);
      const char* name = d == 0xA9 ? "eacute" : d == 0xBC ? "uuml" : d == 0xB6 ? "ouml" : d == 0xA5 ? "aring" : nullptr;
      if (name) {
        out += std::string("&") + name + ";";
        ++i;
      } else {
        out += c;
      }
    } else {
      out += c;
    }
  }
  return out;
}

std::string rfcDate(int64_t t) {
  std::time_t tt = std::time_t(t);
  std::tm tm{};
  gmtime_r(&tt, &tm);
  char buf[64];
  std::strftime(buf, sizeof buf, "%a, %d %b %Y %H:%M:%S +0000", &tm);
  return buf;
}

std::string asctimeDate(int64_t t) {
  std::time_t tt = std::time_t(t);
  std::tm tm{};
  gmtime_r(&tt, &tm);
  char buf[64];
  std::strftime(buf, sizeof buf, "%a %b %e %H:%M:%S %Y", &tm);
  return buf;
}

// The words of a readable text: runs of letters (bytes of 0x80 and above count
// as letters), lower case.
void tokens(std::string_view s, std::vector<std::string>& out) {
  std::string cur;
  for (char ch : s) {
    unsigned char c = uint8_t(ch);
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c >= 0x80) {
      cur += char(c >= 'A' && c <= 'Z' ? c + 32 : c);
    } else if (!cur.empty()) {
      out.push_back(cur);
      cur.clear();
    }
  }
  if (!cur.empty()) out.push_back(cur);
}

}  // namespace

std::vector<std::string> readableWords(std::string_view text) {
  std::vector<std::string> out;
  tokens(text, out);
  return out;
}

bool holdsPhrase(const GeneratedMail& m, const std::vector<std::string>& words,
                 const std::function<bool(const std::string&)>& dropped) {
  if (words.empty()) return false;
  for (const std::string* part : {&m.subject, &m.body}) {
    std::vector<std::string> seq = readableWords(*part);
    if (dropped) std::erase_if(seq, dropped);
    if (std::search(seq.begin(), seq.end(), words.begin(), words.end()) != seq.end()) return true;
  }
  return false;
}

CorpusGenerator::CorpusGenerator(const CorpusOptions& options) : opt_(options), rng_(options.seed) {
  static const char* cons = "bdfgklmnprstvz";
  static const char* vow = "aeiou";
  static const char* fin = "nrsl";
  static const char* accented[] = {"\xC3\xA9", "\xC3\xBC", "\xC3\xB6", "\xC3\xA5"};  // é ü ö å
  std::mt19937_64 r(options.seed * 7919 + 17);
  while (vocab_.size() < options.vocabulary) {
    std::string w;
    int syl = 2 + int(r() % 3);
    for (int s = 0; s < syl; ++s) {
      w += cons[r() % 14];
      w += vow[r() % 5];
      if (r() % 5 == 0) w += fin[r() % 4];
    }
    if (r() % 25 == 0) {
      // One vowel becomes an accented letter.
      size_t v = w.find_first_of("aeiou", 1);
      if (v != std::string::npos) w.replace(v, 1, accented[r() % 4]);
    }
    if (englishWords().count(w) || number_.count(w)) continue;
    number_.emplace(w, uint32_t(vocab_.size()));
    vocab_.push_back(w);
  }
  double sum = 0;
  cumulative_.reserve(vocab_.size());
  for (size_t i = 0; i < vocab_.size(); ++i) {
    sum += 1.0 / std::pow(double(i + 1), opt_.zipf);
    cumulative_.push_back(sum);
  }
  for (double& c : cumulative_) c /= sum;
  for (size_t i = 0; i < 400; ++i) {
    std::string first = kFirst[r() % 20], last = kLast[r() % 20];
    std::string addr = first + "." + last + std::to_string(i) + "@" + (i % 3 ? "example.com" : "mail.example.net");
    for (char& c : addr) c = char(std::tolower(uint8_t(c)));
    people_.push_back({first + " " + last, addr});
  }
  postings_.resize(vocab_.size());
}

std::string CorpusGenerator::sampleWord() {
  double u = std::uniform_real_distribution<double>(0.0, 1.0)(rng_);
  size_t i = size_t(std::lower_bound(cumulative_.begin(), cumulative_.end(), u) - cumulative_.begin());
  return vocab_[std::min(i, vocab_.size() - 1)];
}

std::string CorpusGenerator::sentence(std::vector<std::string>& into, int words) {
  std::string s;
  for (int i = 0; i < words; ++i) {
    std::string w = sampleWord();
    if (i == 0 && (w[0] >= 'a' && w[0] <= 'z')) w[0] = char(w[0] - 32);
    s += (i ? " " : "") + w;
    if (i + 1 < words && rng_() % 9 == 0) s += ",";
  }
  s += rng_() % 6 == 0 ? "?" : ".";
  into.push_back(s);
  return s;
}

// Paragraphs of sentences, wrapped at about 72 characters.
std::string CorpusGenerator::paragraphText(std::vector<std::string>& lines, int count) {
  std::string text;
  for (int p = 0; p < count; ++p) {
    std::vector<std::string> sentences;
    int n = 1 + int(rng_() % 4);
    for (int i = 0; i < n; ++i) sentence(sentences, 5 + int(rng_() % 11));
    std::string line;
    for (const std::string& s : sentences) {
      std::vector<std::string> parts;
      size_t a = 0;
      while (a < s.size()) {
        size_t b = s.find(' ', a);
        if (b == std::string::npos) b = s.size();
        parts.push_back(s.substr(a, b - a));
        a = b + 1;
      }
      for (const std::string& part : parts) {
        if (!line.empty() && line.size() + 1 + part.size() > 72) {
          lines.push_back(line);
          text += line + "\n";
          line.clear();
        }
        line += (line.empty() ? "" : " ") + part;
      }
    }
    if (!line.empty()) {
      lines.push_back(line);
      text += line + "\n";
    }
    if (p + 1 < count) {
      lines.push_back("");
      text += "\n";
    }
  }
  return text;
}

void CorpusGenerator::record(GeneratedMail& m, const std::vector<std::string>& toks) {
  std::set<uint32_t> seen;
  for (const std::string& t : toks) {
    auto it = number_.find(t);
    if (it != number_.end()) seen.insert(it->second);
  }
  m.words.assign(seen.begin(), seen.end());
  for (uint32_t w : m.words) postings_[w].push_back(uint32_t(m.index));
}

bool CorpusGenerator::next(GeneratedMail& m) {
  if (produced_ >= opt_.messages) return false;
  m = GeneratedMail();
  m.index = produced_++;
  clock_ += 60 + int64_t(rng_() % 7200);
  m.unixTime = clock_;
  m.messageId = std::to_string(m.index) + "." + std::to_string(opt_.seed) + "@gen.example";

  int pick = int(rng_() % 100);
  m.shape = pick < 40   ? MailShape::Plain
            : pick < 50 ? MailShape::Latin1
            : pick < 63 ? MailShape::QuotedPrintable
            : pick < 73 ? MailShape::HtmlOnly
            : pick < 86 ? MailShape::Alternative
            : pick < 98 ? MailShape::WithAttachment
                        : MailShape::Uuencoded;

  const Person& from = people_[rng_() % people_.size()];
  const Person& to = people_[rng_() % people_.size()];
  bool reply = !recent_.empty() && rng_() % 100 < 45;
  Recent parent;
  if (reply) parent = recent_[rng_() % recent_.size()];

  // Subject: a few words, short enough for any subject field.
  std::string subject;
  if (reply) {
    subject = parent.subject.rfind("Re: ", 0) == 0 ? parent.subject : "Re: " + parent.subject;
  } else {
    int n = 2 + int(rng_() % 4);
    for (int i = 0; i < n; ++i) {
      std::string w = sampleWord();
      if (subject.size() + w.size() + 1 > 40) break;
      subject += (subject.empty() ? "" : " ") + w;
    }
    if (!subject.empty() && subject[0] >= 'a' && subject[0] <= 'z') subject[0] = char(subject[0] - 32);
  }
  m.subject = subject;

  // The readable text.
  std::vector<std::string> lines;
  std::string body = "Hi " + std::string(to.name.substr(0, to.name.find(' '))) + ",\n\n";
  body += paragraphText(lines, 1 + int(rng_() % 4));
  if (reply && !parent.lines.empty()) {
    body += "\nOn " + rfcDate(m.unixTime - 3600) + ", " + parent.from + " wrote:\n";
    size_t q = std::min<size_t>(parent.lines.size(), 3 + rng_() % 6);
    for (size_t i = 0; i < q; ++i) body += (parent.lines[i].empty() ? ">" : "> " + parent.lines[i]) + "\n";
  }
  body += "\n-- \n" + from.name + "\n";
  m.body = body;
  std::vector<std::string> toks;
  tokens(subject, toks);
  tokens(body, toks);
  record(m, toks);

  // Headers.
  std::string hdr;
  hdr += "From: " + from.name + " <" + from.address + ">\n";
  hdr += "To: " + to.name + " <" + to.address + ">\n";
  int enc = int(rng_() % 10);
  bool ascii = std::all_of(subject.begin(), subject.end(), [](char c) { return uint8_t(c) < 0x80; });
  if (enc == 0 || (!ascii && enc < 5))
    hdr += "Subject: =?UTF-8?B?" + base64(subject) + "?=\n";
  else if (enc == 1 || !ascii) {
    std::string l = latin1(subject), q;
    static const char* hex = "0123456789ABCDEF";
    for (char ch : l) {
      unsigned char c = uint8_t(ch);
      if (c == ' ') q += '_';
      else if (c >= 0x80 || c == '=' || c == '?' || c == '_') q += std::string{'=', hex[c >> 4], hex[c & 15]};
      else q += ch;
    }
    hdr += "Subject: =?ISO-8859-1?Q?" + q + "?=\n";
  } else {
    hdr += "Subject: " + subject + "\n";
  }
  hdr += "Date: " + rfcDate(m.unixTime) + "\n";
  hdr += "Message-ID: <" + m.messageId + ">\n";
  std::string refs;
  if (reply) {
    refs = parent.references.empty() ? "<" + parent.id + ">" : parent.references + " <" + parent.id + ">";
    // Keep the last five references, as mail programs do.
    size_t count = std::count(refs.begin(), refs.end(), '<');
    while (count-- > 5) refs = refs.substr(refs.find('>') + 2);
    hdr += "In-Reply-To: <" + parent.id + ">\n";
    hdr += "References: " + refs + "\n";
  }
  hdr += "MIME-Version: 1.0\n";

  auto htmlOf = [&](const std::string& text) {
    std::string h = "<html><head><title>message</title></head><body>\n<p>";
    size_t a = 0;
    while (a < text.size()) {
      size_t b = text.find('\n', a);
      if (b == std::string::npos) b = text.size();
      std::string l = text.substr(a, b - a);
      if (l.empty())
        h += "</p>\n<p>";
      else
        h += htmlEscape(l, true) + " <br>\n";
      a = b + 1;
    }
    return h + "</p>\n</body></html>\n";
  };

  std::string raw;
  switch (m.shape) {
    case MailShape::Plain:
    case MailShape::Uuencoded: {
      std::string b = body;
      if (m.shape == MailShape::Uuencoded) {
        b += "\nbegin 644 data" + std::to_string(m.index) + ".bin\n";
        for (int i = 0; i < 6; ++i) {
          std::string l = "M";
          for (int k = 0; k < 60; ++k) l += char(33 + rng_() % 63);
          b += l + "\n";
        }
        b += "`\nend\n";
      }
      raw = hdr + "Content-Type: text/plain; charset=UTF-8\nContent-Transfer-Encoding: 8bit\n\n" + b;
      break;
    }
    case MailShape::Latin1:
      raw = hdr + "Content-Type: text/plain; charset=ISO-8859-1\nContent-Transfer-Encoding: 8bit\n\n" + latin1(body);
      break;
    case MailShape::QuotedPrintable:
      raw = hdr + "Content-Type: text/plain; charset=UTF-8\nContent-Transfer-Encoding: quoted-printable\n\n" +
            quotedPrintable(body);
      break;
    case MailShape::HtmlOnly:
      raw = hdr + "Content-Type: text/html; charset=UTF-8\nContent-Transfer-Encoding: 8bit\n\n" + htmlOf(body);
      break;
    case MailShape::Alternative: {
      std::string bd = "alt-" + std::to_string(m.index) + "-" + std::to_string(rng_() % 100000);
      raw = hdr + "Content-Type: multipart/alternative; boundary=\"" + bd + "\"\n\nThis is a multi-part message.\n\n--" +
            bd + "\nContent-Type: text/plain; charset=UTF-8\nContent-Transfer-Encoding: quoted-printable\n\n" +
            quotedPrintable(body) + "\n--" + bd +
            "\nContent-Type: text/html; charset=UTF-8\nContent-Transfer-Encoding: 8bit\n\n" + htmlOf(body) + "\n--" +
            bd + "--\n";
      break;
    }
    case MailShape::WithAttachment: {
      std::string bd = "mix-" + std::to_string(m.index) + "-" + std::to_string(rng_() % 100000);
      static const char* kinds[][2] = {{"application/pdf", "pdf"}, {"image/jpeg", "jpg"}, {"application/zip", "zip"}};
      int k = int(rng_() % 3);
      std::string data;
      size_t size = 1000 + rng_() % 6000;
      for (size_t i = 0; i < size; ++i) data += char(rng_() % 256);
      std::string name = "scan" + std::to_string(1000 + m.index % 9000) + "." + kinds[k][1];
      raw = hdr + "Content-Type: multipart/mixed; boundary=\"" + bd + "\"\n\nThis is a multi-part message.\n\n--" + bd +
            "\nContent-Type: text/plain; charset=UTF-8\nContent-Transfer-Encoding: 8bit\n\n" + body + "\n--" + bd +
            "\nContent-Type: " + kinds[k][0] + "; name=\"" + name +
            "\"\nContent-Transfer-Encoding: base64\nContent-Disposition: attachment; filename=\"" + name + "\"\n\n" +
            wrap76(base64(data)) + "\n--" + bd + "--\n";
      break;
    }
  }
  m.raw = std::move(raw);
  m.envelope = from.address + " " + asctimeDate(m.unixTime);

  Recent r{m.messageId, subject, from.name, {}, refs};
  for (size_t i = 0; i < lines.size() && i < 8; ++i) r.lines.push_back(lines[i]);
  if (recent_.size() < 300)
    recent_.push_back(std::move(r));
  else
    recent_[rng_() % recent_.size()] = std::move(r);
  return true;
}

int64_t CorpusGenerator::wordNumber(std::string_view word) const {
  std::string w(word);
  for (char& c : w)
    if (c >= 'A' && c <= 'Z') c = char(c + 32);
  auto it = number_.find(w);
  return it == number_.end() ? -1 : int64_t(it->second);
}

const std::vector<uint32_t>& CorpusGenerator::messagesWith(uint32_t number) const { return postings_.at(number); }

const std::vector<uint32_t>& CorpusGenerator::messagesWith(std::string_view word) const {
  static const std::vector<uint32_t> none;
  int64_t n = wordNumber(word);
  return n < 0 ? none : postings_[size_t(n)];
}

int64_t CorpusGenerator::pickWord(double low, double high, size_t skip) const {
  double n = double(produced_);
  for (size_t i = 0; i < vocab_.size(); ++i) {
    const std::string& w = vocab_[i];
    double df = double(postings_[i].size());
    if (df < low * n || df > high * n || df == 0) continue;
    if (!std::all_of(w.begin(), w.end(), [](char c) { return c >= 'a' && c <= 'z'; })) continue;
    if (skip-- == 0) return int64_t(i);
  }
  return -1;
}

size_t CorpusGenerator::writeAll(const std::string& mboxPath, const std::string& maildirPath) {
  std::ofstream mbox;
  if (!mboxPath.empty()) mbox.open(mboxPath, std::ios::binary | std::ios::trunc);
  if (!maildirPath.empty())
    for (const char* d : {"cur", "new", "tmp"}) fs::create_directories(fs::path(maildirPath) / d);
  GeneratedMail m;
  size_t n = 0;
  while (next(m)) {
    if (mbox.is_open()) mbox << "From " << m.envelope << "\n" << m.raw << "\n";
    if (!maildirPath.empty()) {
      std::ofstream f(fs::path(maildirPath) / "cur" / (std::to_string(m.index) + ".gen:2,S"), std::ios::binary);
      f << m.raw;
    }
    ++n;
  }
  return n;
}

}  // namespace qvbench
