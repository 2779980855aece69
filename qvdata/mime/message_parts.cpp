// The parts of a message walked as the decoder walks them (mime_body.cpp),
// each leaf listed instead of turned into text.
#include "mime/message_parts.h"

#include <algorithm>

#include "mime/charset.h"
#include "mime/content_type.h"
#include "mime/mime_internal.h"
#include "mime/mime_message.h"
#include "mime/text_collector.h"
#include "mime/uudecode.h"

namespace qv::mime {

using namespace detail;

namespace {

constexpr int kMaxDepth = 64;  // as deep as the decoder goes
constexpr const char* kBlockType = "application/octet-stream";

// The bytes of a uuencoded or yEnc block (its lines from the begin line to
// the end line): uuencoded ones decoded as uudecode does, yEnc by GMime's
// filter.
std::string decodeBlock(std::string lines) {
  if (lines.rfind("=ybegin ", 0) != 0) {
    UuDamage damage;
    return uudecode(lines, damage);
  }
  // yEnc escapes every CR and LF of the data: a CR is a line end's, which
  // GMime's decoder would take for data.
  lines.erase(std::remove(lines.begin(), lines.end(), '\r'), lines.end());
  GRef<GMimeStream> src(g_mime_stream_mem_new_with_buffer(lines.data(), lines.size()));
  GRef<GMimeStream> filtered(g_mime_stream_filter_new(src.get()));
  GMimeFilter* f = g_mime_filter_yenc_new(FALSE);
  g_mime_stream_filter_add(GMIME_STREAM_FILTER(filtered.get()), f);
  g_object_unref(f);
  std::string out;
  char buf[16384];
  ssize_t n;
  while ((n = g_mime_stream_read(filtered.get(), buf, sizeof buf)) > 0) out.append(buf, size_t(n));
  g_mime_stream_flush(filtered.get());
  return out;
}

constexpr const char* kCutShort = "it stops before its end line";

// Which parts a walk gives the bytes of: none, every part, or part n (> 0).
constexpr int kNoPart = -1;
constexpr int kEveryPart = 0;

// Walks the parts, each listed; the bytes of the parts `only` picks are given
// to `each` as each part is read.
class PartWalker {
 public:
  using Each = std::function<void(const MessagePart&, std::string&)>;
  PartWalker(int only, Each each) : only_(only), each_(std::move(each)) {}

  void walk(GMimeObject* obj, int depth) {
    if (!obj || depth > kMaxDepth) return;
    if (GMIME_IS_MULTIPART(obj)) {
      GMimeMultipart* mp = GMIME_MULTIPART(obj);
      int n = g_mime_multipart_get_count(mp);
      if (n == 0) {
        // The boundary never occurs: the decoder reads the body as plain text.
        std::string cs = charsetOf(obj);
        for (const char* t : {g_mime_multipart_get_prologue(mp), g_mime_multipart_get_epilogue(mp)})
          if (t) plainBytes(t, cs);
        return;
      }
      for (int i = 0; i < n; ++i) walk(g_mime_multipart_get_part(mp, i), depth + 1);
    } else if (GMIME_IS_MESSAGE_PART(obj)) {
      GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(obj));
      if (inner) walk(g_mime_message_get_mime_part(inner), depth + 1);
    } else if (GMIME_IS_PART(obj)) {
      leaf(GMIME_PART(obj), depth);
    }
  }

  // Body bytes that GMime could not structure: one text part.
  void plainBytes(std::string_view bytes, const std::string& charset) {
    int number = next();
    TextCollector tc(0, true, keepBlocks());
    tc.feed(bytes.data(), bytes.size());
    tc.finish();
    std::string kept;
    if (wanted(number)) kept = std::string(bytes);
    textPart({number, "", "text/plain", tc.total(), false, ""}, charset, tc, kept);
  }

  std::vector<MessagePart>& parts() { return parts_; }

 private:
  int only_;
  Each each_;
  int count_ = 0;
  std::vector<MessagePart> parts_;

  int next() { return ++count_; }
  bool wanted(int number) const { return only_ == kEveryPart || number == only_; }
  // The lines of blocks are kept when a part still to come is wanted.
  bool keepBlocks() const { return only_ == kEveryPart || only_ > count_; }

  // Lists a part and gives its bytes when they are wanted.
  void done(const MessagePart& part, std::string& bytes) {
    parts_.push_back(part);
    if (wanted(part.number)) each_(part, bytes);
  }

  void leaf(GMimePart* part, int depth) {
    GMimeObject* obj = GMIME_OBJECT(part);
    std::string type = leafTypeOf(obj);
    if (GRef<GMimeMessage> inner = encodedMessage(part, type)) {
      walk(g_mime_message_get_mime_part(inner.get()), depth + 1);
      return;
    }
    int number = next();
    std::string name = filenameOf(part);
    bool keep = wanted(number);
    std::string bytes, damage;
    bool text = isTextType(type) && !isAttachmentDisposition(obj);
    if (!text) {
      uint64_t size = 0;
      readDecoded(part, [&](const char* p, size_t n) {
        size += n;
        if (keep) bytes.append(p, n);
      }, &damage);
      done({number, name, type, size, true, damage}, bytes);
      return;
    }
    std::string charset = charsetOf(obj);
    bool wide = isWideCharset(charset);
    TextCollector tc(0, type != "text/html" && !wide, keepBlocks());
    readDecoded(part, [&](const char* p, size_t n) {
      tc.feed(p, n);
      if (keep) bytes.append(p, n);
    }, &damage);
    tc.finish();
    if (!wide && looksBinary(tc.sample())) {
      done({number, name, type, tc.total(), true, damage}, bytes);
      return;
    }
    textPart({number, name, type, tc.total(), false, damage}, charset, tc, bytes);
  }

  // A text part, then the blocks found in it.
  void textPart(const MessagePart& part, const std::string& charset, TextCollector& tc, std::string& bytes) {
    done(part, bytes);
    std::string cs(trimWsp(charset));
    for (size_t i = 0; i < tc.blocks().size(); ++i) {
      int blockNumber = next();
      const TextCollector::Block& b = tc.blocks()[i];
      MessagePart block{blockNumber, cleanHeaderText(decodeText(b.name, cs)), kBlockType, b.size, true,
                        b.cutShort ? kCutShort : ""};
      std::string blockBytes;
      if (wanted(blockNumber) && i < tc.blockLines().size()) blockBytes = decodeBlock(tc.blockLines()[i]);
      done(block, blockBytes);
    }
  }
};

void walkMessage(std::string_view raw, PartWalker& walker) {
  std::string converted, closed;
  std::string_view in = withLineFeeds(raw, converted);
  SplitMessage split = splitHeaders(in);
  std::string_view body = in.substr(std::min(split.bodyStart, in.size()));
  std::string charset;
  for (const RawHeader& h : split.headers)
    if (equalsNoCase(h.name, "Content-Type")) {
      charset = charsetParameter(unfold(h.value));
      break;
    }
  GRef<GMimeObject> top = parseBody(split.headers, body, closed);
  if (top) walker.walk(top.get(), 0);
  else walker.plainBytes(body, charset);
}

}  // namespace

std::vector<MessagePart> listParts(std::string_view raw) {
  PartWalker walker(kNoPart, [](const MessagePart&, std::string&) {});
  walkMessage(raw, walker);
  return std::move(walker.parts());
}

std::optional<std::string> partBytes(std::string_view raw, int number) {
  if (number < 1) return std::nullopt;
  std::optional<std::string> out;
  PartWalker walker(number, [&out](const MessagePart&, std::string& bytes) { out = std::move(bytes); });
  walkMessage(raw, walker);
  return out;
}

void forEachPart(std::string_view raw, const std::function<void(const MessagePart&, std::string& bytes)>& each) {
  PartWalker walker(kEveryPart, each);
  walkMessage(raw, walker);
}

std::string attachmentLineOf(const MessagePart& part) {
  return attachmentLine({part.name, part.contentType, part.size, part.attachment && !part.damage.empty()});
}

int partOfAttachmentLine(const std::vector<MessagePart>& parts, std::string_view line, int occurrence) {
  std::string_view l = trimWsp(line);
  int seen = 0;
  for (const MessagePart& p : parts)
    if (p.attachment && attachmentLineOf(p) == l && seen++ == occurrence) return p.number;
  // The same name and type with another size: the line up to its size.
  seen = 0;
  for (const MessagePart& p : parts) {
    if (!p.attachment) continue;
    std::string full = attachmentLineOf(p);
    std::string head = full.substr(0, full.rfind(", ") + 2);
    if (l.substr(0, head.size()) == head && seen++ == occurrence) return p.number;
  }
  return 0;
}

}  // namespace qv::mime
