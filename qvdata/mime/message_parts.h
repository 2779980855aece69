// The parts of one Internet message read from its original bytes: every
// leaf part of its MIME structure (forwarded messages walked into), and the
// uuencoded and yEnc blocks found in its plain text parts, in the order the
// decoder meets them. Each has its file name, media type and decoded size;
// its decoded bytes are read on demand. Nothing here opens or runs a part.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::mime {

struct MessagePart {
  int number = 0;           // 1, 2, ... in the order of the message
  std::string name;         // the file name (filename or name parameter, decoded), may be empty
  std::string contentType;  // lower case "type/subtype"
  uint64_t size = 0;        // decoded bytes
  // The decoder shows it as an attachment line in the stored text (a part
  // that is not text, an attachment, binary data in a text part, a block).
  bool attachment = false;
  // Why its bytes are not its whole decoded content ("" when they are): an
  // attachment so damaged is never saved; a text part declared base64 that
  // holds plain words has them as written.
  std::string damage;
};

// The parts of the message `raw` (a header block and a body, with or
// without a mailbox separator line). Bad input never fails: whatever parts
// can be read are listed.
std::vector<MessagePart> listParts(std::string_view raw);

// The decoded bytes of part `number` as listParts numbers it; nullopt when
// there is no such part.
std::optional<std::string> partBytes(std::string_view raw, int number);

// Every part of the message with its decoded bytes, in one walk over it
// (the bytes of one part held at a time).
void forEachPart(std::string_view raw, const std::function<void(const MessagePart&, std::string& bytes)>& each);

// The attachment line of the stored text that stands for the part.
std::string attachmentLineOf(const MessagePart& part);

// The part that the attachment line `line` of the stored text stands for:
// the `occurrence`-th (0 first) attachment whose line it is, the same count
// of an attachment of that name and type when no line is equal (a size
// read differently); 0 when none.
int partOfAttachmentLine(const std::vector<MessagePart>& parts, std::string_view line, int occurrence = 0);

}  // namespace qv::mime
