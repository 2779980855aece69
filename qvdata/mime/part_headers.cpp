// Part header blocks that run straight into the part's content, closed with
// an empty line before GMime reads the structure (GMime drops such a part
// whole, with its text or its attachment).
#include <vector>

#include "mime/content_type.h"
#include "mime/mime_internal.h"

namespace qv::mime::detail {

namespace {

// Boundaries followed at most; a body declaring more is left as it is past them.
constexpr size_t kMaxBoundaries = 64;

enum class BoundaryLine { None, Opening, Closing };

bool blankRest(std::string_view s) {
  for (char c : s)
    if (!isWsp(c)) return false;
  return true;
}

BoundaryLine boundaryLine(std::string_view line, const std::vector<std::string>& boundaries) {
  if (line.size() < 3 || line[0] != '-' || line[1] != '-') return BoundaryLine::None;
  for (const std::string& b : boundaries) {
    if (line.compare(2, b.size(), b) != 0) continue;
    std::string_view rest = line.substr(2 + b.size());
    if (blankRest(rest)) return BoundaryLine::Opening;
    if (rest.substr(0, 2) == "--" && blankRest(rest.substr(2))) return BoundaryLine::Closing;
  }
  return BoundaryLine::None;
}

// Notes the boundary a Content-Type declares; true when it is a forwarded
// message, whose own header block follows.
bool noteContentType(std::string_view contentType, std::vector<std::string>& boundaries) {
  std::string type = mediaType(contentType);
  if (type == "message/rfc822") return true;
  if (type.rfind("multipart/", 0) != 0 || boundaries.size() >= kMaxBoundaries) return false;
  std::string b = contentTypeParameter(contentType, "boundary");
  if (!b.empty()) boundaries.push_back(std::move(b));
  return false;
}

// Whether a header line follows the line ending at `pos` before the header
// block ends (an empty line or a boundary), looked for over a few lines.
bool headerFollows(std::string_view body, size_t pos, const std::vector<std::string>& boundaries) {
  for (int n = 0; n < 32 && pos < body.size(); ++n) {
    size_t next;
    std::string_view line = lineAt(body, pos, next);
    if (line.empty() || boundaryLine(line, boundaries) != BoundaryLine::None) return false;
    std::string_view name, value;
    if (!isWsp(line[0]) && headerLine(line, name, value)) return true;
    pos = next;
  }
  return false;
}

}  // namespace

bool closePartHeaders(std::string_view body, std::string_view contentType, std::string& out) {
  std::vector<std::string> boundaries;
  bool inHeader = noteContentType(contentType, boundaries);
  if (boundaries.empty() && !inHeader) return false;

  // Positions that get an empty line before them (the header block ends),
  // or a blank (a line that lost its folding continues the header before it).
  struct Insert {
    size_t at;
    bool blankLine;
  };
  std::vector<Insert> inserts;
  std::string partType;         // the Content-Type of the header block being read
  bool inContentType = false, headerSeen = false;
  bool messageHeader = inHeader;  // the header block is a forwarded message's
  // Ends the header block; true when a forwarded message's header block follows.
  auto endHeader = [&] {
    bool message = !partType.empty() && noteContentType(partType, boundaries);
    partType.clear();
    inContentType = headerSeen = false;
    messageHeader = message;
    return message;
  };

  size_t pos = 0, next = 0;
  while (pos < body.size()) {
    std::string_view line = lineAt(body, pos, next);
    BoundaryLine b = boundaryLine(line, boundaries);
    if (b != BoundaryLine::None) {
      if (inHeader) endHeader();  // a part of headers alone
      inHeader = b == BoundaryLine::Opening;
      messageHeader = false;
      pos = next;
      continue;
    }
    if (inHeader) {
      std::string_view name, value;
      if (line.empty()) {
        inHeader = endHeader();
      } else if (isWsp(line[0]) && headerSeen) {
        if (inContentType) partType.append(line);
      } else if (headerLine(line, name, value)) {
        inContentType = equalsNoCase(name, "Content-Type");
        if (inContentType) partType.assign(value);
        headerSeen = true;
      } else if (messageHeader && !headerSeen && line.substr(0, 5) == "From ") {
        // The mailbox separator line of a forwarded mailbox: GMime passes it over.
      } else if (headerSeen && headerFollows(body, next, boundaries)) {
        inserts.push_back({pos, false});
        if (inContentType) partType.append(" ").append(line);
      } else {
        inserts.push_back({pos, true});
        endHeader();
        inHeader = false;
      }
    }
    pos = next;
  }
  if (inserts.empty()) return false;

  out.clear();
  out.reserve(body.size() + 2 * inserts.size());
  size_t from = 0;
  for (const Insert& i : inserts) {
    out.append(body.substr(from, i.at - from));
    if (!i.blankLine) out += ' ';
    else out += i.at >= 2 && body[i.at - 2] == '\r' ? "\r\n" : "\n";
    from = i.at;
  }
  out.append(body.substr(from));
  return true;
}

}  // namespace qv::mime::detail
