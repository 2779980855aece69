// The parts of a message walked as the decoder walks them (mime_body.cpp),
// each leaf listed instead of turned into text.
#include "mime/message_parts.h"

#include <algorithm>

#include "mime/charset.h"
#include "mime/content_type.h"
#include "mime/mime_internal.h"
#include "mime/mime_message.h"
#include "mime/text_collector.h"

namespace qv::mime {

using namespace detail;

namespace {

constexpr int kMaxDepth = 64;  // as deep as the decoder goes
constexpr const char* kBlockType = "application/octet-stream";

// The bytes of a uuencoded or yEnc block (its lines from the begin line to
// the end line), decoded by GMime's filters.
std::string decodeBlock(std::string lines) {
  bool yenc = lines.rfind("=ybegin ", 0) == 0;
  // yEnc escapes every CR and LF of the data: a CR is a line end's, which
  // GMime's decoder would take for data.
  if (yenc) lines.erase(std::remove(lines.begin(), lines.end(), '\r'), lines.end());
  GRef<GMimeStream> src(g_mime_stream_mem_new_with_buffer(lines.data(), lines.size()));
  GRef<GMimeStream> filtered(g_mime_stream_filter_new(src.get()));
  GMimeFilter* f = yenc ? g_mime_filter_yenc_new(FALSE) : g_mime_filter_basic_new(GMIME_CONTENT_ENCODING_UUENCODE, FALSE);
  g_mime_stream_filter_add(GMIME_STREAM_FILTER(filtered.get()), f);
  g_object_unref(f);
  std::string out;
  char buf[16384];
  ssize_t n;
  while ((n = g_mime_stream_read(filtered.get(), buf, sizeof buf)) > 0) out.append(buf, size_t(n));
  g_mime_stream_flush(filtered.get());
  return out;
}

// Walks the parts; with `wanted` set, keeps the bytes of that part.
class PartWalker {
 public:
  explicit PartWalker(int wanted) : wanted_(wanted) {}

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
      leaf(GMIME_PART(obj));
    }
  }

  // Body bytes that GMime could not structure: one text part.
  void plainBytes(std::string_view bytes, const std::string& charset) {
    int number = next();
    TextCollector tc(0, true, keepBlocks());
    tc.feed(bytes.data(), bytes.size());
    tc.finish();
    if (number == wanted_) bytes_ = std::string(bytes);
    textPart(number, "", "text/plain", charset, tc);
  }

  std::vector<MessagePart>& parts() { return parts_; }
  std::optional<std::string>& bytes() { return bytes_; }

 private:
  int wanted_;
  int count_ = 0;
  std::vector<MessagePart> parts_;
  std::optional<std::string> bytes_;

  int next() { return ++count_; }
  bool keepBlocks() const { return wanted_ > count_; }

  void leaf(GMimePart* part) {
    GMimeObject* obj = GMIME_OBJECT(part);
    int number = next();
    std::string type = contentTypeOf(obj);
    std::string name = filenameOf(part);
    std::string* keep = nullptr;
    if (number == wanted_) keep = &bytes_.emplace();
    bool text = isTextType(type) && !isAttachmentDisposition(obj);
    if (!text) {
      uint64_t size = 0;
      readDecoded(part, [&](const char* p, size_t n) {
        size += n;
        if (keep) keep->append(p, n);
      });
      parts_.push_back({number, name, type, size, true});
      return;
    }
    std::string charset = charsetOf(obj);
    bool wide = isWideCharset(charset);
    TextCollector tc(0, type != "text/html" && !wide, keepBlocks());
    readDecoded(part, [&](const char* p, size_t n) {
      tc.feed(p, n);
      if (keep) keep->append(p, n);
    });
    tc.finish();
    if (!wide && looksBinary(tc.sample())) {
      parts_.push_back({number, name, type, tc.total(), true});
      return;
    }
    textPart(number, name, type, charset, tc);
  }

  // A text part, then the blocks found in it.
  void textPart(int number, const std::string& name, const std::string& type, const std::string& charset,
                TextCollector& tc) {
    parts_.push_back({number, name, type, tc.total(), false});
    std::string cs(trimWsp(charset));
    for (size_t i = 0; i < tc.blocks().size(); ++i) {
      int blockNumber = next();
      const auto& [blockName, size] = tc.blocks()[i];
      parts_.push_back({blockNumber, cleanHeaderText(decodeText(blockName, cs)), kBlockType, size, true});
      if (blockNumber == wanted_ && i < tc.blockLines().size()) bytes_ = decodeBlock(tc.blockLines()[i]);
    }
  }
};

PartWalker walkMessage(std::string_view raw, int wanted) {
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
  PartWalker walker(wanted);
  GRef<GMimeObject> top = parseBody(split.headers, body, closed);
  if (top) walker.walk(top.get(), 0);
  else walker.plainBytes(body, charset);
  return walker;
}

}  // namespace

std::vector<MessagePart> listParts(std::string_view raw) { return std::move(walkMessage(raw, 0).parts()); }

std::optional<std::string> partBytes(std::string_view raw, int number) {
  if (number < 1) return std::nullopt;
  return std::move(walkMessage(raw, number).bytes());
}

std::string attachmentLineOf(const MessagePart& part) {
  return attachmentLine({part.name, part.contentType, part.size});
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
