#include "originals/attachment_lines.h"

#include <map>

namespace qv {

namespace {

constexpr std::string_view kLineStart = "[Attachment: ";
constexpr std::string_view kLineEnd = " bytes]";

}  // namespace

std::vector<AttachmentLineRef> attachmentLines(std::string_view text) {
  std::vector<AttachmentLineRef> out;
  std::map<std::string, int> seen;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t eol = text.find('\n', pos);
    size_t next = eol == std::string_view::npos ? text.size() : eol + 1;
    size_t end = eol == std::string_view::npos ? text.size() : eol;
    if (end > pos && text[end - 1] == '\r') --end;
    std::string_view line = text.substr(pos, end - pos);
    if (line.size() > kLineStart.size() + kLineEnd.size() && line.substr(0, kLineStart.size()) == kLineStart &&
        line.substr(line.size() - kLineEnd.size()) == kLineEnd) {
      std::string l(line);
      out.push_back({l, seen[l]++, pos, end});
    }
    pos = next;
  }
  return out;
}

const AttachmentLineRef* attachmentLineAt(const std::vector<AttachmentLineRef>& lines, size_t offset) {
  for (const AttachmentLineRef& l : lines)
    if (offset >= l.begin && offset <= l.end) return &l;
  return nullptr;
}

}  // namespace qv
