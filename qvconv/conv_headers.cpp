#include "conv_headers.h"

#include <string_view>
#include <vector>

#include "storage/collation.h"

namespace qvconv {

namespace {

// Lines "!!!Remove this!!!" mark, while a text is scanned, what is dropped.
constexpr std::string_view kRemoveMark = "!!!Remove this!!!";

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      if (start < text.size()) lines.push_back(text.substr(start));
      break;
    }
    size_t len = end - start;
    if (len > 0 && text[end - 1] == '\r') --len;
    lines.push_back(text.substr(start, len));
    start = end + 1;
  }
  return lines;
}

std::string upper(std::string_view s) { return qv::foldUpper(s); }

bool isHeaderLine(const std::string& line) {
  size_t colon = line.find(':');
  if (colon == 0 || colon == std::string::npos) return false;
  for (size_t i = 0; i < colon; ++i) {
    unsigned char ch = static_cast<unsigned char>(line[i]);
    if (ch <= ' ' || ch >= 127) return false;
  }
  return true;
}

bool isContinuation(const std::string& line) { return !line.empty() && (line[0] == ' ' || line[0] == '\t'); }

// The header block starting at `from`: the index of its first body line
// (past the empty line that ends it), and its header text upper-cased.
size_t headerBlock(const std::vector<std::string>& lines, size_t from, std::string& headers) {
  size_t i = from;
  while (i < lines.size()) {
    const std::string& line = lines[i];
    if (line.empty()) return i + 1;
    if (!isHeaderLine(line) && !(i > from && isContinuation(line))) return i;
    headers += upper(line) + "\n";
    ++i;
  }
  return i;
}

bool declaresHtml(const std::string& headers) {
  size_t p = headers.find("CONTENT-TYPE:");
  if (p == std::string::npos) return false;
  size_t q = headers.find_first_not_of(" \t", p + 13);
  return q != std::string::npos && headers.compare(q, 9, "TEXT/HTML") == 0;
}

bool declaresMultipart(const std::string& headers) {
  size_t p = headers.find("CONTENT-TYPE:");
  if (p == std::string::npos) return false;
  size_t q = headers.find_first_not_of(" \t", p + 13);
  return q != std::string::npos && headers.compare(q, 9, "MULTIPART") == 0;
}

// The boundary of a multipart message: what follows BOUNDARY=" up to the
// closing quote, in its own letter case.
std::string boundaryOf(const std::vector<std::string>& lines, size_t end) {
  for (size_t i = 0; i < end; ++i) {
    std::string up = upper(lines[i]);
    size_t p = up.find("BOUNDARY=\"");
    if (p == std::string::npos) continue;
    size_t start = p + 10;
    size_t close = lines[i].find('"', start);
    if (close != std::string::npos) return lines[i].substr(start, close - start);
  }
  return {};
}

}  // namespace

bool startsWithHeaders(const std::string& text) {
  std::string head = upper(std::string_view(text).substr(0, 15));
  for (const char* prefix : {"SENDER:", "RECEIVED:", "MESSAGE-ID:", "FROM:", "DATE:", "SUBJECT:", "TO:"})
    if (head.rfind(prefix, 0) == 0) return true;
  return false;
}

std::string stripInternetHeaders(const std::string& text) {
  if (!startsWithHeaders(text)) return text;
  std::vector<std::string> lines = splitLines(text);
  std::string headers;
  size_t body = headerBlock(lines, 0, headers);
  if (declaresHtml(headers)) {
    for (size_t i = body; i < lines.size(); ++i) lines[i] = std::string(kRemoveMark);
    if (body < lines.size()) lines[body] = kHtmlStripped;
    else lines.push_back(kHtmlStripped);
  } else if (declaresMultipart(headers)) {
    std::string boundary = boundaryOf(lines, body);
    if (!boundary.empty()) {
      const std::string open = "--" + boundary;
      size_t i = body;
      // The preamble before the first part goes.
      while (i < lines.size() && lines[i].rfind(open, 0) != 0) lines[i++] = std::string(kRemoveMark);
      while (i < lines.size()) {
        bool last = lines[i].rfind(open + "--", 0) == 0;
        lines[i++] = std::string(kRemoveMark);  // the boundary line
        if (last) {
          while (i < lines.size()) lines[i++] = std::string(kRemoveMark);  // the epilogue
          break;
        }
        std::string partHeaders;
        size_t partBody = headerBlock(lines, i, partHeaders);
        for (; i < partBody; ++i) lines[i] = std::string(kRemoveMark);
        bool html = declaresHtml(partHeaders);
        bool first = true;
        for (; i < lines.size() && lines[i].rfind(open, 0) != 0; ++i) {
          if (!html) continue;
          lines[i] = first ? std::string(kHtmlStripped) : std::string(kRemoveMark);
          first = false;
        }
        if (html && first) lines.insert(lines.begin() + long(i++), kHtmlStripped);
      }
    }
  }
  std::string out;
  for (size_t i = body; i < lines.size(); ++i) {
    if (lines[i] == kRemoveMark) continue;
    out += lines[i];
    out += "\r\n";
  }
  if (!text.empty() && text.back() != '\n' && out.size() >= 2) out.resize(out.size() - 2);
  if (out.size() > kMaxText) out.resize(kMaxText);
  return out;
}

}  // namespace qvconv
