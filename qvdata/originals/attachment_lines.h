// The attachment lines of a stored text ("[Attachment: name, type, n
// bytes]", each alone on its line), found for the reading pane, which saves
// the part such a line stands for from the message's original.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

struct AttachmentLineRef {
  std::string line;    // the line's text
  int occurrence = 0;  // how many equal lines come before it in the text
  size_t begin = 0;    // its offsets in the text, the line end left out
  size_t end = 0;
};

// Every attachment line of `text` in order.
std::vector<AttachmentLineRef> attachmentLines(std::string_view text);

// The attachment line at `offset` of `text` (an offset on the line or at
// its end); nullptr when the offset is on no attachment line.
const AttachmentLineRef* attachmentLineAt(const std::vector<AttachmentLineRef>& lines, size_t offset);

}  // namespace qv
