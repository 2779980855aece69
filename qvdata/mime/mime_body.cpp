// The body of a message as text: the MIME structure walked, text parts
// decoded in their charsets, HTML converted, attachments named.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <set>

#include "mime/charset.h"
#include "mime/content_type.h"
#include "mime/html_text.h"
#include "mime/mime_internal.h"
#include "mime/text_collector.h"

namespace qv::mime {

using namespace detail;

namespace {

const char* const kForwardStart = "---------- Forwarded message ----------";
const char* const kForwardEnd = "---------- End of forwarded message ----------";
constexpr int kMaxDepth = 64;

enum class SegKind { Text, Attachment };

struct Segment {
  SegKind kind;
  std::string text;  // ends with CR LF
};

}  // namespace

std::string attachmentLine(const Attachment& a) {
  return "[Attachment: " + (a.filename.empty() ? std::string("unnamed") : a.filename) + ", " +
         (a.contentType.empty() ? std::string("application/octet-stream") : a.contentType) + ", " +
         std::to_string(a.size) + " bytes" + (a.damaged ? ", damaged]" : "]");
}

namespace {

// Cuts the text before a position that is not inside a UTF-8 sequence or
// between CR and LF.
size_t safeCut(std::string_view s, size_t max) {
  size_t n = utf8PrefixLength(s, max);
  if (n > 0 && n < s.size() && s[n - 1] == '\r' && s[n] == '\n') --n;
  return n;
}

// The charset an HTML document names in a meta element.
std::string metaCharset(std::string_view html) {
  std::string head = lowerCopy(html.substr(0, 4096));
  size_t pos = 0;
  while ((pos = head.find("<meta", pos)) != std::string::npos) {
    size_t end = head.find('>', pos);
    if (end == std::string::npos) break;
    std::string_view tag(head.data() + pos, end - pos);
    size_t cs = tag.find("charset=");
    if (cs != std::string_view::npos) {
      size_t i = cs + 8;
      while (i < tag.size() && (tag[i] == '"' || tag[i] == '\'' || isWsp(tag[i]))) ++i;
      size_t start = i;
      while (i < tag.size() && (std::isalnum(static_cast<unsigned char>(tag[i])) || tag[i] == '-' || tag[i] == '_' ||
                                tag[i] == ':' || tag[i] == '.'))
        ++i;
      if (i > start) return std::string(tag.substr(start, i - start));
    }
    pos = end;
  }
  return "";
}

class BodyBuilder {
 public:
  BodyBuilder(DecodedMessage& msg, const DecodeOptions& opt) : msg_(msg), opt_(opt) {}

  void walk(GMimeObject* obj, int depth) {
    if (!obj) return;
    if (depth > kMaxDepth) {
      if (!depthNoted_) addText("[Parts nested too deeply are left out]");
      depthNoted_ = true;
      return;
    }
    if (GMIME_IS_MULTIPART(obj)) {
      multipart(GMIME_MULTIPART(obj), depth);
    } else if (GMIME_IS_MESSAGE_PART(obj)) {
      forwarded(GMIME_MESSAGE_PART(obj), depth);
    } else if (GMIME_IS_PART(obj)) {
      leaf(GMIME_PART(obj), depth);
    }
  }

  // Body bytes that GMime could not structure, read as plain text.
  void plainBytes(std::string_view bytes, std::string_view charset) {
    TextCollector tc(keepCap(false), true);
    tc.feed(bytes.data(), bytes.size());
    tc.finish();
    textPart(tc, charset, false);
  }

  std::string finish() {
    size_t total = 0;
    for (const Segment& s : segs_) total += s.text.size();
    std::string out;
    size_t cap = opt_.maxText;
    if (total <= cap) {
      out.reserve(total);
      for (const Segment& s : segs_) out += s.text;
      return out;
    }
    msg_.textCut = true;
    // Keep room for the attachment lines that the cut would lose.
    size_t reserve = 0;
    for (const Segment& s : segs_)
      if (s.kind == SegKind::Attachment) reserve += s.text.size();
    if (reserve + 2 > cap / 2) reserve = 0;
    size_t limit = reserve ? cap - reserve - 2 : cap;
    std::string moved;
    bool full = false;
    for (const Segment& s : segs_) {
      if (!full && out.size() + s.text.size() <= limit) {
        out += s.text;
        continue;
      }
      if (!full && s.kind == SegKind::Text) out.append(s.text, 0, safeCut(s.text, limit - out.size()));
      full = true;
      if (!reserve) break;
      if (s.kind == SegKind::Attachment) moved += s.text;
    }
    if (!moved.empty()) {
      if (!out.empty() && out.back() != '\n') out += "\r\n";
      out += moved;
    }
    if (out.size() > cap) out.resize(safeCut(out, cap));
    return out;
  }

 private:
  DecodedMessage& msg_;
  const DecodeOptions& opt_;
  std::vector<Segment> segs_;
  size_t total_ = 0;
  bool depthNoted_ = false;

  size_t budgetLeft() const { return total_ >= opt_.maxText ? 0 : opt_.maxText - total_; }

  size_t keepCap(bool html) const {
    if (budgetLeft() == 0) return 0;
    size_t m = opt_.maxText;
    return html ? 16 * m + 262144 : 2 * m + 4096;
  }

  void push(SegKind kind, std::string text) {
    if (!segs_.empty() && (kind == SegKind::Text || segs_.back().kind == SegKind::Text)) {
      segs_.back().text += "\r\n";  // a blank line between pieces
      total_ += 2;
    }
    total_ += text.size();
    segs_.push_back({kind, std::move(text)});
  }

  // Adds a piece of UTF-8 text; empty pieces are left out.
  void addText(std::string_view utf8) {
    std::string t = toCrLf(utf8);
    for (char& c : t)
      if (c == '\0') c = ' ';
    // No leading empty lines, no trailing blank space.
    size_t start = 0;
    while (true) {
      size_t e = t.find("\r\n", start);
      if (e == std::string::npos) break;
      bool blank = true;
      for (size_t k = start; k < e; ++k)
        if (!isWsp(t[k])) blank = false;
      if (!blank) break;
      start = e + 2;
    }
    t.erase(0, start);
    while (!t.empty() && (isWsp(t.back()) || t.back() == '\r' || t.back() == '\n')) t.pop_back();
    if (t.empty()) return;
    t += "\r\n";
    push(SegKind::Text, std::move(t));
  }

  void addAttachment(Attachment a) {
    push(SegKind::Attachment, attachmentLine(a) + "\r\n");
    msg_.attachments.push_back(std::move(a));
  }

  // How much an alternative is wanted: plain text 3, HTML 2, other text 1.
  static int alternativeScore(GMimeObject* obj, int depth) {
    if (!obj || depth > kMaxDepth) return 0;
    if (GMIME_IS_MULTIPART(obj)) {
      GMimeMultipart* mp = GMIME_MULTIPART(obj);
      int best = 0, n = g_mime_multipart_get_count(mp);
      for (int i = 0; i < n; ++i) best = std::max(best, alternativeScore(g_mime_multipart_get_part(mp, i), depth + 1));
      return best;
    }
    if (GMIME_IS_MESSAGE_PART(obj)) return 1;
    if (!GMIME_IS_PART(obj) || isAttachmentDisposition(obj)) return 0;
    std::string type = contentTypeOf(obj);
    if (type == "text/plain") return 3;
    if (type == "text/html") return 2;
    return isTextType(type) ? 1 : 0;
  }

  void multipart(GMimeMultipart* mp, int depth) {
    int n = g_mime_multipart_get_count(mp);
    if (n == 0) {
      // The boundary never occurs: the body is read as plain text.
      const char* pro = g_mime_multipart_get_prologue(mp);
      const char* epi = g_mime_multipart_get_epilogue(mp);
      std::string cs = charsetOf(GMIME_OBJECT(mp));
      if (pro) plainBytes(pro, cs);
      if (epi) plainBytes(epi, cs);
      return;
    }
    std::string type = contentTypeOf(GMIME_OBJECT(mp));
    if (type == "multipart/alternative") {
      // The best alternative that yields something; the others are left out.
      std::vector<std::pair<int, int>> order;  // (score, index)
      for (int i = 0; i < n; ++i) order.push_back({alternativeScore(g_mime_multipart_get_part(mp, i), depth + 1), i});
      std::stable_sort(order.begin(), order.end(), [](auto& a, auto& b) { return a.first > b.first; });
      for (auto [score, index] : order) {
        size_t before = segs_.size();
        walk(g_mime_multipart_get_part(mp, index), depth + 1);
        if (segs_.size() != before) return;
      }
      return;
    }
    for (int i = 0; i < n; ++i) walk(g_mime_multipart_get_part(mp, i), depth + 1);
  }

  void forwarded(GMimeMessagePart* part, int depth) { forwardedMessage(g_mime_message_part_get_message(part), depth); }

  void forwardedMessage(GMimeMessage* inner, int depth) {
    if (!inner) return;
    GMimeObject* body = g_mime_message_get_mime_part(inner);
    std::string hint = body ? charsetOf(body) : "";
    if (opt_.legacy != LegacyCharset::Windows1252 && isUndeclaredCharset(hint)) hint = legacyCharsetName(opt_.legacy);
    std::string head = kForwardStart;
    head += "\r\n";
    GMimeHeaderList* list = g_mime_object_get_header_list(GMIME_OBJECT(inner));
    int count = list ? g_mime_header_list_get_count(list) : 0;
    for (const char* wanted : {"From", "Date", "Subject", "To", "Cc", "Newsgroups"}) {
      for (int i = 0; i < count; ++i) {
        GMimeHeader* h = g_mime_header_list_get_header_at(list, i);
        const char* name = g_mime_header_get_name(h);
        if (!name || !equalsNoCase(name, wanted)) continue;
        const char* raw = g_mime_header_get_raw_value(h);
        std::string value = decodeHeader(raw ? raw : "", hint);
        if (!value.empty()) head += std::string(wanted) + ": " + value + "\r\n";
        break;
      }
    }
    addText(head);
    walk(body, depth + 1);
    addText(kForwardEnd);
  }

  void leaf(GMimePart* part, int depth) {
    GMimeObject* obj = GMIME_OBJECT(part);
    std::string type = leafTypeOf(obj);
    if (GRef<GMimeMessage> inner = encodedMessage(part, type)) {
      forwardedMessage(inner.get(), depth);
      return;
    }
    std::string filename = filenameOf(part);
    std::string damage;
    bool text = isTextType(type) && !isAttachmentDisposition(obj);
    if (!text) {
      uint64_t size = 0;
      readDecoded(part, [&](const char*, size_t n) { size += n; }, &damage);
      addAttachment({filename, type, size, !damage.empty()});
      return;
    }
    bool html = type == "text/html";
    std::string charset = charsetOf(obj);
    bool wide = isWideCharset(charset);
    TextCollector tc(keepCap(html), !html && !wide);
    readDecoded(part, [&](const char* p, size_t n) { tc.feed(p, n); }, &damage);
    tc.finish();
    if (!wide && looksBinary(tc.sample())) {
      addAttachment({filename, type, tc.total(), !damage.empty()});
      return;
    }
    textPart(tc, charset, html);
    if (!damage.empty()) addText("[Damaged text: " + damage + "]");
  }

  // The text of a part: its charset decoded, HTML converted, and the blocks
  // taken out of it listed as attachments.
  void textPart(TextCollector& tc, std::string_view charset, bool html) {
    std::string cs(trimWsp(charset));
    if (html && cs.empty()) cs = metaCharset(tc.kept());
    std::string utf8 = decodeText(tc.kept(), cs, opt_.legacy);
    if (html) {
      utf8 = htmlToText(utf8);
      if (!utf8.empty()) msg_.html = true;
    }
    addText(utf8);
    for (const TextCollector::Block& b : tc.blocks()) {
      std::string n = decodeText(b.name, cs, opt_.legacy);
      msg_.attachments.push_back({cleanHeaderText(n), "application/octet-stream", b.size, b.cutShort});
    }
  }
};


}  // namespace

namespace detail {

GRef<GMimeObject> parseBody(const std::vector<RawHeader>& headers, std::string_view& body, std::string& closed) {
  std::string contentType;
  for (const RawHeader& h : headers)
    if (equalsNoCase(h.name, "Content-Type")) {
      contentType = unfold(h.value);
      break;
    }
  if (closePartHeaders(body, contentType, closed)) body = closed;
  GByteArray* bytes = g_byte_array_sized_new(guint(std::min<size_t>(body.size() + 1024, G_MAXUINT)));
  // Only the content headers shape the body: GMime makes an object of every
  // header it is given, so the others (the MIME version too, which it never
  // reads) are left out. Of a content header written twice the first counts
  // (GMime would take the last, a part's that lost the empty line before it).
  constexpr std::string_view kContentPrefix = "content-";
  std::set<std::string> seen;
  for (const RawHeader& h : headers) {
    std::string_view name = h.name;
    if (!equalsNoCase(name.substr(0, kContentPrefix.size()), kContentPrefix)) continue;
    if (!seen.insert(lowerCopy(name)).second) continue;
    std::string line = h.name + ":" + unfold(h.value) + "\n";
    g_byte_array_append(bytes, reinterpret_cast<const guint8*>(line.data()), guint(line.size()));
  }
  g_byte_array_append(bytes, reinterpret_cast<const guint8*>("\n"), 1);
  // Appended in slices: a guint length per call.
  for (size_t off = 0; off < body.size(); off += (1u << 30))
    g_byte_array_append(bytes, reinterpret_cast<const guint8*>(body.data() + off),
                        guint(std::min<size_t>(body.size() - off, 1u << 30)));

  GRef<GMimeStream> stream(g_mime_stream_mem_new_with_byte_array(bytes));
  GRef<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
  g_mime_parser_set_format(parser.get(), GMIME_FORMAT_MESSAGE);
  // The bytes hold nothing but the content headers and the body, so they are
  // read as one MIME entity: a message object around it would only add its
  // address lists and header list, made and freed for every mail.
  return GRef<GMimeObject>(g_mime_parser_construct_part(parser.get(), gmimeOptions()));
}

void decodeBody(DecodedMessage& m, const std::vector<RawHeader>& headers, std::string_view body,
                std::string_view hint, const DecodeOptions& options) {
  std::string closed;
  GRef<GMimeObject> top = parseBody(headers, body, closed);
  BodyBuilder builder(m, options);
  if (top) builder.walk(top.get(), 0);
  else builder.plainBytes(body, hint);
  m.text = builder.finish();
}

}  // namespace detail

}  // namespace qv::mime
