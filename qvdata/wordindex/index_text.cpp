#include "wordindex/index_text.h"

#include <cstring>
#include <string>

#include "mime/content_type.h"
#include "mime/mime_message.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "wordindex/word_cut.h"

namespace qv {

namespace {

char up(char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : c; }

bool startsNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (up(s[i]) != prefix[i]) return false;
  return true;
}

// Position of `needle` (upper case) in `s` compared without letter case.
size_t findNoCase(std::string_view s, std::string_view needle, size_t from = 0) {
  if (needle.empty() || s.size() < needle.size()) return std::string_view::npos;
  for (size_t i = from; i + needle.size() <= s.size(); ++i)
    if (up(s[i]) == needle[0] && startsNoCase(s.substr(i), needle)) return i;
  return std::string_view::npos;
}

// The line starting at `pos` without its line end; `next` is where the next line starts.
std::string_view lineAt(std::string_view t, size_t pos, size_t& next) {
  size_t nl = t.find('\n', pos);
  size_t end = nl == std::string_view::npos ? t.size() : nl;
  next = nl == std::string_view::npos ? t.size() : nl + 1;
  if (end > pos && t[end - 1] == '\r') --end;
  return t.substr(pos, end - pos);
}

// ---- pieces every kind leaves out: uuencoded blocks, attachment lines ----

bool octal(std::string_view s) {
  if (s.size() < 3 || s.size() > 4) return false;
  for (char c : s)
    if (c < '0' || c > '7') return false;
  return true;
}

// A line of uuencoded data: its first character gives the number of bytes
// and the line holds that many, four characters for three bytes.
bool uuLine(std::string_view l) {
  if (l.empty()) return false;
  int n = (l[0] - 32) & 63;
  if (l[0] < 32 || l[0] > 96) return false;
  size_t want = 1 + (size_t(n) + 2) / 3 * 4;
  if (l.size() < want || l.size() > want + 2) return false;
  for (char c : l)
    if (c < 32 || c > 96) return false;
  return true;
}

bool uuBegin(std::string_view l) {
  if (l.substr(0, 6) != "begin ") return false;
  std::string_view rest = l.substr(6);
  size_t sp = rest.find(' ');
  return sp != std::string_view::npos && octal(rest.substr(0, sp)) && sp + 1 < rest.size();
}

// "[Attachment: <name>, <type>, <n> bytes]": the name, or an empty view.
std::string_view attachmentName(std::string_view l) {
  static constexpr std::string_view head = "[Attachment: ";
  if (l.substr(0, head.size()) != head || l.size() < head.size() + 10 || l.back() != ']') return {};
  if (l.substr(l.size() - 7) != " bytes]") return {};
  size_t sizeSep = l.rfind(", ");
  if (sizeSep == std::string_view::npos || sizeSep <= head.size()) return {};
  size_t typeSep = l.rfind(", ", sizeSep - 1);
  if (typeSep == std::string_view::npos || typeSep < head.size()) return {};
  std::string_view name = l.substr(head.size(), typeSep - head.size());
  return name == "unnamed" ? std::string_view{} : name;
}

void emitFiltered(std::string_view t, const std::function<void(std::string_view)>& part) {
  size_t runStart = 0, pos = 0;
  while (pos < t.size()) {
    const size_t lineStart = pos;
    size_t next;
    std::string_view l = lineAt(t, pos, next);
    pos = next;
    if (l.empty() || (l[0] != 'b' && l[0] != '[')) continue;
    std::string_view name = attachmentName(l);
    if (!name.empty() || (l[0] == '[' && l.substr(0, 13) == "[Attachment: " && l.back() == ']')) {
      if (lineStart > runStart) part(t.substr(runStart, lineStart - runStart));
      if (!name.empty()) part(name);
      runStart = pos;
      continue;
    }
    if (!uuBegin(l)) continue;
    size_t probe;
    std::string_view first = lineAt(t, pos, probe);
    if (!uuLine(first)) continue;
    if (lineStart > runStart) part(t.substr(runStart, lineStart - runStart));
    // Skip to the line "end" (or the end of the text).
    while (pos < t.size()) {
      std::string_view d = lineAt(t, pos, next);
      pos = next;
      if (d == "end") break;
    }
    runStart = pos;
  }
  if (runStart < t.size()) part(t.substr(runStart));
}

// ---- forum and newsgroup footers ----

std::string_view withoutFooter(std::string_view t) {
  // 1. A last word beginning with "REPL" cuts the text before its line.
  size_t end = t.size();
  while (end > 0) {
    size_t lineStart = t.rfind('\n', end - 1);
    lineStart = lineStart == std::string_view::npos ? 0 : lineStart + 1;
    WordCutter cut(t.substr(lineStart, end - lineStart));
    CutWord w, last;
    bool any = false;
    while (cut.next(w)) {
      last = w;
      any = true;
    }
    if (any) {
      if (last.word.compare(0, 4, "REPL") == 0) t = t.substr(0, lineStart);
      break;
    }
    end = lineStart == 0 ? 0 : lineStart - 1;
  }
  // 2. The last block of lines after an empty or separator line goes.
  size_t stop = t.size();
  while (stop > 0 && static_cast<unsigned char>(t[stop - 1]) < '0') --stop;
  for (size_t ls = t.rfind('\n', stop ? stop - 1 : 0); ls != std::string_view::npos && ls > 0;
       ls = t.rfind('\n', ls - 1)) {
    // Walk back from the start of the line after this line break.
    int breaks = 0;
    size_t p = ls + 1;
    while (p > 0 && static_cast<unsigned char>(t[p - 1]) < '0') {
      if (t[p - 1] == '\n') ++breaks;
      --p;
    }
    if (breaks >= 2 && p > 0) return t.substr(0, p);
    if (p == 0) break;
    ls = p;  // continue before the text that stopped the walk
  }
  return t;
}

// ---- mail headers and MIME structure ----

// The value of a header (first occurrence, unfolded lines joined) within a header block.
std::string headerValue(std::string_view headers, std::string_view nameUpper) {
  size_t pos = 0;
  while (pos < headers.size()) {
    size_t next;
    std::string_view l = lineAt(headers, pos, next);
    pos = next;
    if (!startsNoCase(l, nameUpper)) continue;
    std::string v(l.substr(nameUpper.size()));
    while (pos < headers.size() && (headers[pos] == ' ' || headers[pos] == '\t')) {
      std::string_view c = lineAt(headers, pos, next);
      pos = next;
      v += ' ';
      v += c;
    }
    return v;
  }
  return {};
}

std::string boundaryOf(const std::string& contentType) {
  size_t b = findNoCase(contentType, "BOUNDARY=");
  if (b == std::string::npos) return {};
  size_t p = b + 9;
  bool quoted = p < contentType.size() && contentType[p] == '"';
  if (quoted) ++p;
  size_t e = p;
  while (e < contentType.size() && e - p < 40) {
    char c = contentType[e];
    if (quoted ? c == '"' : (c == ';' || c == ' ' || c == '\t' || c == '\r' || c == '\n')) break;
    ++e;
  }
  return contentType.substr(p, e - p);
}

bool needsDecoding(std::string_view headers) {
  std::string cte = headerValue(headers, "CONTENT-TRANSFER-ENCODING:");
  std::string ct = headerValue(headers, "CONTENT-TYPE:");
  return findNoCase(cte, "QUOTED-PRINTABLE") != std::string::npos || findNoCase(cte, "BASE64") != std::string::npos ||
         findNoCase(ct, "TEXT/HTML") != std::string::npos;
}

// Indexes one body (single part) whose headers are `headers`.
void emitBody(std::string_view headers, std::string_view body, const std::function<void(std::string_view)>& part) {
  if (!needsDecoding(headers)) {
    emitFiltered(body, part);
    return;
  }
  std::string raw(headers);
  raw += "\r\n";
  raw += body;
  mime::DecodedMessage m = mime::decodeMessage(raw);
  emitFiltered(m.text, part);
}

struct PartFound {
  std::string_view headers, body;
  bool found = false;
};

// The text/plain part of a multipart body (searching nested multiparts); the
// first text/html part when there is none.
void findTextPart(std::string_view body, const std::string& boundary, PartFound& plain, PartFound& html, int depth) {
  if (boundary.empty() || depth > 8) return;
  std::string delim = "--" + boundary;
  size_t pos = 0;
  bool inPart = false;
  size_t partStart = 0;
  auto takePart = [&](size_t partEnd) {
    std::string_view p = body.substr(partStart, partEnd - partStart);
    // Its headers: up to the first empty line, within its first 10 lines.
    size_t hp = 0, next;
    int lines = 0;
    size_t headEnd = std::string_view::npos;
    while (hp < p.size() && lines < 11) {
      std::string_view l = lineAt(p, hp, next);
      if (l.empty()) {
        headEnd = hp;
        hp = next;
        break;
      }
      hp = next;
      ++lines;
    }
    std::string_view headers = headEnd == std::string_view::npos ? std::string_view{} : p.substr(0, headEnd);
    std::string_view content = headEnd == std::string_view::npos ? p : p.substr(hp);
    // The line end before a boundary line belongs to the boundary.
    if (content.size() >= 2 && content.substr(content.size() - 2) == "\r\n")
      content.remove_suffix(2);
    else if (!content.empty() && content.back() == '\n')
      content.remove_suffix(1);
    std::string ct = headerValue(headers, "CONTENT-TYPE:");
    std::string type = mime::mediaType(ct);  // missing, bare "text" or unreadable: text/plain
    if (findNoCase(ct, "MULTIPART") != std::string::npos) {
      findTextPart(content, boundaryOf(ct), plain, html, depth + 1);
    } else if (!plain.found && type == "text/plain") {
      plain = {headers, content, true};
    } else if (!html.found && type == "text/html") {
      html = {headers, content, true};
    }
  };
  while (pos < body.size() && !plain.found) {
    size_t next;
    std::string_view l = lineAt(body, pos, next);
    if (l.substr(0, delim.size()) == delim) {
      if (inPart) takePart(pos);
      bool closing = l.substr(delim.size(), 2) == "--";
      inPart = !closing;
      partStart = next;
      if (closing) break;
    }
    pos = next;
  }
  if (inPart && !plain.found) takePart(body.size());
}

void mailParts(std::string_view t, const std::function<void(std::string_view)>& part) {
  static constexpr std::string_view names[] = {"CONTENT-TYPE:", "MESSAGE-ID:", "X-MAILER:"};
  size_t pos = 0, found = std::string_view::npos;
  for (int line = 0; line < 31 && pos < t.size(); ++line) {
    size_t next;
    lineAt(t, pos, next);
    if (t.size() - pos >= 15)
      for (std::string_view n : names)
        if (startsNoCase(t.substr(pos), n)) found = pos;
    if (found != std::string_view::npos) break;
    pos = next;
  }
  if (found == std::string_view::npos) {
    emitFiltered(t, part);
    return;
  }
  size_t blank = t.find("\r\n\r\n", found);
  if (blank == std::string_view::npos) return;  // headers only: nothing to index
  std::string_view headers = t.substr(0, blank + 2);
  std::string_view body = t.substr(blank + 4);
  if (findNoCase(headers, "UUENCODE") != std::string_view::npos) {
    // The text ends at the first line beginning with "begin".
    size_t p = 0;
    while (p < body.size()) {
      size_t next;
      std::string_view l = lineAt(body, p, next);
      if (l.substr(0, 5) == "begin") {
        body = body.substr(0, p);
        break;
      }
      p = next;
    }
  }
  std::string ct = headerValue(headers, "CONTENT-TYPE:");
  if (findNoCase(ct.substr(0, 40), "MULTI") != std::string::npos) {
    std::string boundary = boundaryOf(ct);
    if (!boundary.empty()) {
      PartFound plain, html;
      findTextPart(body, boundary, plain, html, 0);
      if (plain.found)
        emitBody(plain.headers, plain.body, part);
      else if (html.found)
        emitBody(html.headers, html.body, part);
      return;
    }
  }
  emitBody(headers, body, part);
}

}  // namespace

void forEachIndexedPart(std::string_view text, int kind, bool indexFooters,
                        const std::function<void(std::string_view)>& part) {
  if (kind == KindMailDb) {
    mailParts(text, part);
    return;
  }
  emitFiltered(indexFooters ? text : withoutFooter(text), part);
}

bool footersIndexed(int kind) {
  if (kind == KindForumDb) return WSVarsGet(ItemForumFooters) != 0;
  if (kind == KindNewsDb) return WSVarsGet(ItemNewsFooters) != 0;
  return false;
}

}  // namespace qv
