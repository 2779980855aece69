#include "import/parsers/mail_lines.h"

#include <array>
#include <cstring>

#include "import/parsers/ascii_text.h"

namespace qv::mail {

namespace {

using ascii::isDigit;
using ascii::trim;

// An asctime-like date at the end of a separator: a time "h:mm" and a year
// 1900 to 2099 after the sender.
bool hasDate(std::string_view s) {
  bool time = false, year = false;
  for (size_t i = 0; i < s.size(); ++i) {
    if (!time && s[i] == ':' && i > 0 && isDigit(s[i - 1]) && i + 2 < s.size() && isDigit(s[i + 1]) &&
        isDigit(s[i + 2]))
      time = true;
    if (!year && i + 4 <= s.size() && (s.substr(i, 2) == "19" || s.substr(i, 2) == "20") && isDigit(s[i + 2]) &&
        isDigit(s[i + 3]) && (i == 0 || !isDigit(s[i - 1])) && (i + 4 == s.size() || !isDigit(s[i + 4])))
      year = true;
  }
  return time && year;
}

bool headerFollows(const MailLine* next) { return next != nullptr && next->start && headerShaped(next->text); }

}  // namespace

MailLines::MailLines(BlockReader& r) : r_(r) {
  if (r_.startsWith("\xEF\xBB\xBF")) r_.skip(3);
  // Classic Mac files: a CR and no LF in the first block.
  bool cr = false, lf = false;
  for (size_t i = 0; i < BlockReader::kBlock; ++i) {
    int c = r_.peek(i);
    if (c < 0) break;
    if (c == '\n') {
      lf = true;
      break;
    }
    if (c == '\r') cr = true;
  }
  crEnds_ = cr && !lf;
}

bool MailLines::read(MailLine& line) {
  if (!r_.readLine(line.text, kPiece, crEnds_)) return false;
  line.start = lastEnded_;
  line.ended = r_.lineEnded();
  line.eol = r_.lineEnd();
  lastEnded_ = line.ended;
  return true;
}

// Pieces held ahead stay in their slots, and a text changes hands by a swap
// of buffers, so that reading a mailbox makes no allocation per line once
// the buffers have grown.
bool MailLines::next(MailLine& line) {
  if (held_ > 0) {
    MailLine& l = ahead_[--held_];
    line.text.swap(l.text);
    line.start = l.start;
    line.ended = l.ended;
    line.eol = l.eol;
    return true;
  }
  return read(line);
}

const MailLine* MailLines::peek() {
  if (held_ == 0) {
    if (ahead_.empty()) ahead_.emplace_back();
    if (!read(ahead_[0])) return nullptr;
    held_ = 1;
  }
  return &ahead_[held_ - 1];
}

void MailLines::unget(MailLine line) {
  if (held_ == ahead_.size()) ahead_.emplace_back();
  ahead_[held_].text.swap(line.text);
  ahead_[held_].start = line.start;
  ahead_[held_].ended = line.ended;
  ahead_[held_].eol = line.eol;
  ++held_;
}

bool headerShaped(std::string_view line) {
  size_t i = 0;
  while (i < line.size()) {
    unsigned char c = static_cast<unsigned char>(line[i]);
    if (c == ':') return i > 0;
    if (c <= 32 || c >= 127) return false;
    ++i;
  }
  return false;
}

bool fromLineWithAt(std::string_view line) {
  if (line.substr(0, 5) != "From ") return false;
  return line.substr(5, 44).find('@') != std::string_view::npos;
}

unsigned messageHeaderBit(std::string_view line) {
  static const std::array<std::string_view, 4> kFour = {"From:", "Date:", "To:", "Subject:"};
  for (size_t i = 0; i < kFour.size(); ++i)
    if (line.substr(0, kFour[i].size()) == kFour[i]) return 1u << i;
  return 0;
}

bool messageHeaderLine(std::string_view line) {
  static constexpr std::string_view kNames[] = {
      "from", "to", "cc", "subject", "date", "message-id", "received", "return-path", "sender", "reply-to",
      "newsgroups", "mime-version", "content-type", "content-transfer-encoding", "content-disposition"};
  for (std::string_view n : kNames) {
    if (!ascii::startsWithNoCase(line, n)) continue;
    std::string_view rest = ascii::trimLeft(line.substr(n.size()));
    if (!rest.empty() && rest[0] == ':') return true;
  }
  return false;
}

bool unixHeaderLine(std::string_view line) {
  static const char* const kNames[] = {
      "From:", "To:", "Subject:", "Date:", "Comments:", "Content-MD5:", "Content-Type:", "Content-Length:",
      "Content-Transfer-Encoding:", "In-Reply-To:", "Message-Id:", "Mime-Version:", "Received:", "Reply-To:",
      "Sender:", "Status:", "URL:", "X-UIDL:", "X-Mailer:", "X-Sender:", "X-MIME-Autoconverted:",
      "X-Authentication-Warning:"};
  if (line.empty()) return false;
  if (line[0] == 'F' && fromLineWithAt(line)) return true;
  for (const char* n : kNames) {
    if (n[0] != line[0]) continue;  // the first letter first
    size_t len = std::strlen(n);
    if (line.substr(0, len) == n) return true;
  }
  return false;
}

bool mboxSeparator(std::string_view line, const MailLine* next) {
  if (line.substr(0, 4) != "From" || (line.size() > 4 && line[4] != ' ')) return false;
  if (!headerFollows(next)) return false;
  std::string_view rest = trim(line.substr(std::min<size_t>(line.size(), 5)));
  if (rest.empty() || rest == "-" || rest.substr(0, 2) == "- ") return true;
  return fromLineWithAt(line) || hasDate(rest);
}

bool mozillaSeparator(std::string_view line, const MailLine* next) {
  if (line.substr(0, 7) == "From - ") return true;
  if (line.substr(0, 4) != "From" || (line.size() > 4 && line[4] != ' ')) return false;
  std::string_view rest = trim(line.substr(std::min<size_t>(line.size(), 5)));
  return (rest.empty() || rest == "-") && headerFollows(next);
}

void dropSeparatorBlank(std::string& original) {
  auto endsWith = [&](std::string_view tail) {
    return original.size() > tail.size() && std::string_view(original).substr(original.size() - tail.size()) == tail;
  };
  if (endsWith("\r\n\r\n"))
    original.resize(original.size() - 2);
  else if (endsWith("\n\n") || endsWith("\r\r"))
    original.pop_back();
}

void unescapeFrom(std::string& line) {
  size_t n = 0;
  while (n < line.size() && line[n] == '>') ++n;
  if (n > 0 && line.compare(n, 5, "From ") == 0) line.erase(0, 1);
}

}  // namespace qv::mail
